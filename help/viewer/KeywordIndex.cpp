#include "KeywordIndex.h"

#include "ChmArchive.h"
#include "HelpLimits.h"
#include "Sitemap.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <utility>

namespace vimora::help {

namespace {

struct Node {
    Keyword keyword;
    std::vector<std::size_t> children;
};

// Gathers the keywords as a tree while the tags are read.
class IndexParser {
public:
    void list(bool closing) {
        if (closing)
            m_openLists -= m_openLists > 0 ? 1 : 0;
        else
            ++m_openLists;
    }

    void begin() {
        m_keyword = Keyword{};
        m_title.clear();
    }

    // A keyword or a title longer than a name may be is kept cut.
    void param(const QString& name, const QString& value, bool /*cut*/) {
        const QString text = value.trimmed();
        if (name.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0) {
            (m_keyword.name.isEmpty() ? m_keyword.name : m_title) = text;
        } else if (name.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0 && !text.isEmpty() &&
                   m_keyword.topics.size() < limits::kMostKeywordTopics) {
            m_keyword.topics.push_back({topicUrl(text), std::exchange(m_title, {})});
        }
    }

    void end() {
        if (!m_keyword.name.isEmpty())
            addKeyword();
    }

    bool full() const { return m_nodes.size() >= limits::kMostKeywords; }

    std::vector<Keyword> take() {
        const QCollator collator(QLocale(QLocale::French, QLocale::France));
        std::vector<QCollatorSortKey> keys;
        keys.reserve(m_nodes.size());
        for (const Node& node : m_nodes)
            keys.push_back(collator.sortKey(node.keyword.name));
        const auto sortSiblings = [&keys](std::vector<std::size_t>& siblings) {
            std::stable_sort(siblings.begin(), siblings.end(),
                             [&keys](std::size_t a, std::size_t b) { return keys[a].compare(keys[b]) < 0; });
        };
        for (Node& node : m_nodes)
            sortSiblings(node.children);
        sortSiblings(m_topLevel);

        std::vector<Keyword> keywords;
        keywords.reserve(m_nodes.size());
        std::vector<std::size_t> pending(m_topLevel.rbegin(), m_topLevel.rend());
        while (!pending.empty()) {
            Node& node = m_nodes[pending.back()];
            pending.pop_back();
            keywords.push_back(std::move(node.keyword));
            pending.insert(pending.end(), node.children.rbegin(), node.children.rend());
        }
        return keywords;
    }

private:
    void addKeyword() {
        std::size_t level = std::min(m_openLists > 0 ? m_openLists - 1 : 0, limits::kDeepestKeywordLevel);
        // A list opened with no keyword before it has no parent: the keyword goes up.
        level = std::min(level, m_lastAtLevel.size());
        m_keyword.level = level;
        const std::size_t id = m_nodes.size();
        m_nodes.push_back({std::move(m_keyword), {}});
        (level == 0 ? m_topLevel : m_nodes[m_lastAtLevel[level - 1]].children).push_back(id);
        m_lastAtLevel.resize(level);
        m_lastAtLevel.push_back(id);
        m_keyword = Keyword{};
    }

    std::vector<Node> m_nodes;
    std::vector<std::size_t> m_topLevel;
    std::vector<std::size_t> m_lastAtLevel;
    std::size_t m_openLists = 0;
    Keyword m_keyword;
    QString m_title;
};

} // namespace

std::vector<Keyword> parseKeywordIndex(QStringView text) {
    IndexParser parser;
    readSitemap(text, parser);
    return parser.take();
}

std::vector<Keyword> readKeywordIndex(const ChmArchive& archive) {
    QString path = archive.indexFile();
    if (path.isEmpty()) {
        const QStringList paths = archive.objectPaths();
        const auto found = std::find_if(paths.cbegin(), paths.cend(), [](const QString& object) {
            return object.endsWith(QLatin1String(".hhk"), Qt::CaseInsensitive) &&
                   object.lastIndexOf(QLatin1Char('/')) == 0;
        });
        if (found == paths.cend())
            return {};
        path = *found;
    }
    const std::optional<QByteArray> file = archive.read(path);
    return file ? parseKeywordIndex(decodeStoredText(*file)) : std::vector<Keyword>{};
}

} // namespace vimora::help
