#pragma once

#include "PrintableSheet.h"
#include "SheetPages.h"
#include "chart/WhoChart.h"
#include "engine/Assessment.h"
#include "engine/WhoReference.h"

#include <QDateTime>
#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

class QPainter;

/// A child's WHO z-score and percentile, at the age typed (in years, × 365,25 days); none for an
/// adult.
std::optional<vimora::WhoScore> whoScoreOf(const vimora::Calculation& calculation);

/// A French warning when the figures cannot describe a human body (a weight of -50 kg, an index
/// of 2000); empty when they can. The window computes any figures as always; the chart dialog
/// and the sheet say so.
QString implausibilityWarning(const vimora::Calculation& calculation);

/// The patient in one line: "Masculin, 10 ans, 28,8 kg, 1,2 m".
QString patientSummary(const vimora::Calculation& calculation);

// The patient sheet: one A4 portrait page in French with the patient's figures as the window
// shows them, the band in its colour, the advice, the objective, the chart and which thresholds
// were applied. The same drawing goes to the printer and to the PDF.
class PatientSheet : public PrintableSheet {
public:
    PatientSheet(vimora::Calculation calculation, QString name, QString remark,
                 QDateTime when = QDateTime::currentDateTime(),
                 vimora::chart::Curves curves = vimora::chart::Curves::Reference);

    /// Paints the page in the painter's coordinates, scaled to a page of the given size.
    void paint(QPainter& painter, const QSizeF& page) const;
    /// "Fiche de corpulence": the page's title, the PDF's and the print job's.
    QString title() const override;
    void render(QPagedPaintDevice& device) const override;

    /// Where the chart stands on the page, in points: under the texts, as wide as the page allows.
    QRectF chartArea() const;
    /// The PDF's default name in the documents folder, dated.
    QString defaultPdfPath() const override;

private:
    /// The page from the top: the head, the texts, then the chart in the room left above the footer.
    std::vector<SheetBlock> blocks() const;
    /// Where the chart of that size stands in the room its block takes.
    static QRectF chartPlace(const QRectF& room, const QSizeF& size);

    vimora::Calculation m_calculation;
    QString m_name;
    QString m_remark;
    QDateTime m_when;
    vimora::chart::Curves m_curves;
};
