#include "SheetPages.h"

SheetPages::SheetPages(const std::vector<SheetBlock>& blocks, double left, double top, double width,
                       double bottom, const std::optional<SheetBlock>& tableHeader) {
    m_pages.assign(1, {});
    double y = top;
    auto place = [this, &y, left, width](const SheetBlock& block) {
        if (block.paint)
            m_pages.back().push_back({{block.kind, QRectF(left, y, width, block.height)}, block.paint});
        y += block.height;
    };
    bool inTable = false;
    const double headerHeight = tableHeader ? tableHeader->height : 0;
    auto room = [&inTable, headerHeight](const SheetBlock& block) {
        return block.height + (block.tableRow && !inTable ? headerHeight : 0);
    };
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const SheetBlock& block = blocks[i];
        const bool withNext = block.keepWithNext && i + 1 < blocks.size();
        const double needed = room(block) + (withNext ? room(blocks[i + 1]) : 0);
        const bool newPage = y + needed > bottom && y > top;
        if (newPage) {
            m_pages.emplace_back();
            y = top;
        }
        if (block.tableRow && tableHeader && (newPage || !inTable))
            place(*tableHeader);
        inTable = inTable || block.tableRow;
        place(block);
    }
}

std::vector<SheetPages::Item> SheetPages::items(int page) const {
    std::vector<Item> shown;
    for (const Placed& placed : m_pages.at(static_cast<std::size_t>(page)))
        shown.push_back(placed.item);
    return shown;
}

void SheetPages::paint(QPainter& painter, int page) const {
    for (const Placed& placed : m_pages.at(static_cast<std::size_t>(page)))
        placed.paint(painter, placed.item.rect);
}
