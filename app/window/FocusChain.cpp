#include "FocusChain.h"

#include <QKeyEvent>
#include <QRadioButton>

FocusChain::FocusChain(QWidget& window, QRadioButton& male, QRadioButton& female)
    : QObject(&window)
    , m_window(window)
    , m_male(male)
    , m_female(female) {
    m_male.installEventFilter(this);
    m_female.installEventFilter(this);
}

void FocusChain::sexChosen() {
    m_bothSexTabStops = false;
}

bool FocusChain::isTabStop(const QWidget* widget) const {
    if (widget == &m_male || widget == &m_female)
        return m_bothSexTabStops || static_cast<const QRadioButton*>(widget)->isChecked();
    return widget->isEnabled() && widget->isVisibleTo(&m_window) &&
           (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && m_window.isAncestorOf(widget);
}

bool FocusChain::moveFocus(QWidget& from, bool next) {
    for (QWidget* candidate = &from;;) {
        candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
        if (candidate == &from)
            return false;
        if (isTabStop(candidate)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
}

bool FocusChain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        break;
    default:
        return false;
    }
    // The choice then moves the focus on, to the age field.
    QRadioButton& other = watched == &m_male ? m_female : m_male;
    other.setFocus(Qt::OtherFocusReason);
    other.click();
    return true;
}
