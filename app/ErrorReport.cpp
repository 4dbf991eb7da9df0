#include "ErrorReport.h"

#include "EngineError.h"
#include "MessageBoxes.h"

namespace ErrorReport {

void show(QWidget* parent, const QString& message) {
    MessageBoxes::show(parent, {QMessageBox::Critical, QString::fromUtf8(kApplicationTitle),
                                QString::fromStdString(vimora::withFinalFullStop(message.toStdString())),
                                QMessageBox::Ok});
}

} // namespace ErrorReport
