#include "InputKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <optional>
#include <utility>

namespace {

// The single-byte character a key press types, as the key filter sees it: Ctrl with a letter
// types its control character; keys that type nothing give none.
std::optional<char> typedCharacter(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
        return std::nullopt;
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier)) {
        if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)
            return static_cast<char>(event.key() - Qt::Key_A + 1);
        if (event.key() == Qt::Key_Backspace)
            return '\x7f';
    }
    const QString text = event.text();
    if (text.isEmpty())
        return std::nullopt;
    const char16_t code = text.front().unicode();
    return code <= 0xFF ? static_cast<char>(code) : '\x7f';
}

} // namespace

InputKeyFilter::InputKeyFilter(KeyHandler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler)) {}

void InputKeyFilter::watch(QLineEdit& field) {
    field.installEventFilter(this);
}

bool InputKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const std::optional<char> typed = typedCharacter(*static_cast<QKeyEvent*>(event));
    if (!typed)
        return false;
    char key = *typed;
    m_handler(key);
    // A key the handler keeps is typed by the field itself, with its own editing keys.
    if (key == *typed)
        return false;
    if (key != kRejectedKey)
        static_cast<QLineEdit*>(watched)->insert(QString(QChar(static_cast<unsigned char>(key))));
    return true;
}
