#pragma once

#include <QString>

class QDateTime;
class QPagedPaintDevice;
class QWidget;

// A sheet of the program on A4 portrait paper: the one way a sheet goes to a printer, through the
// print dialog, and to a PDF file, through the save dialog, whole or not at all. Each sheet gives its title
// and draws its pages.
class PrintableSheet {
public:
    /// A4 portrait, in points.
    static constexpr double kPageWidth = 595.28;
    static constexpr double kPageHeight = 841.89;

    virtual ~PrintableSheet() = default;

    /// The document's title: the PDF's title and the printer's document name.
    virtual QString title() const = 0;
    /// Prints every page on a printer or PDF writer set up for A4 portrait without margins, its
    /// origin at the paper's corner.
    virtual void render(QPagedPaintDevice& device) const = 0;
    /// The name the save dialog proposes, in the documents folder.
    virtual QString defaultPdfPath() const = 0;

    /// Writes the sheet as a PDF, whole or not at all (platform::writeWholeFile). On failure
    /// `error` says why, in French.
    bool writePdf(const QString& path, QString* error) const;

    /// When the sheet was made, as its head says it: "Le 4 mars 2026 à 10:20".
    static QString madeOn(const QDateTime& when);

protected:
    PrintableSheet() = default;
    PrintableSheet(const PrintableSheet&) = default;
    PrintableSheet(PrintableSheet&&) = default;
    PrintableSheet& operator=(const PrintableSheet&) = default;
    PrintableSheet& operator=(PrintableSheet&&) = default;
};

/// "Imprimer...": the print dialog (PrintDialogs), after a note when no printer is installed, then
/// the sheet on the chosen printer.
void printWithDialog(QWidget* parent, const PrintableSheet& sheet);

/// "Enregistrer en PDF...": the save dialog (FileDialogs), then the sheet written there, and a box
/// that says where, or why it could not be.
void savePdfWithDialog(QWidget* parent, const PrintableSheet& sheet);
