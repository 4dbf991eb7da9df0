#include "Lines.h"

#include <QPainter>

#include <algorithm>

namespace vimora {

namespace {
constexpr int kDefaultSize = 65;
}

TLine::TLine(QWidget* parent)
    : QWidget(parent)
    , m_pen(Qt::black, 1, Qt::SolidLine)
    , m_brush(Qt::white, Qt::SolidPattern) {
    resize(kDefaultSize, kDefaultSize);
    setFromX(0);
    setFromY(0);
    setToX(35);
    setToY(35);
}

void TLine::setLeft(int left) {
    move(left, y());
}
void TLine::setTop(int top) {
    move(x(), top);
}
void TLine::setWidth(int width) {
    resize(width, height());
}
void TLine::setHeight(int height) {
    resize(width(), height);
}

void TLine::setBrush(const QBrush& brush) {
    m_brush = brush;
    StyleChanged();
}

void TLine::setPen(const QPen& pen) {
    m_pen = pen;
    StyleChanged();
}

void TLine::StyleChanged() {
    update();
}

void TLine::setCoordinate(int& coordinate, int value) {
    if (m_line != ltCustom) {
        return;
    }
    coordinate = value;
    update();
}

void TLine::setFromX(int value) {
    setCoordinate(m_fromX, value);
}
void TLine::setToX(int value) {
    setCoordinate(m_toX, value);
}
void TLine::setFromY(int value) {
    setCoordinate(m_fromY, value);
}
void TLine::setToY(int value) {
    setCoordinate(m_toY, value);
}

void TLine::setLine(TLineType line) {
    if (line == m_line) {
        return;
    }
    const int oldWidth = width();
    const int oldHeight = height();
    if (m_line == ltHorizontal) {
        switch (line) {
        case ltVertical:
            resize(oldHeight, oldWidth);
            break;
        case ltTop:
        case ltBottom:
        case ltUpDiagonal:
        case ltDownDiagonal:
            setHeight(kDefaultSize);
            break;
        case ltLeft:
        case ltRight:
            resize(kDefaultSize, oldWidth);
            break;
        default:
            break;
        }
    } else if (m_line == ltVertical) {
        switch (line) {
        case ltHorizontal:
            resize(oldHeight, oldWidth);
            break;
        case ltTop:
        case ltBottom:
            resize(oldHeight, kDefaultSize);
            break;
        case ltLeft:
        case ltRight:
        case ltUpDiagonal:
        case ltDownDiagonal:
            setWidth(kDefaultSize);
            break;
        default:
            break;
        }
    }
    m_line = line;
    update();
}

// Derives the end points from the size at this painting. The horizontal and vertical kinds
// then resize themselves; the new size is used by the painting that the resize schedules.
void TLine::computeEndPoints() {
    const int w = width() - 1;
    const int h = height() - 1;
    const auto setEndPoints = [this](int fromX, int fromY, int toX, int toY) {
        m_fromX = fromX;
        m_fromY = fromY;
        m_toX = toX;
        m_toY = toY;
    };
    switch (m_line) {
    case ltCustom:
        m_toX = std::max(m_toX, 0);
        m_fromX = std::max(m_fromX, 0);
        if (w < m_toX || w < m_fromX) {
            setWidth(std::max(m_toX, m_fromX) + 1);
        }
        m_toY = std::max(m_toY, 0);
        m_fromY = std::max(m_fromY, 0);
        if (h < m_toY || h < m_fromY) {
            setHeight(std::max(m_toY, m_fromY) + 1);
        }
        break;
    case ltHorizontal:
        setEndPoints(0, h / 2, w, h / 2);
        setHeight(10 * m_pen.width());
        break;
    case ltVertical:
        setEndPoints(w / 2, 0, w / 2, h);
        setWidth(10 * m_pen.width());
        break;
    case ltTop:
        setEndPoints(0, 0, w, 0);
        break;
    case ltBottom:
        setEndPoints(0, h, w, h);
        break;
    case ltLeft:
        setEndPoints(0, 0, 0, h);
        break;
    case ltRight:
        setEndPoints(w, 0, w, h);
        break;
    case ltUpDiagonal:
        setEndPoints(0, h, w, 0);
        break;
    case ltDownDiagonal:
        setEndPoints(0, 0, w, h);
        break;
    }
}

void TLine::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QPen pen = m_pen;
    // A flat cap leaves the end point itself unpainted, as the platform's line primitive does.
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    // A solid brush paints the gaps of a patterned pen; any other style leaves them clear.
    painter.setBackground(m_brush);
    painter.setBackgroundMode(m_brush.style() == Qt::SolidPattern ? Qt::OpaqueMode : Qt::TransparentMode);
    computeEndPoints();
    painter.drawLine(m_fromX, m_fromY, m_toX, m_toY);
}

} // namespace vimora
