#pragma once

#include <QString>
#include <QUrl>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

// A file may nest its lists deeper than the call stack: nothing here recurses over the tree.
namespace vimora::help {

class ChmArchive;
enum class ReadFailure;

/// One entry of a help file's table of contents: a book when it has children, a page when it
/// names a topic, or both.
struct ContentsEntry {
    QString name;
    QUrl topic; ///< empty for a book without a page of its own
    std::vector<ContentsEntry> children;

    ContentsEntry() = default;
    ContentsEntry(ContentsEntry&&) noexcept = default;
    ContentsEntry& operator=(ContentsEntry&&) noexcept = default;
    // A copy would recurse as deep as the tree.
    ContentsEntry(const ContentsEntry&) = delete;
    ContentsEntry& operator=(const ContentsEntry&) = delete;
    /// Frees the descendants one at a time.
    ~ContentsEntry();
};

/// Calls visit(entry, depth) for every entry in the order of the file, depth 0 being the top
/// level, until visit returns false.
template <typename Visit> void walkContents(const std::vector<ContentsEntry>& contents, Visit visit) {
    std::vector<std::pair<const ContentsEntry*, std::size_t>> pending;
    const auto push = [&pending](const std::vector<ContentsEntry>& entries, std::size_t depth) {
        std::transform(entries.rbegin(), entries.rend(), std::back_inserter(pending),
                       [depth](const ContentsEntry& entry) {
                           return std::pair{&entry, depth};
                       });
    };
    push(contents, 0);
    while (!pending.empty()) {
        const auto [entry, depth] = pending.back();
        pending.pop_back();
        if (!visit(*entry, depth))
            return;
        push(entry->children, depth + 1);
    }
}

/// Reads a contents file (.hhc): nested <UL> lists of <LI> items, each described by an
/// <OBJECT type="text/sitemap"> with "Name" and "Local" parameters. Anything else is ignored.
/// At most limits::kMostContentsEntries entries and limits::kMostContentsTags tags are read, and
/// `cut` tells whether there were more; a name longer than limits::kLongestName is cut there and
/// ends with "…", a longer path is dropped.
std::vector<ContentsEntry> parseContents(const QString& text, bool* cut = nullptr);

/// The table of contents of a help file, as parseContents reads it, empty when the file has none;
/// nothing, and why, when the file names one that cannot be read.
std::optional<std::vector<ContentsEntry>> readContents(const ChmArchive& archive,
                                                       ReadFailure* failure = nullptr, bool* cut = nullptr);

/// The first topic of a help file: its default topic, else the first page of its contents;
/// empty when the file names no topic that it holds.
QUrl firstTopic(const ChmArchive& archive, const std::vector<ContentsEntry>& contents);

} // namespace vimora::help
