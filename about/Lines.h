#pragma once

#include <QBrush>
#include <QPen>
#include <QWidget>

#include <cstdint>

// TLine: a light-weight control that paints one straight segment on its parent's surface (it
// has no native window and fills nothing, so whatever lies beneath shows around the segment).
// Its kind either leaves the end points to the user (ltCustom) or derives them from the current
// size at every painting; the horizontal and vertical kinds then shrink their thin side to
// 10 x the pen width, after the painting that used the old size.
namespace vimora {

class TLine : public QWidget {
    Q_OBJECT
    // Declared in the order a .ui form assigns them: the coordinates come before the
    // kind, so they are accepted while the kind is still the constructor's ltCustom.
    Q_PROPERTY(int Left READ x WRITE setLeft)
    Q_PROPERTY(int Top READ y WRITE setTop)
    Q_PROPERTY(int Width READ width WRITE setWidth)
    Q_PROPERTY(int Height READ height WRITE setHeight)
    Q_PROPERTY(QBrush Brush READ Brush WRITE setBrush)
    Q_PROPERTY(QPen Pen READ Pen WRITE setPen)
    Q_PROPERTY(int FromX READ FromX WRITE setFromX)
    Q_PROPERTY(int ToX READ ToX WRITE setToX)
    Q_PROPERTY(int FromY READ FromY WRITE setFromY)
    Q_PROPERTY(int ToY READ ToY WRITE setToY)
    Q_PROPERTY(TLineType Line READ Line WRITE setLine)

public:
    enum TLineType : std::uint8_t {
        ltCustom,
        ltHorizontal,
        ltVertical,
        ltTop,
        ltBottom,
        ltLeft,
        ltRight,
        ltUpDiagonal,
        ltDownDiagonal,
    };
    Q_ENUM(TLineType)

    /// A custom diagonal from (0, 0) to (35, 35) in a 65 x 65 box, black pen of width 1, white
    /// solid brush.
    explicit TLine(QWidget* parent = nullptr);

    void setLeft(int left);
    void setTop(int top);
    void setWidth(int width);
    void setHeight(int height);

    const QBrush& Brush() const { return m_brush; }
    /// Copies the brush's attributes; it only fills the gaps of a patterned pen, and only when
    /// it is solid.
    void setBrush(const QBrush& brush);
    const QPen& Pen() const { return m_pen; }
    /// Copies the pen's attributes.
    void setPen(const QPen& pen);

    /// The end points: the user's while the kind is ltCustom, otherwise those computed at the
    /// last painting. The setters are ignored unless the kind is ltCustom.
    int FromX() const { return m_fromX; }
    int ToX() const { return m_toX; }
    int FromY() const { return m_fromY; }
    int ToY() const { return m_toY; }
    void setFromX(int value);
    void setToX(int value);
    void setFromY(int value);
    void setToY(int value);

    TLineType Line() const { return m_line; }
    /// Leaving a horizontal or vertical kind keeps the long side along the new line's axis and
    /// gives the thin side the default 65.
    void setLine(TLineType line);

    /// The change handler of the pen and the brush: schedules a repaint.
    void StyleChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setCoordinate(int& coordinate, int value);
    void computeEndPoints();

    TLineType m_line = ltCustom;
    QPen m_pen;
    QBrush m_brush;
    int m_fromX = 0;
    int m_toX = 0;
    int m_fromY = 0;
    int m_toY = 0;
};

using TLineType = TLine::TLineType;

} // namespace vimora
