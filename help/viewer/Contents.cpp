#include "Contents.h"

#include "ChmArchive.h"
#include "HelpLimits.h"

#include <QRegularExpression>

#include <iterator>
#include <optional>
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

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isNameStart(QChar c) {
    return isAsciiLetter(c) || c == u'_' || c == u':';
}

bool isNameCharacter(QChar c) {
    return isNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

qsizetype skipSpaces(QStringView text, qsizetype at) {
    while (at < text.size() && text[at].isSpace())
        ++at;
    return at;
}

bool endsBareValue(QChar c) {
    return c.isSpace() || c == u'"' || c == u'\'' || c == u'>';
}

struct AttributeValue {
    QStringView text;
    qsizetype end; ///< just past the value
};

// The value that starts at `at`, quoted with " or ', or bare; nothing when its quote is not closed.
std::optional<AttributeValue> readValue(QStringView attributes, qsizetype at) {
    const QChar quote = attributes[at];
    if (quote == u'"' || quote == u'\'') {
        const qsizetype end = attributes.indexOf(quote, at + 1);
        if (end < 0)
            return std::nullopt;
        return AttributeValue{attributes.mid(at + 1, end - at - 1), end + 1};
    }
    qsizetype end = at;
    while (end < attributes.size() && !endsBareValue(attributes[end]))
        ++end;
    return AttributeValue{attributes.mid(at, end - at), end};
}

// The value of the attribute `name` (name="value", name='value' or name=value) among a tag's
// attributes, its entities decoded. Only its first limits::kLongestName characters are read;
// `cut` tells whether there were more.
QString attribute(QStringView attributes, QLatin1String name, bool* cut = nullptr) {
    qsizetype at = 0;
    while (at < attributes.size()) {
        if (!isNameStart(attributes[at])) {
            ++at;
            continue;
        }
        const qsizetype nameStart = at;
        while (at < attributes.size() && isNameCharacter(attributes[at]))
            ++at;
        const QStringView found = attributes.mid(nameStart, at - nameStart);
        qsizetype valueAt = skipSpaces(attributes, at);
        if (valueAt >= attributes.size() || attributes[valueAt] != u'=')
            continue;
        valueAt = skipSpaces(attributes, valueAt + 1);
        if (valueAt >= attributes.size())
            return {};
        const std::optional<AttributeValue> value = readValue(attributes, valueAt);
        if (!value) {
            at = valueAt + 1;
            continue;
        }
        at = value->end;
        if (found.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (cut != nullptr)
            *cut = value->text.size() > limits::kLongestName;
        return decodeEntities(value->text.left(limits::kLongestName).toString());
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

// Reads the tags of a contents file one at a time, until it holds as many entries as the viewer
// shows.
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

    void object(bool closing, QStringView attributes) {
        if (closing) {
            if (m_inSitemap && (!m_entry.name.isEmpty() || !m_entry.topic.isEmpty())) {
                if (m_count == limits::kMostContentsEntries) {
                    m_full = true;
                    return;
                }
                m_levels.back()->push_back(std::exchange(m_entry, {}));
                ++m_count;
            }
            m_inSitemap = false;
            return;
        }
        m_inSitemap = attribute(attributes, QLatin1String("type"))
                          .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0;
        m_entry = ContentsEntry{};
    }

    void param(QStringView attributes) {
        if (!m_inSitemap)
            return;
        const QString param = attribute(attributes, QLatin1String("name"));
        bool cut = false;
        const QString value = attribute(attributes, QLatin1String("value"), &cut);
        if (param.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0)
            m_entry.name = cut ? value.trimmed() + QChar(0x2026) : value.trimmed();
        else if (param.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0 && !cut &&
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
    std::size_t m_count = 0;
    bool m_full = false;
};

} // namespace

std::vector<ContentsEntry> parseContents(const QString& text, bool* cut) {
    // Tags are read by hand rather than with a pattern: a tag of fifty million characters is
    // then only scanned, never copied.
    ContentsParser parser;
    const QStringView view(text);
    qsizetype at = 0;
    std::size_t tags = 0;
    bool tooManyTags = false;
    while (!parser.full()) {
        const qsizetype open = view.indexOf(u'<', at);
        if (open < 0)
            break;
        qsizetype nameAt = skipSpaces(view, open + 1);
        const bool closing = nameAt < view.size() && view[nameAt] == u'/';
        if (closing)
            nameAt = skipSpaces(view, nameAt + 1);
        qsizetype nameEnd = nameAt;
        while (nameEnd < view.size() && isAsciiLetter(view[nameEnd]))
            ++nameEnd;
        if (nameEnd == nameAt) {
            at = open + 1;
            continue;
        }
        const qsizetype close = view.indexOf(u'>', nameEnd);
        if (close < 0)
            break;
        if (++tags > limits::kMostContentsTags) {
            tooManyTags = true;
            break;
        }
        const QStringView name = view.mid(nameAt, nameEnd - nameAt);
        const QStringView attributes = view.mid(nameEnd, close - nameEnd);
        if (name.compare(QLatin1String("ul"), Qt::CaseInsensitive) == 0)
            parser.list(closing);
        else if (name.compare(QLatin1String("object"), Qt::CaseInsensitive) == 0)
            parser.object(closing, attributes);
        else if (name.compare(QLatin1String("param"), Qt::CaseInsensitive) == 0)
            parser.param(attributes);
        at = close + 1;
    }
    if (cut != nullptr)
        *cut = parser.full() || tooManyTags;
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
