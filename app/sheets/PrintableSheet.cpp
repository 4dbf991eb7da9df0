#include "PrintableSheet.h"

#include "Version.h"
#include "app/seams/FileDialogs.h"
#include "app/seams/PrintDialogs.h"
#include "platform/qt/MessageBoxes.h"
#include "platform/qt/WholeFile.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
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
            writer.setCreator(QString::fromUtf8(vimora::kApplicationTitle));
            render(writer);
            return true;
        });
    if (failure && error != nullptr)
        *error = failure->message(path);
    return !failure;
}

QString PrintableSheet::madeOn(const QDateTime& when) {
    const QLocale french(QLocale::French, QLocale::France);
    return QStringLiteral("Le %1 à %2")
        .arg(french.toString(when.date(), QStringLiteral("d MMMM yyyy")),
             french.toString(when.time(), QStringLiteral("HH:mm")));
}

void printWithDialog(QWidget* parent, const PrintableSheet& sheet) {
    const QString dialogTitle = QStringLiteral("Imprimer la fiche");
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        MessageBoxes::inform(parent,
                             QStringLiteral("Aucune imprimante n'est installée sur cet ordinateur : la "
                                            "fenêtre d'impression ne pourra qu'enregistrer la fiche "
                                            "dans un fichier PDF."));
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

void savePdfWithDialog(QWidget* parent, const PrintableSheet& sheet) {
    const QString path = FileDialogs::askSaveFileName(parent, {QStringLiteral("Enregistrer la fiche en PDF"),
                                                               sheet.defaultPdfPath(),
                                                               QStringLiteral("Documents PDF (*.pdf)")});
    if (path.isEmpty())
        return;
    QString error;
    if (!sheet.writePdf(path, &error)) {
        MessageBoxes::showError(parent, error);
        return;
    }
    MessageBoxes::inform(
        parent,
        QStringLiteral("La fiche a été enregistrée dans « %1 ».").arg(QDir::toNativeSeparators(path)));
}
