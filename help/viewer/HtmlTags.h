#pragma once

#include <QString>
#include <QStringView>

// Help files are hostile input: this reader of HTML and sitemap files goes once through the
// text, whatever it holds (tags never closed, quotes never closed, a million tags).
namespace vimora::help {

/// The pieces of an HTML text in order: runs of text and tags. Comments are skipped, and so is
/// the content of <script> and <style>.
class HtmlTokens {
public:
    enum class Kind { Text, Tag, End };
    struct Token {
        Kind kind = Kind::End;
        QStringView text;       ///< the text of a Text token, entities not decoded
        QString name;           ///< a tag's name in lower case
        bool closing = false;   ///< </name>
        QStringView attributes; ///< what follows a tag's name
    };

    explicit HtmlTokens(QStringView html)
        : m_html(html) {}

    Token next();

private:
    QStringView m_html;
    qsizetype m_at = 0;
    QString m_rawTextEnd; // set inside <script> or <style>
};

/// The text with its character references (&eacute; &#233; &#xE9;) decoded.
QString decodeEntities(QStringView text);

/// The decoded value of a tag's attribute, empty when the tag has none of that name.
QString attributeValue(QStringView attributes, QLatin1String name);

} // namespace vimora::help
