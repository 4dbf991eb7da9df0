#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every file dialog of the program goes through here, so that tests can name the file instead of
// a person.
namespace FileDialogs {

struct SaveRequest {
    QString title;
    QString proposedPath; ///< the folder and name the dialog opens on
    QString filter;       ///< the file types offered, as in QFileDialog
};

/// Asks where to save: the path chosen, or an empty string when the user cancels. The dialog opens
/// on the proposed name in the folder last chosen in this run, else in the proposed folder, else in
/// the home folder, whichever exists first. A file that exists already is replaced only once the
/// user has said yes in a message box (MessageBoxes); on no, the dialog is shown again.
QString askSaveFileName(QWidget* parent, const SaveRequest& proposed);

/// While set, each request is handed to the answerer instead of showing the dialog, and its
/// path is taken as the user's choice; an empty function shows the dialog again.
using Answerer = std::function<QString(const SaveRequest& request)>;
void setAnswerer(Answerer answerer);

} // namespace FileDialogs
