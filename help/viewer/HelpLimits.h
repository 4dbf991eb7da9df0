#pragma once

#include <QtGlobal>

#include <cstddef>

// Everything a help file controls is bounded here, so that a damaged or hostile file costs the
// viewer at most these before it is refused, or cut with a note. The costs behind each figure are
// those of Qt 6.4's text document and tree view, measured on pages and contents made to the limit.
namespace vimora::help::limits {

/// Larger files are not read at all.
inline constexpr qint64 kLargestFile = qint64{256} * 1024 * 1024;
/// Objects larger than this are not help pages or pictures: a damaged file cannot exhaust memory.
inline constexpr qint64 kLargestObject = qint64{64} * 1024 * 1024;

/// A page larger than this is not shown: laying out 4 MB of text takes a second.
inline constexpr qint64 kLargestPage = qint64{2} * 1024 * 1024;
/// Elements a page may hold: ten thousand table cells take half a second to lay out.
inline constexpr int kMostPageElements = 10000;
/// How deep a page may nest its elements: the text document's cost grows with the square of it.
inline constexpr int kDeepestPageNesting = 100;
/// How deep a page may nest its tables: each level doubles the cost of laying out what it holds.
inline constexpr int kDeepestTableNesting = 3;

/// Entries shown in the contents; the rest are left out, and the status bar says so.
inline constexpr std::size_t kMostContentsEntries = 20000;
/// Tags read from a contents file, about eight for each entry shown: a file whose tags make no
/// entries is left out after as many, with the same note.
inline constexpr std::size_t kMostContentsTags = 8 * kMostContentsEntries;
/// The tree view lays out and expands its items recursively: entries nested deeper are shown at
/// this level, after their ancestors, in the order of the file.
inline constexpr std::size_t kDeepestContentsLevel = 100;
/// Characters of a contents entry's name, of an index keyword or of a page's title, and of the
/// path of its page: a longer name is cut, a longer path, which no object of a help file has, is
/// dropped.
inline constexpr qsizetype kLongestName = 1024;

/// Sub-keywords of the index nested deeper are shown at this level.
inline constexpr std::size_t kDeepestKeywordLevel = 4;
/// Keywords of the index beyond this are left out.
inline constexpr std::size_t kMostKeywords = 100000;
/// A keyword's topics beyond this are left out.
inline constexpr std::size_t kMostKeywordTopics = 1000;

/// A page's text beyond this is not searched.
inline constexpr qsizetype kLargestTopicText = qsizetype{2} * 1024 * 1024;
/// Topics beyond this, or beyond the bytes below, are left out of the search index.
inline constexpr std::size_t kMostTopics = 20000;
inline constexpr qint64 kLargestIndexedBytes = qint64{128} * 1024 * 1024;

} // namespace vimora::help::limits
