#pragma once

#include <QFrame>

// The band container above the window's fields: it holds the tool bar as its one band and
// draws the band's grab handle at the left.
class TControlBar : public QFrame {
    Q_OBJECT

public:
    explicit TControlBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
