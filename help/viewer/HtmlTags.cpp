#include "HtmlTags.h"

#include "HelpLimits.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vimora::help {

namespace {

// The longest character reference looked for after an ampersand.
constexpr qsizetype kLongestEntity = 10;

bool isNameCharacter(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char(':') ||
           c == QLatin1Char('.');
}

char32_t namedEntity(QStringView name) {
    static constexpr std::array<std::pair<const char*, char32_t>, 40> kNames{{
        {"amp", U'&'},      {"lt", U'<'},      {"gt", U'>'},      {"quot", U'"'},    {"apos", U'\''},
        {"nbsp", 0xA0},     {"laquo", 0xAB},   {"raquo", 0xBB},   {"rsquo", 0x2019}, {"lsquo", 0x2018},
        {"hellip", 0x2026}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"eacute", 0xE9},  {"Eacute", 0xC9},
        {"egrave", 0xE8},   {"Egrave", 0xC8},  {"ecirc", 0xEA},   {"Ecirc", 0xCA},   {"euml", 0xEB},
        {"agrave", 0xE0},   {"Agrave", 0xC0},  {"acirc", 0xE2},   {"Acirc", 0xC2},   {"ccedil", 0xE7},
        {"Ccedil", 0xC7},   {"icirc", 0xEE},   {"iuml", 0xEF},    {"ocirc", 0xF4},   {"Ocirc", 0xD4},
        {"ugrave", 0xF9},   {"ucirc", 0xFB},   {"uuml", 0xFC},    {"oelig", 0x153},  {"OElig", 0x152},
        {"deg", 0xB0},      {"sup2", 0xB2},    {"copy", 0xA9},    {"middot", 0xB7},  {"times", 0xD7},
    }};
    for (const auto& [entity, character] : kNames) {
        if (name == QLatin1String(entity))
            return character;
    }
    return 0;
}

char32_t numericEntity(QStringView digits) {
    bool ok = false;
    const bool hex = digits.startsWith(QLatin1Char('x'), Qt::CaseInsensitive);
    const uint code = hex ? digits.mid(1).toUInt(&ok, 16) : digits.toUInt(&ok, 10);
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return code;
}

qsizetype skipSpace(QStringView text, qsizetype at) {
    while (at < text.size() && text[at].isSpace())
        ++at;
    return at;
}

// The value after the "=" at `at`, quoted or not; `at` moves past it.
QStringView readValue(QStringView attributes, qsizetype& at) {
    const qsizetype size = attributes.size();
    at = skipSpace(attributes, at + 1);
    if (at < size && (attributes[at] == QLatin1Char('"') || attributes[at] == QLatin1Char('\''))) {
        const qsizetype end = attributes.indexOf(attributes[at], at + 1);
        const qsizetype stop = end < 0 ? size : end;
        const QStringView value = attributes.mid(at + 1, stop - at - 1);
        at = stop + 1;
        return value;
    }
    const qsizetype start = at;
    while (at < size && !attributes[at].isSpace())
        ++at;
    return attributes.mid(start, at - start);
}

// Decodes until the result holds `longest` characters; `cut` tells whether text was left.
QString decodeEntities(QStringView text, qsizetype longest, bool* cut) {
    QString decoded;
    decoded.reserve(std::min(text.size(), longest));
    qsizetype at = 0;
    while (at < text.size() && decoded.size() < longest) {
        const qsizetype amp = text.indexOf(QLatin1Char('&'), at);
        const qsizetype plainEnd = std::min(amp < 0 ? text.size() : amp, at + longest - decoded.size());
        decoded += text.mid(at, plainEnd - at);
        at = plainEnd;
        if (at != amp)
            continue;
        const qsizetype semicolon = text.mid(amp + 1, kLongestEntity).indexOf(QLatin1Char(';'));
        char32_t character = 0;
        if (semicolon > 0) {
            const QStringView name = text.mid(amp + 1, semicolon);
            character = name.startsWith(QLatin1Char('#')) ? numericEntity(name.mid(1)) : namedEntity(name);
        }
        if (character != 0) {
            decoded += QString::fromUcs4(&character, 1);
            at = amp + semicolon + 2;
        } else {
            decoded += QLatin1Char('&');
            at = amp + 1;
        }
    }
    if (cut != nullptr)
        *cut = at < text.size();
    return decoded;
}

} // namespace

HtmlTokens::Token HtmlTokens::next() {
    // A loop rather than a call for each comment: a file may hold a million of them in a row.
    Token token;
    const qsizetype size = m_html.size();
    while (m_at < size) {
        if (!m_rawTextEnd.isEmpty()) {
            const qsizetype end = m_html.indexOf(m_rawTextEnd, m_at, Qt::CaseInsensitive);
            m_rawTextEnd.clear();
            m_at = end < 0 ? size : end;
            continue;
        }

        const qsizetype open = m_html.indexOf(QLatin1Char('<'), m_at);
        if (open != m_at) {
            token.kind = Kind::Text;
            const qsizetype end = open < 0 ? size : open;
            token.text = m_html.mid(m_at, end - m_at);
            m_at = end;
            return token;
        }

        if (m_html.mid(open).startsWith(QLatin1String("<!--"))) {
            const qsizetype end = m_html.indexOf(QLatin1String("-->"), open + 4);
            m_at = end < 0 ? size : end + 3;
            continue;
        }

        const qsizetype close = m_html.indexOf(QLatin1Char('>'), open);
        if (close < 0) {
            // Not a tag: nothing after it is either, so the rest is text.
            token.kind = Kind::Text;
            token.text = m_html.mid(open);
            m_at = size;
            return token;
        }
        return tagAt(open, close);
    }
    return token;
}

HtmlTokens::Token HtmlTokens::tagAt(qsizetype open, qsizetype close) {
    Token token;
    qsizetype at = open + 1;
    if (at < close && m_html[at] == QLatin1Char('/')) {
        token.closing = true;
        ++at;
    }
    const qsizetype nameStart = at;
    while (at < close && (isNameCharacter(m_html[at]) || (at == nameStart && m_html[at] == QLatin1Char('!'))))
        ++at;
    token.kind = Kind::Tag;
    token.name = m_html.mid(nameStart, at - nameStart);
    token.attributes = m_html.mid(at, close - at);
    m_at = close + 1;
    if (m_scripts == ScriptContent::Skipped && !token.closing &&
        (token.is(QLatin1String("script")) || token.is(QLatin1String("style"))))
        m_rawTextEnd = QStringLiteral("</") + token.name.toString();
    return token;
}

QString decodeEntities(QStringView text) {
    return decodeEntities(text, text.size(), nullptr);
}

QString attributeValue(QStringView attributes, QLatin1String name, bool* cut) {
    qsizetype at = 0;
    const qsizetype size = attributes.size();
    while (at < size) {
        at = skipSpace(attributes, at);
        const qsizetype nameStart = at;
        while (at < size && isNameCharacter(attributes[at]))
            ++at;
        if (at == nameStart) {
            ++at;
            continue;
        }
        const QStringView attribute = attributes.mid(nameStart, at - nameStart);
        at = skipSpace(attributes, at);
        QStringView value;
        if (at < size && attributes[at] == QLatin1Char('='))
            value = readValue(attributes, at);
        if (attribute.compare(name, Qt::CaseInsensitive) == 0)
            return decodeEntities(value, limits::kLongestName, cut);
    }
    if (cut != nullptr)
        *cut = false;
    return {};
}

} // namespace vimora::help
