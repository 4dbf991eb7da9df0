#include "AdultScale.h"

#include "ChartColours.h"
#include "Wording.h"
#include "engine/Bands.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace vimora::chart {

namespace {

constexpr int kTitleTop = 8;
constexpr int kTitleFont = 16;
constexpr int kCaptionTop = 44;
constexpr int kCaptionHeight = 24;
constexpr int kCaptionFont = 14;
constexpr int kCaptionPadding = 14;
constexpr int kMarginX = 2;
constexpr int kBandFont = 12;
constexpr int kBandTextInset = 3;
constexpr int kLimitFont = 12;
constexpr int kLimitTick = 5;
constexpr int kLimitRowHeight = 16;
constexpr int kLimitGap = 4; ///< least room between two limits on one row
constexpr int kLimitsTop = AdultScale::kBarTop + AdultScale::kBarHeight + kLimitTick + 2;
constexpr int kBracketY = kLimitsTop + 2 * kLimitRowHeight + 12;
constexpr int kBracketTick = 5;
constexpr int kGroupFont = 13;
constexpr int kGroupHeight = 18;
constexpr int kAxisFont = 13;
constexpr int kAxisTop = kBracketY + kGroupHeight + 12;
constexpr int kAxisHeight = 18;
constexpr int kRangeFont = 14;
constexpr int kRangeTop = kAxisTop + kAxisHeight + 10;
constexpr int kRangeHeight = 20;

QString text(std::string_view band) {
    return QString::fromUtf8(band.data(), static_cast<qsizetype>(band.size()));
}

// "Obésité grade II" is named "Obésité" under its group and "II" in a narrow segment.
QString groupOf(const QString& band) {
    const qsizetype grade = band.indexOf(QStringLiteral(" grade "));
    return grade < 0 ? QString() : band.left(grade);
}

QString gradeOf(const QString& band) {
    return band.mid(band.lastIndexOf(QLatin1Char(' ')) + 1);
}

struct Segment {
    double from;
    double to;
    QString band;
    QColor colour;
    bool startsAtItsLimit; ///< not cut by the edge of the scale
};

std::vector<Segment> segments() {
    std::vector<Segment> found;
    for (const BandSpan& span : bandSpans(kAdultAge + 1, kAdultThresholds)) {
        const double from = std::max(span.from.value_or(AdultScale::kLowestIndex), AdultScale::kLowestIndex);
        const double to = std::min(span.to.value_or(AdultScale::kHighestIndex), AdultScale::kHighestIndex);
        if (from < to)
            found.push_back({from, to, text(span.band), bandColour(span.background), span.from == from});
    }
    return found;
}

// A text centred on x, kept inside the drawing.
QRectF centredOn(double x, double top, double width, double height) {
    const double left = std::clamp<double>(x - width / 2, kMarginX, AdultScale::kWidth - kMarginX - width);
    return {left, top, width, height};
}

} // namespace

AdultScale::AdultScale(Sex sex, Patient patient, QString normalRange)
    : m_sex(sex)
    , m_patient(std::move(patient))
    , m_normalRange(std::move(normalRange)) {}

double AdultScale::xForIndex(double index) {
    return kBarLeft + (index - kLowestIndex) * kBarWidth / (kHighestIndex - kLowestIndex);
}

PointMark AdultScale::mark() const {
    if (m_patient.index > kHighestIndex)
        return {{kBarLeft + kBarWidth - kEdgeInset, kPointY}, PointMark::Right};
    if (m_patient.index < kLowestIndex)
        return {{kBarLeft + kEdgeInset, kPointY}, PointMark::Left};
    return {{xForIndex(m_patient.index), kPointY}, PointMark::Inside};
}

QString AdultScale::description() const {
    QString band = m_patient.band;
    if (band.endsWith(QLatin1Char('.')))
        band.chop(1);
    QString text =
        (m_sex == Sex::Male ? QStringLiteral("Échelle des classes de corpulence de l'adulte selon "
                                             "l'IMC. Le patient, un homme, a un IMC de %1 : « %2 ».")
                            : QStringLiteral("Échelle des classes de corpulence de l'adulte selon "
                                             "l'IMC. La patiente, une femme, a un IMC de %1 : « %2 »."))
            .arg(m_patient.indexText, band);
    if (mark().edge != PointMark::Inside)
        text += QStringLiteral(" Cet IMC est hors de l'échelle (%1 à %2) : son point est placé au bord, une "
                               "flèche vers l'extérieur.")
                    .arg(limitText(kLowestIndex), limitText(kHighestIndex));
    return text + QLatin1Char(' ') + m_normalRange;
}

void AdultScale::paint(QPainter& painter) const {
    painter.save();
    beginChart(painter, size(), QStringLiteral("Classes de corpulence de l'adulte"), kTitleTop, kTitleFont);

    const std::vector<Segment> bands = segments();
    auto sameGroup = [&bands](std::size_t a, std::size_t b) {
        return b < bands.size() && !groupOf(bands[a].band).isEmpty() &&
               groupOf(bands[a].band) == groupOf(bands[b].band);
    };

    // Each band named in the upper part of its stretch, a graded one by its grade alone, its kind
    // named under the scale; the patient's point stands in the lower part.
    const QRectF bar(kBarLeft, kBarTop, kBarWidth, kBarHeight);
    painter.setFont(chartFont(kBandFont, true));
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const Segment& segment = bands[i];
        const QRectF place(xForIndex(segment.from), bar.top(),
                           xForIndex(segment.to) - xForIndex(segment.from), bar.height());
        painter.fillRect(place, segment.colour);
        painter.setPen(Qt::white);
        const bool graded = (i > 0 && sameGroup(i, i - 1)) || sameGroup(i, i + 1);
        painter.drawText(place.adjusted(1, kBandTextInset, -1, -kBandTextInset),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         graded ? gradeOf(segment.band) : segment.band);
        if (i > 0)
            painter.drawLine(place.topLeft(), place.bottomLeft());
    }
    painter.setPen(kInk);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar);

    // Under the bar, the limits between the bands; one too close to the previous goes a row
    // lower.
    painter.setFont(chartFont(kLimitFont));
    const QFontMetricsF limitMetrics(painter.font());
    double firstRowEnd = -1;
    for (const Segment& segment : bands) {
        if (!segment.startsAtItsLimit)
            continue;
        const double x = xForIndex(segment.from);
        const QString limit = limitText(segment.from);
        const double width = limitMetrics.horizontalAdvance(limit) + 2;
        const bool lower = x - width / 2 < firstRowEnd + kLimitGap;
        const double top = kLimitsTop + (lower ? kLimitRowHeight : 0);
        painter.drawLine(QPointF(x, bar.bottom()), QPointF(x, top - 1));
        painter.drawText(QRectF(x - width / 2, top, width, kLimitRowHeight), Qt::AlignCenter, limit);
        if (!lower)
            firstRowEnd = x + width / 2;
    }

    // Under the limits, the kind shared by the graded bands, on a bracket.
    painter.setFont(chartFont(kGroupFont, true));
    const QFontMetricsF groupMetrics(painter.font());
    for (std::size_t first = 0; first < bands.size();) {
        std::size_t last = first;
        while (sameGroup(first, last + 1))
            ++last;
        if (last > first) {
            const double left = xForIndex(bands[first].from) + 2;
            const double right = xForIndex(bands[last].to) - 2;
            painter.setPen(QPen(bands[first].colour, 2));
            painter.drawPolyline(QPolygonF{QPointF(left, kBracketY - kBracketTick), QPointF(left, kBracketY),
                                           QPointF(right, kBracketY),
                                           QPointF(right, kBracketY - kBracketTick)});
            const QString group = groupOf(bands[first].band);
            painter.drawText(centredOn((left + right) / 2, kBracketY + 2,
                                       groupMetrics.horizontalAdvance(group) + 4, kGroupHeight),
                             Qt::AlignCenter, group);
        }
        first = last + 1;
    }

    painter.setPen(kInk);
    painter.setFont(chartFont(kAxisFont));
    painter.drawText(QRectF(kBarLeft, kAxisTop, kBarWidth, kAxisHeight), Qt::AlignCenter,
                     QStringLiteral("IMC (kg/m²)"));
    painter.setFont(chartFont(kRangeFont));
    painter.drawText(QRectF(0, kRangeTop, kWidth, kRangeHeight), Qt::AlignCenter, m_normalRange);

    // Above the bar, the patient's index, led to its point by a line that crosses no text.
    const PointMark point = mark();
    painter.setFont(chartFont(kCaptionFont, true));
    const QString caption = QStringLiteral("IMC %1").arg(m_patient.indexText);
    const double width = painter.fontMetrics().horizontalAdvance(caption) + kCaptionPadding;
    drawCaption(painter, centredOn(point.centre.x(), kCaptionTop, width, kCaptionHeight), caption);
    painter.setPen(QPen(kInk, 1));
    painter.drawLine(QPointF(point.centre.x(), kCaptionTop + kCaptionHeight),
                     QPointF(point.centre.x(), kBarTop));
    drawPatientPoint(painter, point);
    painter.restore();
}

} // namespace vimora::chart
