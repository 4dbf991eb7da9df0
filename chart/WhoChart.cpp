#include "WhoChart.h"

#include "ChartColours.h"
#include "Wording.h"
#include "engine/WhoReference.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vimora::chart {

namespace {

const QColor kGridColour(205, 205, 205);
const QColor kMedianColour(0, 128, 64);

constexpr int kTitleTop = 10;
constexpr int kTitleFont = 15;
constexpr int kTickFont = 12;
constexpr int kYearLabelWidth = 30;
constexpr int kAxisTitleFont = 13;
constexpr int kAxisTitleHeight = 18;
constexpr int kIndexTitleX = 18;
constexpr int kIndexTitleWidth = 240;
constexpr int kIndexStep = 2;
constexpr int kCurveFont = 12;
constexpr double kCurveLabelGap = 5;
constexpr double kCurveLabelHeight = 15;
constexpr int kLabelFont = 13;
constexpr int kLabelHeight = 20;
constexpr int kLabelPadding = 12;
constexpr int kLabelClearance = 3;
constexpr int kInsetFromFrame = 2;
/// Under five years the standard changes by the day: a point a week keeps its curve smooth.
constexpr int kDayStep = 7;

double yFor(double index) {
    return WhoChart::kBottom - (index - WhoChart::kLowestIndex) * WhoChart::kPixelsPerIndexUnit;
}

QRectF plotArea() {
    return {QPointF(WhoChart::kLeft, WhoChart::kTop), QPointF(WhoChart::kRight, WhoChart::kBottom)};
}

// The ages at which the curves are computed, in days: weekly over the daily standard, then each
// month of the reference up to 19 years.
std::vector<double> curveDays() {
    std::vector<double> days;
    const int lastDay = static_cast<int>(kWhoStandardEnd);
    for (int day = 0; day < lastDay; day += kDayStep)
        days.push_back(day);
    days.push_back(lastDay);
    for (int month = static_cast<int>(kWhoStandardEnd / kDaysPerMonth); month <= 12 * WhoChart::kYears;
         ++month)
        days.push_back(month * kDaysPerMonth);
    return days;
}

QColor curveColour(int z) {
    switch (std::abs(z)) {
    case 0:
        return kMedianColour;
    case 1:
        return kLowerColour;
    case 2:
        return kUpperColour;
    default:
        return kObesityColour;
    }
}

QString curveName(int z) {
    return z == 0 ? QStringLiteral("médiane") : QStringLiteral("%1%2").arg(z > 0 ? "+" : "").arg(z);
}

} // namespace

WhoChart::WhoChart(Sex sex, std::optional<Patient> patient)
    : m_sex(sex)
    , m_patient(std::move(patient)) {
    const std::vector<double> days = curveDays();
    for (std::size_t i = 0; i < kCurveZ.size(); ++i) {
        m_curves[i].reserve(days.size());
        for (const double day : days) {
            if (const std::optional<double> index = whoBmiAtZ(sex, day, kCurveZ[i]))
                m_curves[i].push_back(position(day / kDaysPerYear, *index));
        }
    }
}

std::vector<QPointF> WhoChart::curve(int z) const {
    const auto* const found = std::find(kCurveZ.begin(), kCurveZ.end(), z);
    return found == kCurveZ.end() ? std::vector<QPointF>() : m_curves[std::size_t(found - kCurveZ.begin())];
}

QPointF WhoChart::position(double age, double index) {
    return {kLeft + age * kPixelsPerYear, yFor(index)};
}

PointMark WhoChart::markAt(double age, double index) {
    return markOnIndexScale(position(age, index), index, kLowestIndex, kHighestIndex, kTop, kBottom);
}

QString WhoChart::description() const {
    QString text = QStringLiteral("Courbes de l'OMS de l'IMC selon l'âge des %1 de la naissance à 19 ans : "
                                  "médiane et z-scores de -3 à +3.")
                       .arg(childrenWord(m_sex));
    if (!m_patient)
        return text;
    const bool male = m_sex == Sex::Male;
    text += (male ? QStringLiteral(" Le patient, un %1 de %2, a un IMC de %3")
                  : QStringLiteral(" La patiente, une %1 de %2, a un IMC de %3"))
                .arg(childWord(m_sex), ageInWords(m_patient->age), m_patient->indexText);
    if (const std::optional<WhoScore> score =
            whoBmiForAge(m_sex, m_patient->age * kDaysPerYear, m_patient->index))
        text += QStringLiteral(" : z-score %1, percentile %2")
                    .arg(QString::fromStdString(whoZText(score->z)),
                         QString::fromStdString(whoPercentileDisplay(score->percentile)));
    return text + QLatin1Char('.');
}

QString WhoChart::labelText() const {
    return QStringLiteral("IMC %1 %2").arg(m_patient->indexText, atAge(m_patient->age));
}

std::vector<QRectF> WhoChart::curveAreas(double clearance) const {
    const double reach = kPenWidth / 2.0 + clearance;
    std::vector<QRectF> areas;
    for (const std::vector<QPointF>& points : m_curves) {
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            areas.push_back(
                QRectF(points[i], points[i + 1]).normalized().adjusted(-reach, -reach, reach, reach));
    }
    return areas;
}

void WhoChart::paint(QPainter& painter) const {
    painter.save();
    beginChart(painter, size(),
               QStringLiteral("IMC des %1 selon les courbes de l'OMS, de la naissance à 19 ans")
                   .arg(childrenWord(m_sex)),
               kTitleTop, kTitleFont);
    drawAxes(painter);
    drawCurves(painter);
    if (m_patient)
        drawPatient(painter);
    painter.restore();
}

void WhoChart::drawAxes(QPainter& painter) {
    painter.setFont(chartFont(kTickFont));
    painter.setPen(QPen(kGridColour, 1));
    for (int year = 0; year <= kYears; ++year)
        painter.drawLine(QPointF(position(year, kLowestIndex).x(), kTop),
                         QPointF(position(year, kLowestIndex).x(), kBottom));
    for (int index = static_cast<int>(kLowestIndex); index <= kHighestIndex; index += kIndexStep)
        painter.drawLine(QPointF(kLeft, yFor(index)), QPointF(kRight, yFor(index)));

    painter.setPen(kInk);
    painter.drawRect(kLeft, kTop, kRight - kLeft, kBottom - kTop);
    for (int year = 0; year <= kYears; ++year) {
        const double x = position(year, kLowestIndex).x();
        painter.drawLine(QPointF(x, kBottom), QPointF(x, kBottom + kTickLength));
        painter.drawText(
            QRectF(x - kYearLabelWidth / 2.0, kBottom + kTickLength + 2, kYearLabelWidth, kTickLabelHeight),
            Qt::AlignCenter, QString::number(year));
    }
    drawIndexAxis(painter, kLeft, static_cast<int>(kLowestIndex), static_cast<int>(kHighestIndex), kIndexStep,
                  yFor);

    painter.setFont(chartFont(kAxisTitleFont));
    painter.drawText(QRect(kLeft, kBottom + 26, kRight - kLeft, kAxisTitleHeight), Qt::AlignCenter,
                     QStringLiteral("Âge (années)"));
    painter.drawText(QRect(0, kBottom + 54, kWidth, kAxisTitleHeight), Qt::AlignCenter,
                     QStringLiteral("Médiane et z-scores de -3 à +3 : standard OMS 2006 avant 5 ans, "
                                    "référence OMS 2007 de 5 à 19 ans"));
    painter.save();
    painter.translate(kIndexTitleX, (kTop + kBottom) / 2.0);
    painter.rotate(-90);
    painter.drawText(QRect(-kIndexTitleWidth / 2, -kAxisTitleHeight / 2, kIndexTitleWidth, kAxisTitleHeight),
                     Qt::AlignCenter, QStringLiteral("IMC (kg/m²)"));
    painter.restore();
}

void WhoChart::drawCurves(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(plotArea());
    for (std::size_t i = 0; i < kCurveZ.size(); ++i) {
        const int z = kCurveZ[i];
        // The median a little bolder: the reading starts from it.
        painter.setPen(QPen(curveColour(z), z == 0 ? kPenWidth + 1 : kPenWidth, Qt::SolidLine, Qt::RoundCap,
                            Qt::RoundJoin));
        painter.drawPolyline(m_curves[i].data(), static_cast<int>(m_curves[i].size()));
    }
    painter.restore();
    // Each name beside the end of its curve; from the top down, pushed below the one above it
    // where two curves end close together.
    painter.setFont(chartFont(kCurveFont, true));
    double freeFrom = kTop - kCurveLabelHeight;
    for (std::size_t i = kCurveZ.size(); i-- > 0;) {
        const double end = m_curves[i].back().y();
        const double top = std::max(end - kCurveLabelHeight / 2, freeFrom);
        painter.setPen(curveColour(kCurveZ[i]));
        painter.drawText(
            QRectF(kRight + kCurveLabelGap, top, kWidth - kRight - kCurveLabelGap, kCurveLabelHeight),
            Qt::AlignLeft | Qt::AlignVCenter, curveName(kCurveZ[i]));
        freeFrom = top + kCurveLabelHeight;
    }
}

void WhoChart::drawPatient(QPainter& painter) const {
    const PointMark point = markAt(m_patient->age, m_patient->index);
    const QString text = labelText();
    const QFontMetricsF metrics(chartFont(kLabelFont, true));
    const QSizeF size(metrics.horizontalAdvance(text) + kLabelPadding, kLabelHeight);
    std::vector<QRectF> obstacles = curveAreas(kLabelClearance);
    obstacles.push_back(pointArea(point).adjusted(-1, -1, 1, 1));
    const QRectF area =
        plotArea().adjusted(kInsetFromFrame, kInsetFromFrame, -kInsetFromFrame, -kInsetFromFrame);
    const std::optional<LabelPlace> label = placeLabel(point.centre, size, area, obstacles, {});
    painter.setFont(chartFont(kLabelFont, true));
    const QRectF frame(QPointF(kLeft, kTop + kInsetFromFrame), QPointF(kRight, kBottom - kInsetFromFrame));
    drawLabelledPoint(painter, point, text, size, label, frame, kLabelPadding);
}

} // namespace vimora::chart
