#pragma once

#include <QString>
#include <QUrl>

#include <cstddef>
#include <optional>
#include <vector>

// The keyword index of a help file (.hhk): keywords, sub-keywords under them, and the topics
// each one leads to. Nested like a contents file, read without recursion, and bounded in every
// dimension a hostile file controls.
namespace vimora::help {

class ChmArchive;

/// A topic a keyword leads to, with the title the index file gives it (may be empty).
struct KeywordTopic {
    QUrl topic;
    QString title;
};

/// One keyword, in the order the index shows them.
struct Keyword {
    QString name;
    std::size_t level = 0; ///< 0 for a keyword, 1 for one of its sub-keywords, and so on
    std::vector<KeywordTopic> topics;
};

/// Reads an index file: nested <UL> lists of <LI> items, each an <OBJECT type="text/sitemap">
/// whose first "Name" is the keyword and whose "Local" parameters are its topics (a "Name"
/// before a "Local" titles it). The keywords come out in French alphabetical order, each
/// followed by its sub-keywords in that order.
std::vector<Keyword> parseKeywordIndex(QStringView text);

/// The index of a help file: empty when the file has none or it cannot be read.
std::vector<Keyword> readKeywordIndex(const ChmArchive& archive);

} // namespace vimora::help
