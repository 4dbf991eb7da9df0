#pragma once

#include <QObject>

class QRadioButton;
class QWidget;

// The window's tab stops and the keys that move between the sex buttons. Both sex buttons are
// tab stops until a sex is chosen; from then on only the checked one, as in a radio group. An
// arrow key on a sex button chooses the other one, as a click on it would.
class FocusChain : public QObject {
public:
    FocusChain(QWidget& window, QRadioButton& male, QRadioButton& female);

    /// Gives the focus to the next (or previous) tab stop after `from`; false when there is none.
    bool moveFocus(QWidget& from, bool next);

    /// A sex has been chosen: only the checked button stays a tab stop.
    void sexChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isTabStop(const QWidget* widget) const;

    QWidget& m_window;
    QRadioButton& m_male;
    QRadioButton& m_female;
    bool m_bothSexTabStops = true;
};
