#include "Contents.h"

#include "ChmArchive.h"
#include "HelpLimits.h"
#include "Sitemap.h"

#include <iterator>
#include <optional>
#include <utility>

namespace vimora::help {

ContentsEntry::~ContentsEntry() {
    // Every entry taken from the list leaves it childless, so its own destructor stops at once.
    std::vector<ContentsEntry> pending = std::move(children);
    while (!pending.empty()) {
        ContentsEntry last = std::move(pending.back());
        pending.pop_back();
        std::move(last.children.begin(), last.children.end(), std::back_inserter(pending));
        last.children.clear();
    }
}

namespace {

// Builds the tree of a contents file's entries as they are read, until it holds as many as the
// viewer shows.
class ContentsParser {
public:
    bool full() const { return m_full; }

    void list(bool closing) {
        if (closing) {
            if (m_levels.size() > 1)
                m_levels.pop_back();
            return;
        }
        std::vector<ContentsEntry>* level = m_levels.back();
        m_levels.push_back(level->empty() ? level : &level->back().children);
    }

    void begin() { m_entry = ContentsEntry{}; }

    void param(const QString& param, const QString& value, bool cut) {
        if (param.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0)
            m_entry.name = cut ? value.trimmed() + QChar(0x2026) : value.trimmed();
        else if (param.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0 && !cut &&
                 !value.trimmed().isEmpty())
            m_entry.topic = topicUrl(value);
    }

    void end() {
        if (m_entry.name.isEmpty() && m_entry.topic.isEmpty())
            return;
        if (m_count == limits::kMostContentsEntries) {
            m_full = true;
            return;
        }
        m_levels.back()->push_back(std::exchange(m_entry, {}));
        ++m_count;
    }

    std::vector<ContentsEntry> take() { return std::move(m_root); }

private:
    std::vector<ContentsEntry> m_root;
    // The lists being filled, outermost first. The first <UL> fills the root; a later one fills
    // the children of the entry just read at the current level.
    std::vector<std::vector<ContentsEntry>*> m_levels{&m_root};
    ContentsEntry m_entry;
    std::size_t m_count = 0;
    bool m_full = false;
};

} // namespace

std::vector<ContentsEntry> parseContents(const QString& text, bool* cut) {
    ContentsParser parser;
    const bool allTags = readSitemap(text, parser, limits::kMostContentsTags);
    if (cut != nullptr)
        *cut = parser.full() || !allTags;
    return parser.take();
}

std::optional<std::vector<ContentsEntry>> readContents(const ChmArchive& archive, ReadFailure* failure,
                                                       bool* cut) {
    if (cut != nullptr)
        *cut = false;
    if (archive.contentsFile().isEmpty())
        return std::vector<ContentsEntry>{};
    ReadFailure why = ReadFailure::Missing;
    const std::optional<QByteArray> file = archive.read(archive.contentsFile(), &why);
    if (!file && why != ReadFailure::Missing) {
        if (failure != nullptr)
            *failure = why;
        return std::nullopt;
    }
    return file ? parseContents(decodeStoredText(*file), cut) : std::vector<ContentsEntry>{};
}

QUrl firstTopic(const ChmArchive& archive, const std::vector<ContentsEntry>& contents) {
    if (archive.contains(objectPath(archive.defaultTopic())))
        return archive.defaultTopic();
    QUrl first;
    walkContents(contents, [&](const ContentsEntry& entry, std::size_t) {
        if (!entry.topic.isEmpty() && archive.contains(objectPath(entry.topic)))
            first = entry.topic;
        return first.isEmpty();
    });
    return first;
}

} // namespace vimora::help
