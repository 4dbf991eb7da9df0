#include "Contents.h"

#include "ChmArchive.h"

#include <QRegularExpression>

#include <iterator>
#include <utility>

namespace vimora::help {

namespace {

QString decodeEntities(const QString& text) {
    static const QRegularExpression entity(QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[a-zA-Z]+);"));
    QString result;
    qsizetype last = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1);
        QString replacement = match.captured(0);
        if (name.startsWith(QLatin1Char('#'))) {
            const bool hex = name.size() > 1 && (name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X'));
            bool ok = false;
            const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t character = code;
                replacement = QString::fromUcs4(&character, 1);
            }
        } else if (name == QLatin1String("amp")) {
            replacement = QStringLiteral("&");
        } else if (name == QLatin1String("lt")) {
            replacement = QStringLiteral("<");
        } else if (name == QLatin1String("gt")) {
            replacement = QStringLiteral(">");
        } else if (name == QLatin1String("quot")) {
            replacement = QStringLiteral("\"");
        } else if (name == QLatin1String("apos")) {
            replacement = QStringLiteral("'");
        } else if (name == QLatin1String("nbsp")) {
            replacement = QString(QChar(0x00A0));
        }
        result += QStringView(text).mid(last, match.capturedStart() - last);
        result += replacement;
        last = match.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result;
}

QString attribute(const QString& attributes, QLatin1String name) {
    static const QRegularExpression pattern(
        QStringLiteral(R"re(([A-Za-z_:][-A-Za-z0-9_:.]*)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    for (auto it = pattern.globalMatch(attributes); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(1).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        for (int group = 2; group <= 4; ++group) {
            if (match.capturedStart(group) >= 0)
                return decodeEntities(match.captured(group));
        }
    }
    return {};
}

} // namespace

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

// Reads the tags of a contents file one at a time.
class ContentsParser {
public:
    void list(bool closing) {
        if (closing) {
            if (m_levels.size() > 1)
                m_levels.pop_back();
            return;
        }
        std::vector<ContentsEntry>* level = m_levels.back();
        m_levels.push_back(level->empty() ? level : &level->back().children);
    }

    void object(bool closing, const QString& attributes) {
        if (closing) {
            if (m_inSitemap && (!m_entry.name.isEmpty() || !m_entry.topic.isEmpty()))
                m_levels.back()->push_back(std::exchange(m_entry, {}));
            m_inSitemap = false;
            return;
        }
        m_inSitemap = attribute(attributes, QLatin1String("type"))
                          .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0;
        m_entry = ContentsEntry{};
    }

    void param(const QString& attributes) {
        if (!m_inSitemap)
            return;
        const QString param = attribute(attributes, QLatin1String("name"));
        const QString value = attribute(attributes, QLatin1String("value"));
        if (param.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0)
            m_entry.name = value.trimmed();
        else if (param.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0 &&
                 !value.trimmed().isEmpty())
            m_entry.topic = topicUrl(value);
    }

    std::vector<ContentsEntry> take() { return std::move(m_root); }

private:
    std::vector<ContentsEntry> m_root;
    // The lists being filled, outermost first. The first <UL> fills the root; a later one fills
    // the children of the entry just read at the current level.
    std::vector<std::vector<ContentsEntry>*> m_levels{&m_root};
    bool m_inSitemap = false;
    ContentsEntry m_entry;
};

} // namespace

std::vector<ContentsEntry> parseContents(const QString& text) {
    static const QRegularExpression tag(QStringLiteral(R"re(<\s*(/?)\s*([A-Za-z]+)([^>]*)>)re"));
    ContentsParser parser;
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const bool closing = !match.captured(1).isEmpty();
        const QString name = match.captured(2).toLower();
        if (name == QLatin1String("ul"))
            parser.list(closing);
        else if (name == QLatin1String("object"))
            parser.object(closing, match.captured(3));
        else if (name == QLatin1String("param"))
            parser.param(match.captured(3));
    }
    return parser.take();
}

std::optional<std::vector<ContentsEntry>> readContents(const ChmArchive& archive) {
    if (archive.contentsFile().isEmpty())
        return std::vector<ContentsEntry>{};
    ReadFailure failure = ReadFailure::Missing;
    const std::optional<QByteArray> file = archive.read(archive.contentsFile(), &failure);
    if (!file && failure != ReadFailure::Missing)
        return std::nullopt;
    return file ? parseContents(decodeStoredText(*file)) : std::vector<ContentsEntry>{};
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
