#pragma once

#include <QString>

#include <functional>

class QPrinter;
class QWidget;

// Every print dialog of the program goes through here, so that tests can answer it instead of
// a person.
namespace PrintDialogs {

/// Shows the system print dialog for the printer under the title: true when the user chose to
/// print, with the printer set up as chosen.
bool ask(QWidget* parent, QPrinter& printer, const QString& title);

/// While set, the answerer gets the printer and the title instead of the dialog, and its answer
/// is the user's; it may set the printer up (its output file, say). An empty function shows the
/// dialog again.
using Answerer = std::function<bool(QPrinter& printer, const QString& title)>;
void setAnswerer(Answerer answerer);

} // namespace PrintDialogs
