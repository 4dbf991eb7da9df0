#pragma once

#include "Version.h"

#include <QString>

#include <functional>

class QWidget;

// The application's error report: the one modal box that shows any error escaping a command.
namespace ErrorReport {

inline constexpr const char* kApplicationTitle = "Vimora XP " VIMORA_VERSION_SHORT;

/// Shows the message with the full-stop rule, the application title as caption, the stop icon
/// and one OK button; returns when the user has closed it.
void show(QWidget* parent, const QString& message);

/// Tests replace the modal box with their own presenter (caption, text); an empty function
/// restores the box.
using Presenter = std::function<void(const QString& caption, const QString& text)>;
void setPresenter(Presenter presenter);

} // namespace ErrorReport
