#include "MessageBoxes.h"

#include <utility>

namespace MessageBoxes {

namespace {
Answerer& answerer() {
    static Answerer current;
    return current;
}
} // namespace

QMessageBox::StandardButton show(QWidget* parent, const Box& box) {
    if (answerer())
        return answerer()(box);
    QMessageBox shown(box.icon, box.title, box.text, box.buttons, parent);
    shown.setWindowModality(Qt::ApplicationModal);
    if (box.defaultButton != QMessageBox::NoButton)
        shown.setDefaultButton(box.defaultButton);
    return static_cast<QMessageBox::StandardButton>(shown.exec());
}

void setAnswerer(Answerer newAnswerer) {
    answerer() = std::move(newAnswerer);
}

} // namespace MessageBoxes
