#include "PrintableSheet.h"

#include "ErrorReport.h"
#include "MessageBoxes.h"
#include "PrintDialogs.h"
#include "WholeFile.h"

#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <optional>

namespace {

QPageLayout a4WithoutMargins() {
    return {QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()};
}

} // namespace

bool PrintableSheet::writePdf(const QString& path, QString* error) const {
    const std::optional<vimora::platform::WriteFailure> failure =
        vimora::platform::writeWholeFile(path, [this](QIODevice& file) {
            QPdfWriter writer(&file);
            writer.setPageLayout(a4WithoutMargins());
            writer.setResolution(300);
            writer.setTitle(title());
            writer.setCreator(QString::fromUtf8(ErrorReport::kApplicationTitle));
            render(writer);
            return true;
        });
    if (failure && error != nullptr)
        *error = failure->message(path);
    return !failure;
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
