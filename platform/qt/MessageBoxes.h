#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every message box of the program goes through here, so that tests can answer the boxes
// instead of a person. One icon per kind of message (an error, a piece of information, a
// question) and one caption, the application's title, on every box.
namespace MessageBoxes {

struct Box {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton; ///< none: the box chooses
};

/// The application's error report, the one way a window shows an error: the message with a
/// full stop after a final letter, the stop icon and one OK button. Returns when it is closed.
void showError(QWidget* parent, const QString& message);
/// A piece of information, with one OK button.
void inform(QWidget* parent, const QString& text);
/// A question answered by "Oui" or "Non", "Non" for Enter: true for "Oui".
bool ask(QWidget* parent, const QString& question);

/// While set, each box is handed to the answerer instead of being shown, and its answer is
/// returned; an empty function shows the boxes again.
using Answerer = std::function<QMessageBox::StandardButton(const Box& box)>;
void setAnswerer(Answerer answerer);

} // namespace MessageBoxes
