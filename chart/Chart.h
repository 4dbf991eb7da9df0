#pragma once

#include "ChartColours.h"

#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTransform>

#include <optional>
#include <vector>

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

/// Where the patient's point is drawn: on the chart, or at its edge when the index lies beyond
/// the scale, with an arrow that points past the edge.
struct PointMark {
    QPointF centre;
    enum Edge { Inside, Above, Below, Left, Right } edge = Inside;
};

/// How far inside the edge of its scale a point beyond it stands: its arrow reaches the edge.
inline constexpr double kEdgeInset = 17;

/// The mark of an index drawn at `exact` on a vertical scale from `lowest` to `highest`, whose top
/// and bottom lie at `top` and `bottom`: beyond it, the point stands at the edge.
PointMark markOnIndexScale(QPointF exact, double index, double lowest, double highest, int top, int bottom);

/// For a point at an edge, the arrow that points outward from it, its tip on the edge.
void drawEdgeArrow(QPainter& painter, const PointMark& mark);

/// Draws the patient's point: a black disc ringed in white, the only pure black of a chart; at
/// an edge, an arrow points outward from it.
void drawPatientPoint(QPainter& painter, const PointMark& mark);

/// The room the point and its arrow take.
QRectF pointArea(const PointMark& mark);

/// A caption on a pale background, so that it stays readable over curves and zones.
void drawCaption(QPainter& painter, const QRectF& box, const QString& text);

/// A caption placed beside a point, and the line that leads to it when it stands apart.
struct LabelPlace {
    QRectF box;
    std::optional<QLineF> leader;
};

/// The nearest place beside the point, trying its four sides, then the corners, then farther
/// out, where a label of this size stays inside the area and covers no obstacle, and where its
/// leader line crosses no text; none when there is no such place.
std::optional<LabelPlace> placeLabel(const QPointF& point, const QSizeF& size, const QRectF& area,
                                     const std::vector<QRectF>& obstacles, const std::vector<QRectF>& texts);

/// Draws the patient's point and its caption of this size: in its place with its leader line, or,
/// with no free place, `gap` beside the point on the side where it stays left of the frame's right
/// edge, and within the frame's height.
void drawLabelledPoint(QPainter& painter, const PointMark& point, const QString& text, QSizeF size,
                       const std::optional<LabelPlace>& label, const QRectF& frame, double gap);

class Chart {
public:
    virtual ~Chart() = default;

    /// The drawing's size in its own coordinates.
    virtual QSize size() const = 0;
    virtual void paint(QPainter& painter) const = 0;
    /// What the chart shows, in words, for those who cannot see it.
    virtual QString description() const = 0;
};

/// The ticks under and beside a chart's plot: their length and the height of their labels.
inline constexpr int kTickLength = 4;
inline constexpr int kTickLabelHeight = 16;

/// Opens a chart's drawing: a white page of its size, the ink, and the title in bold, centred on
/// a line 24 units high from `titleTop`.
void beginChart(QPainter& painter, QSize size, const QString& title, int titleTop, int titleFontSize);

/// The index scale left of a plot that begins at `left`: a tick and its label at every `step`
/// from `lowest` to `highest`, each at the height `yFor` gives, in the painter's pen and font.
void drawIndexAxis(QPainter& painter, double left, int lowest, int highest, int step, double (*yFor)(double));

/// The transform that scales a chart to fit the target, keeping its proportions, centred.
QTransform fitTransform(QSize chartSize, const QRectF& target);

/// Paints the chart scaled into the target rectangle.
void paintFitted(QPainter& painter, const Chart& chart, const QRectF& target);

/// An age in years and months: "7 ans 3 mois", "1 an", "6 mois", "moins d'un mois",
/// "naissance".
QString ageInWords(double age);

/// The age after "à": "à 7 ans 3 mois", "à la naissance".
QString atAge(double age);

/// A number as the window writes numbers: 18,5; 30; 1E200.
QString limitText(double value);

/// The charts' and the sheet's font, drawn without ligatures so that a PDF's text reads and
/// searches as it was written ("ffi", not one glyph).
QFont chartFont(int pixelSize, bool bold = false);

} // namespace vimora::chart
