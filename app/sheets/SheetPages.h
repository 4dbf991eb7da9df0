#pragma once

#include <QRectF>

#include <functional>
#include <optional>
#include <vector>

class QPainter;

/// What a page of a sheet holds, in points.
struct SheetItem {
    enum Kind { Text, Chart };
    Kind kind;
    QRectF rect;
};

/// A piece of a sheet that stays whole on one page.
struct SheetBlock {
    double height = 0;
    SheetItem::Kind kind = SheetItem::Text;
    std::function<void(QPainter&, const QRectF&)> paint; ///< none for a gap
    bool tableRow = false;
    bool keepWithNext = false; ///< a heading: on the page of what it heads
};

// The one paginator of the sheets: blocks go down the page from the top; one that does not fit
// above the bottom begins the next page, a table row under the table's header again, and a
// heading never stands alone at the foot of a page.
class SheetPages {
public:
    using Item = SheetItem;

    /// `left` and `width`: the blocks' column; `top` and `bottom`: where each page's blocks begin
    /// and must end. The header goes above the first table row and above a table's continuation.
    SheetPages(const std::vector<SheetBlock>& blocks, double left, double top, double width, double bottom,
               const std::optional<SheetBlock>& tableHeader = std::nullopt);

    int count() const { return static_cast<int>(m_pages.size()); }
    std::vector<Item> items(int page) const;
    /// Paints the blocks of one page, in order, in the sheet's points.
    void paint(QPainter& painter, int page) const;

private:
    struct Placed {
        Item item;
        std::function<void(QPainter&, const QRectF&)> paint;
    };
    std::vector<std::vector<Placed>> m_pages;
};
