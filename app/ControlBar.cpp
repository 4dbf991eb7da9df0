#include "ControlBar.h"

#include <QPainter>
#include <QStyleOption>

namespace {
constexpr int kHandleLeft = 2;
constexpr int kHandleWidth = 8;
} // namespace

TControlBar::TControlBar(QWidget* parent)
    : QFrame(parent) {}

void TControlBar::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.rect = QRect(kHandleLeft, 2, kHandleWidth, height() - 4);
    option.state |= QStyle::State_Horizontal;
    style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
}
