#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every message box of the program goes through here, so that tests can answer the boxes
// instead of a person.
namespace MessageBoxes {

struct Box {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton; ///< none: the box chooses
};

/// Shows the box, modal for the whole application, and returns the button that closed it.
QMessageBox::StandardButton show(QWidget* parent, const Box& box);

/// While set, each box is handed to the answerer instead of being shown, and its answer is
/// returned; an empty function shows the boxes again.
using Answerer = std::function<QMessageBox::StandardButton(const Box& box)>;
void setAnswerer(Answerer answerer);

} // namespace MessageBoxes
