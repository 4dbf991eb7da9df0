#pragma once

#include <QFrame>

class QToolBar;

// The band container above the window's fields: it holds the tool bar as its one band and
// draws the band's grab handle at the left.
class TControlBar : public QFrame {
    Q_OBJECT

public:
    explicit TControlBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// The band's tool bar as the form gives it: 23×22 buttons, 8-pixel separators, no gaps; each
/// button named by its hint.
void fitToolBar(QToolBar& toolBar);
