#include "PrintableSheet.h"

#include "ErrorReport.h"
#include "MessageBoxes.h"
#include "PrintDialogs.h"
#include "WholeFile.h"

#include <QDir>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include <optional>

namespace {

QPageLayout a4WithoutMargins() {
    return {QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()};
}

QString failureReason(const vimora::platform::WriteFailure& failure) {
    switch (failure.error) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
        return QStringLiteral("le dossier n'existe pas ou n'accepte pas de nouveau fichier");
    case QFileDevice::ResourceError:
        return QStringLiteral("le disque est plein");
    default:
        return QStringLiteral("l'écriture a échoué");
    }
}

} // namespace

bool PrintableSheet::writePdf(const QString& path, QString* error) const {
    QSaveFile file(path);
    std::optional<vimora::platform::WriteFailure> failure;
    if (file.open(QIODevice::WriteOnly)) {
        {
            QPdfWriter writer(&file);
            writer.setPageLayout(a4WithoutMargins());
            writer.setResolution(300);
            writer.setTitle(title());
            writer.setCreator(QString::fromUtf8(ErrorReport::kApplicationTitle));
            render(writer);
        }
        failure = vimora::platform::commitWhole(file);
        if (!failure)
            return true;
    } else {
        failure = vimora::platform::WriteFailure{file.error(), file.errorString()};
    }
    if (error != nullptr)
        *error =
            QStringLiteral("La fiche n'a pas pu être enregistrée dans « %1 » : %2 (%3). Aucun fichier n'a "
                           "été écrit.")
                .arg(QDir::toNativeSeparators(path), failureReason(*failure), failure->reason);
    return false;
}

void printWithDialog(QWidget* parent, const PrintableSheet& sheet) {
    const QString dialogTitle = QStringLiteral("Imprimer la fiche");
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        MessageBoxes::show(parent,
                           {QMessageBox::Information, dialogTitle,
                            QStringLiteral("Aucune imprimante n'est installée sur cet ordinateur : la "
                                           "fenêtre d'impression ne pourra qu'enregistrer la fiche dans "
                                           "un fichier PDF."),
                            QMessageBox::Ok});
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(a4WithoutMargins());
    printer.setDocName(sheet.title());
    if (!PrintDialogs::ask(parent, printer, dialogTitle))
        return;
    // The sheet keeps its own margins, measured from the paper's edge.
    printer.setFullPage(true);
    sheet.render(printer);
}
