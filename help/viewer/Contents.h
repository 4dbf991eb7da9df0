#pragma once

#include <QString>
#include <QUrl>

#include <vector>

namespace vimora::help {

/// One entry of a help file's table of contents: a book when it has children, a page when it
/// names a topic, or both.
struct ContentsEntry {
    QString name;
    QUrl topic; ///< empty for a book without a page of its own
    std::vector<ContentsEntry> children;
};

/// Reads a contents file (.hhc): nested <UL> lists of <LI> items, each described by an
/// <OBJECT type="text/sitemap"> with "Name" and "Local" parameters. Anything else is ignored.
std::vector<ContentsEntry> parseContents(const QString& text);

} // namespace vimora::help
