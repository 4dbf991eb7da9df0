#pragma once

#include <QWidget>

#include <memory>

namespace vimora::chart {
class Chart;
}

/// Shows a chart scaled to the widget, keeping its proportions.
class ChartView : public QWidget {
    Q_OBJECT

public:
    explicit ChartView(QWidget* parent = nullptr);
    ~ChartView() override;

    /// Takes the chart; its description becomes the widget's accessible description.
    void setChart(std::unique_ptr<vimora::chart::Chart> chart);
    /// From the chart's coordinates to the widget's.
    QTransform chartTransform() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<vimora::chart::Chart> m_chart;
};
