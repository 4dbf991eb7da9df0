#include "ChartView.h"

#include "chart/Chart.h"

#include <QPainter>

ChartView::ChartView(QWidget* parent)
    : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

ChartView::~ChartView() = default;

void ChartView::setChart(std::unique_ptr<vimora::chart::Chart> chart) {
    m_chart = std::move(chart);
    setAccessibleDescription(m_chart ? m_chart->description() : QString());
    setMinimumSize(m_chart ? m_chart->size() / 2 : QSize());
    updateGeometry();
    update();
}

QTransform ChartView::chartTransform() const {
    return m_chart ? vimora::chart::fitTransform(m_chart->size(), rect()) : QTransform();
}

QSize ChartView::sizeHint() const {
    return m_chart ? m_chart->size() : QSize(340, 250);
}

void ChartView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_chart)
        return;
    painter.setTransform(chartTransform());
    m_chart->paint(painter);
}
