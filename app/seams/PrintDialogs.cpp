#include "PrintDialogs.h"

#include <QPrintDialog>
#include <QPrinter>

#include <utility>

namespace PrintDialogs {

namespace {
Answerer& answerer() {
    static Answerer current;
    return current;
}
} // namespace

bool ask(QWidget* parent, QPrinter& printer, const QString& title) {
    if (answerer())
        return answerer()(printer, title);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

void setAnswerer(Answerer newAnswerer) {
    answerer() = std::move(newAnswerer);
}

} // namespace PrintDialogs
