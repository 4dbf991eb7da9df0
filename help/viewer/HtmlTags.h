#pragma once

#include <QString>
#include <QStringView>

// The one reader of a help file's HTML: its pages, and the sitemap files of its contents and
// index. Help files are hostile input: this goes once through the text, whatever it holds (tags
// never closed, quotes never closed, a million tags), and points into the text rather than
// copying it.
namespace vimora::help {

/// The pieces of an HTML text in order: runs of text and tags. Comments are skipped.
class HtmlTokens {
public:
    enum class Kind { Text, Tag, End };
    /// What becomes of the content of <script> and <style>: a reader of the text skips it; Qt's
    /// text document reads the tags there as elements, and a measure of its cost must too.
    enum class ScriptContent { Skipped, Read };
    struct Token {
        Kind kind = Kind::End;
        QStringView text;       ///< the text of a Text token, entities not decoded
        QStringView name;       ///< a tag's name as written
        bool closing = false;   ///< </name>
        QStringView attributes; ///< what follows a tag's name

        /// Whether this is a tag of that name, `tag` being in lower case; tags ignore case.
        bool is(QLatin1String tag) const {
            return kind == Kind::Tag && name.compare(tag, Qt::CaseInsensitive) == 0;
        }
    };

    explicit HtmlTokens(QStringView html, ScriptContent scripts = ScriptContent::Skipped)
        : m_html(html)
        , m_scripts(scripts) {}

    Token next();

private:
    Token tagAt(qsizetype open, qsizetype close);

    QStringView m_html;
    ScriptContent m_scripts;
    qsizetype m_at = 0;
    QString m_rawTextEnd; // set inside <script> or <style>
};

/// The text with its character references (&eacute; &#233; &#xE9;) decoded.
QString decodeEntities(QStringView text);

/// The decoded value of a tag's attribute, empty when the tag has none of that name. Only the
/// first limits::kLongestName characters of the value are decoded; `cut` tells whether there
/// were more.
QString attributeValue(QStringView attributes, QLatin1String name, bool* cut = nullptr);

} // namespace vimora::help
