#include "ControlBar.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolBar>

namespace {

constexpr int kHandleLeft = 2;
constexpr int kHandleWidth = 8;

class ToolBarStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        switch (metric) {
        case PM_ToolBarSeparatorExtent:
            return 8;
        case PM_ToolBarItemSpacing:
        case PM_ToolBarItemMargin:
        case PM_ToolBarFrameWidth:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

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

void fitToolBar(QToolBar& toolBar) {
    auto* style = new ToolBarStyle;
    style->setParent(&toolBar);
    toolBar.setStyle(style);
    for (QAction* action : toolBar.actions()) {
        QWidget* item = toolBar.widgetForAction(action);
        if (action->isSeparator())
            item->setStyle(style);
        else
            item->setFixedSize(23, 22);
        // A screen reader says the hint, not the action's name.
        item->setAccessibleName(action->toolTip());
    }
}
