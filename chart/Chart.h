#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTransform>

class QFont;
class QPainter;

// The corpulence charts. Each draws in its own fixed coordinates (one unit is one pixel of the
// help file's pictures); the dialog, the printer and the PDF scale that drawing to their page.
namespace vimora::chart {

/// The patient as the chart marks them: the exact age and index, and the index and the band as
/// the window writes them.
struct Patient {
    double age = 0;
    double index = 0;
    QString indexText;
    QString band;
};

/// Draws the patient's point: a black disc ringed in white, the only pure black of a chart.
void drawPatientPoint(QPainter& painter, const QPointF& centre);

/// A caption on a pale background, so that it stays readable over curves and zones.
void drawCaption(QPainter& painter, const QRectF& box, const QString& text);

/// The colour of frames and texts: dark, never the pure black of the patient's point.
extern const QColor kInk;

class Chart {
public:
    virtual ~Chart() = default;

    /// The drawing's size in its own coordinates.
    virtual QSize size() const = 0;
    virtual void paint(QPainter& painter) const = 0;
    /// Where the patient's point is drawn, in the chart's coordinates.
    virtual QPointF patientPosition() const = 0;
    /// What the chart shows, in words, for those who cannot see it.
    virtual QString description() const = 0;
};

/// The transform that scales a chart to fit the target, keeping its proportions, centred.
QTransform fitTransform(QSize chartSize, const QRectF& target);

/// Paints the chart scaled into the target rectangle.
void paintFitted(QPainter& painter, const Chart& chart, const QRectF& target);

/// An age in years and months: "7 ans 3 mois", "1 an", "6 mois", "naissance".
QString ageInWords(double age);

/// A threshold or limit as the window writes numbers (18,5; 30).
QString limitText(double value);

QFont chartFont(int pixelSize, bool bold = false);

} // namespace vimora::chart
