#pragma once

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace vimora::test {

/// While it lives, answers every window of type `Dialog` that is shown, as a person would: the
/// answer runs from the dialog's own event loop, as soon as that loop handles the dialog's first
/// event after showing it. An answer that leaves the dialog open (a failed check returned early)
/// has it closed, so that the test fails instead of waiting for ever.
template <typename Dialog> class DialogAnswerer : public QObject {
public:
    explicit DialogAnswerer(std::function<void(Dialog& dialog)> answer)
        : m_answer(std::move(answer)) {
        QApplication::instance()->installEventFilter(this);
    }

    /// How many dialogs were answered.
    int answered() const { return m_answered; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType() ||
            !static_cast<QWidget*>(watched)->isWindow())
            return false;
        auto* dialog = dynamic_cast<Dialog*>(watched);
        if (dialog == nullptr)
            return false;
        QMetaObject::invokeMethod(
            this,
            [this, shown = QPointer<Dialog>(dialog)] {
                if (shown.isNull())
                    return;
                ++m_answered;
                m_answer(*shown);
                if (!shown.isNull() && shown->isVisible())
                    shown->close();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    std::function<void(Dialog&)> m_answer;
    int m_answered = 0;
};

} // namespace vimora::test
