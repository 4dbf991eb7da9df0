#include "MessageBoxes.h"

#include "Version.h"
#include "engine/EngineError.h"

#include <utility>

namespace MessageBoxes {

namespace {

Answerer& answerer() {
    static Answerer current;
    return current;
}

// Modal for the whole application.
QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) {
    const Box box{icon, QString::fromUtf8(vimora::kApplicationTitle), text, buttons, defaultButton};
    if (answerer())
        return answerer()(box);
    QMessageBox shown(box.icon, box.title, box.text, box.buttons, parent);
    shown.setWindowModality(Qt::ApplicationModal);
    if (box.defaultButton != QMessageBox::NoButton)
        shown.setDefaultButton(box.defaultButton);
    return static_cast<QMessageBox::StandardButton>(shown.exec());
}

} // namespace

void showError(QWidget* parent, const QString& message) {
    show(parent, QMessageBox::Critical,
         QString::fromStdString(vimora::withFinalFullStop(message.toStdString())), QMessageBox::Ok);
}

void inform(QWidget* parent, const QString& text) {
    show(parent, QMessageBox::Information, text, QMessageBox::Ok);
}

bool ask(QWidget* parent, const QString& question) {
    return show(parent, QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::No) == QMessageBox::Yes;
}

void setAnswerer(Answerer newAnswerer) {
    answerer() = std::move(newAnswerer);
}

} // namespace MessageBoxes
