#pragma once

#include <QString>

class QWidget;

// The application's error report: the one modal box that shows any error escaping a command.
namespace ErrorReport {

inline constexpr const char* kApplicationTitle = "Vimora XP 1.0";

/// Shows the message with the full-stop rule, the application title as caption, the stop icon
/// and one OK button (a message box, see MessageBoxes); returns when the user has closed it.
void show(QWidget* parent, const QString& message);

} // namespace ErrorReport
