#include "AdultScale.h"

#include "Bands.h"
#include "ChartColours.h"

#include <QPainter>

#include <cmath>
#include <vector>

namespace vimora::chart {

namespace {

QString text(std::string_view band) {
    return QString::fromUtf8(band.data(), static_cast<qsizetype>(band.size()));
}

// "Obésité grade II" is named "Obésité" over its group and "II" in a narrow segment.
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

} // namespace

AdultScale::AdultScale(Patient patient, QString normalRange)
    : m_patient(std::move(patient))
    , m_normalRange(std::move(normalRange)) {
    m_lowest = std::min(kLowestIndex, std::floor(m_patient.index) - 1);
    m_highest = std::max(kHighestIndex, std::ceil(m_patient.index) + 2);
}

double AdultScale::xForIndex(double index) const {
    return kBarLeft + (index - m_lowest) * kBarWidth / (m_highest - m_lowest);
}

QPointF AdultScale::patientPosition() const {
    return {xForIndex(m_patient.index), kPointY};
}

QString AdultScale::description() const {
    return QStringLiteral("Échelle des classes de corpulence de l'adulte selon l'IMC. Le patient, adulte, "
                          "a un IMC de %1 : %2 %3")
        .arg(m_patient.indexText, m_patient.band, m_normalRange);
}

void AdultScale::paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
    painter.setPen(kInk);
    painter.setFont(chartFont(15, true));
    painter.drawText(QRect(0, 8, kWidth, 22), Qt::AlignCenter,
                     QStringLiteral("Classes de corpulence de l'adulte"));

    std::vector<Segment> segments;
    for (const BandSpan& span : bandSpans(kAdultAge + 1, kAdultThresholds)) {
        const double from = std::max(span.from.value_or(m_lowest), m_lowest);
        const double to = std::min(span.to.value_or(m_highest), m_highest);
        if (from < to)
            segments.push_back({from, to, text(span.band), bandColour(span.background), span.from == from});
    }
    auto sameGroup = [&segments](std::size_t a, std::size_t b) {
        return b < segments.size() && !groupOf(segments[a].band).isEmpty() &&
               groupOf(segments[a].band) == groupOf(segments[b].band);
    };

    // Each band named in the upper part of its stretch, a graded one by its grade alone under
    // the name of its kind; the patient's point stands in the lower part.
    const QRectF bar(kBarLeft, kBarTop, kBarWidth, kBarHeight);
    painter.setFont(chartFont(11, true));
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const Segment& segment = segments[i];
        const QRectF place(xForIndex(segment.from), bar.top(),
                           xForIndex(segment.to) - xForIndex(segment.from), bar.height());
        painter.fillRect(place, segment.colour);
        painter.setPen(Qt::white);
        const bool graded = (i > 0 && sameGroup(i, i - 1)) || sameGroup(i, i + 1);
        painter.drawText(place.adjusted(2, 3, -2, -2), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         graded ? gradeOf(segment.band) : segment.band);
        if (i > 0)
            painter.drawLine(place.topLeft(), place.bottomLeft());
    }
    painter.setPen(kInk);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar);

    // Above the bar, the name shared by the graded bands of one kind.
    painter.setFont(chartFont(12, true));
    for (std::size_t first = 0; first < segments.size();) {
        std::size_t last = first;
        while (sameGroup(first, last + 1))
            ++last;
        if (last > first) {
            const double left = xForIndex(segments[first].from);
            const double right = xForIndex(segments[last].to);
            painter.setPen(segments[first].colour);
            painter.drawLine(QPointF(left + 2, bar.top() - 6), QPointF(right - 2, bar.top() - 6));
            painter.drawText(QRectF(left - 40, bar.top() - 26, right - left + 80, 18), Qt::AlignCenter,
                             groupOf(segments[first].band));
        }
        first = last + 1;
    }

    // Under the bar, the limits between the bands.
    painter.setPen(kInk);
    painter.setFont(chartFont(12));
    for (const Segment& segment : segments) {
        if (!segment.startsAtItsLimit)
            continue;
        const double x = xForIndex(segment.from);
        painter.drawLine(QPointF(x, bar.bottom()), QPointF(x, bar.bottom() + 5));
        painter.drawText(QRectF(x - 25, bar.bottom() + 6, 50, 16), Qt::AlignCenter, limitText(segment.from));
    }
    painter.setFont(chartFont(13));
    painter.drawText(QRectF(kBarLeft, bar.bottom() + 24, kBarWidth, 18), Qt::AlignCenter,
                     QStringLiteral("IMC (kg/m²)"));
    painter.drawText(QRectF(0, bar.bottom() + 52, kWidth, 20), Qt::AlignCenter, m_normalRange);

    const QPointF point = patientPosition();
    painter.setFont(chartFont(13, true));
    const QString caption = QStringLiteral("IMC %1").arg(m_patient.indexText);
    const double width = painter.fontMetrics().horizontalAdvance(caption) + 12;
    const double left = std::clamp(point.x() - width / 2, 2.0, kWidth - width - 2);
    drawCaption(painter, QRectF(left, 36, width, 20), caption);
    painter.setPen(QPen(kInk, 1));
    painter.drawLine(QPointF(point.x(), 56), QPointF(point.x(), kBarTop));
    drawPatientPoint(painter, point);
    painter.restore();
}

} // namespace vimora::chart
