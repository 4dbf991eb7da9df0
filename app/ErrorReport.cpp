#include "ErrorReport.h"

#include "EngineError.h"

#include <QMessageBox>

namespace ErrorReport {

namespace {
Presenter& presenter() {
    static Presenter current;
    return current;
}
} // namespace

void show(QWidget* parent, const QString& message) {
    const QString text = QString::fromStdString(vimora::withFinalFullStop(message.toStdString()));
    const QString caption = QString::fromUtf8(kApplicationTitle);
    if (presenter()) {
        presenter()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void setPresenter(Presenter newPresenter) {
    presenter() = std::move(newPresenter);
}

} // namespace ErrorReport
