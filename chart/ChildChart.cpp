#include "ChildChart.h"

#include "Bands.h"
#include "ChartColours.h"

#include <QPainter>

#include <array>
#include <cmath>
#include <vector>

namespace vimora::chart {

const QColor kLowerColour = bandColour(Colour::Desktop);
const QColor kUpperColour = bandColour(Colour::Purple);
const QColor kObesityColour = bandColour(Colour::Red);

namespace {

const QColor kGridColour(205, 205, 205);

ReferenceThresholds rowThresholds(Sex sex, int quarter) {
    return lookupReferenceThresholds(sex, quarter / 4.0);
}

// The row (in quarters) at which each child band is named, in the order of increasing index:
// where the zone is wide enough for its name.
constexpr std::array<int, 4> kLabelQuarters{36, 36, 60, 16};

void drawLegend(QPainter& painter) {
    struct Entry {
        QColor colour;
        QString text;
    };
    const std::array<Entry, 3> entries{{
        {kObesityColour, QStringLiteral("Seuil d'obésité")},
        {kUpperColour, QStringLiteral("Seuil supérieur")},
        {kLowerColour, QStringLiteral("Seuil inférieur")},
    }};
    painter.setFont(chartFont(13));
    int x = kLeft;
    const int y = kBottom + 66;
    for (const Entry& entry : entries) {
        painter.setPen(QPen(entry.colour, 3));
        painter.drawLine(x, y, x + 28, y);
        painter.setPen(kInk);
        painter.drawText(QRect(x + 36, y - 9, 180, 18), Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        x += 36 + painter.fontMetrics().horizontalAdvance(entry.text) + 40;
    }
}

// At most fifteen ticks on round values, however far the patient's point lies.
double tickStep(double range) {
    for (double decade = 1;; decade *= 10) {
        for (const double step : {2 * decade, 5 * decade, 10 * decade}) {
            if (range / step <= 15)
                return step;
        }
    }
}

} // namespace

ChildChart::ChildChart(Sex sex, std::optional<Patient> patient)
    : m_sex(sex)
    , m_patient(std::move(patient)) {
    if (m_patient) {
        // Whole steps of two units, with at least one unit between the point and the frame.
        const double index = m_patient->index;
        m_lowest = std::min<double>(kLowestIndex, 2 * std::floor((index - 1) / 2));
        m_highest = std::max<double>(kHighestIndex, 2 * std::ceil((index + 1) / 2));
    }
    m_tickStep = tickStep(m_highest - m_lowest);
}

QString ChildChart::title() const {
    const bool boys = m_sex == Sex::Male;
    if (m_patient)
        return boys ? QStringLiteral("Corpulence des garçons, de la naissance à 18 ans")
                    : QStringLiteral("Corpulence des filles, de la naissance à 18 ans");
    return boys ? QStringLiteral("Seuils de l'IMC des garçons, de la naissance à 18 ans")
                : QStringLiteral("Seuils de l'IMC des filles, de la naissance à 18 ans");
}

double ChildChart::yFor(double index) const {
    return kBottom - (index - m_lowest) * (kBottom - kTop) / (m_highest - m_lowest);
}

QPointF ChildChart::position(double age, double index) const {
    return {kLeft + age * 4 * kPixelsPerQuarter, yFor(index)};
}

QPointF ChildChart::patientPosition() const {
    return m_patient ? position(m_patient->age, m_patient->index) : QPointF();
}

QString ChildChart::description() const {
    const QString who = m_sex == Sex::Male ? QStringLiteral("garçons") : QStringLiteral("filles");
    QString text = QStringLiteral("Courbe de corpulence des %1 de la naissance à 18 ans : seuils inférieur, "
                                  "supérieur et d'obésité de l'IMC selon l'âge.")
                       .arg(who);
    if (m_patient) {
        text += QStringLiteral(" Le patient, %1 de %2, a un IMC de %3 : %4")
                    .arg(m_sex == Sex::Male ? QStringLiteral("garçon") : QStringLiteral("fille"),
                         ageInWords(m_patient->age), m_patient->indexText, m_patient->band);
    }
    return text;
}

void ChildChart::paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
    painter.setPen(kInk);
    painter.setFont(chartFont(15, true));
    painter.drawText(QRect(0, 10, kWidth, 24), Qt::AlignCenter, title());

    fillZones(painter);
    drawAxes(painter);
    drawSteps(painter, &ReferenceThresholds::lowerThreshold, kLowerColour);
    drawSteps(painter, &ReferenceThresholds::upperThreshold, kUpperColour);
    drawSteps(painter, &ReferenceThresholds::obesityThreshold, kObesityColour);
    labelZones(painter);
    drawLegend(painter);
    drawPatient(painter);
    painter.restore();
}

void ChildChart::fillZones(QPainter& painter) const {
    for (int quarter = 0; quarter < kQuarters; ++quarter) {
        const double age = quarter / 4.0;
        for (const BandSpan& span : bandSpans(age, rowThresholds(m_sex, quarter))) {
            const double top = yFor(span.to.value_or(m_highest));
            const double bottom = yFor(span.from.value_or(m_lowest));
            painter.fillRect(QRectF(xForQuarter(quarter), top, kPixelsPerQuarter, bottom - top),
                             paleColour(bandColour(span.background)));
        }
    }
}

void ChildChart::drawAxes(QPainter& painter) const {
    painter.setFont(chartFont(12));
    painter.setPen(QPen(kGridColour, 1));
    // The index ticks: whole multiples of the step within the axis.
    std::vector<double> ticks;
    const auto first = static_cast<long long>(std::ceil(m_lowest / m_tickStep));
    const auto last = static_cast<long long>(std::floor(m_highest / m_tickStep));
    for (long long tick = first; tick <= last; ++tick)
        ticks.push_back(static_cast<double>(tick) * m_tickStep);
    for (int year = 0; year <= kQuarters / 4; ++year)
        painter.drawLine(xForQuarter(4 * year), kTop, xForQuarter(4 * year), kBottom);
    for (const double index : ticks)
        painter.drawLine(QPointF(kLeft, yFor(index)), QPointF(kRight, yFor(index)));

    painter.setPen(kInk);
    painter.drawRect(kLeft, kTop, kRight - kLeft, kBottom - kTop);
    for (int year = 0; year <= kQuarters / 4; ++year) {
        const int x = xForQuarter(4 * year);
        painter.drawLine(x, kBottom, x, kBottom + 4);
        painter.drawText(QRect(x - 15, kBottom + 6, 30, 16), Qt::AlignCenter, QString::number(year));
    }
    for (const double index : ticks) {
        const double y = yFor(index);
        painter.drawLine(QPointF(kLeft - 4, y), QPointF(kLeft, y));
        painter.drawText(QRectF(kLeft - 66, y - 8, 58, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(index, 'g', 12));
    }

    painter.setFont(chartFont(13));
    painter.drawText(QRect(kLeft, kBottom + 26, kRight - kLeft, 18), Qt::AlignCenter,
                     QStringLiteral("Âge (années)"));
    painter.save();
    painter.translate(18, (kTop + kBottom) / 2.0);
    painter.rotate(-90);
    painter.drawText(QRect(-120, -9, 240, 18), Qt::AlignCenter, QStringLiteral("IMC (kg/m²)"));
    painter.restore();
}

void ChildChart::drawSteps(QPainter& painter, double ReferenceThresholds::*threshold,
                           const QColor& colour) const {
    painter.setPen(QPen(colour, kPenWidth, Qt::SolidLine, Qt::SquareCap));
    for (int quarter = 0; quarter < kQuarters; ++quarter) {
        const double y = yFor(rowThresholds(m_sex, quarter).*threshold);
        const double next = yFor(rowThresholds(m_sex, quarter + 1).*threshold);
        painter.drawLine(QPointF(xForQuarter(quarter), y), QPointF(xForQuarter(quarter + 1), y));
        painter.drawLine(QPointF(xForQuarter(quarter + 1), y), QPointF(xForQuarter(quarter + 1), next));
    }
    // The 18-year row applies to that exact age only; any older patient is an adult.
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(xForQuarter(kQuarters), yFor(rowThresholds(m_sex, kQuarters).*threshold)), 3,
                        3);
    painter.setBrush(Qt::NoBrush);
}

void ChildChart::labelZones(QPainter& painter) const {
    painter.setFont(chartFont(13, true));
    for (std::size_t zone = 0; zone < kLabelQuarters.size(); ++zone) {
        const int quarter = kLabelQuarters.at(zone);
        const std::vector<BandSpan> spans = bandSpans(quarter / 4.0, rowThresholds(m_sex, quarter));
        if (zone >= spans.size())
            break;
        const BandSpan& span = spans[zone];
        const double bottom = yFor(span.from.value_or(m_lowest));
        const double top = yFor(span.to.value_or(m_highest));
        // A zone squeezed by a far point keeps its colour but has no room for its name.
        if (bottom - top < 18)
            continue;
        const double y = (bottom + top) / 2;
        painter.setPen(bandColour(span.background));
        painter.drawText(QRectF(xForQuarter(quarter) - 110, y - 9, 220, 18), Qt::AlignCenter,
                         QString::fromUtf8(span.band.data(), static_cast<qsizetype>(span.band.size())));
    }
}

void ChildChart::drawPatient(QPainter& painter) const {
    if (!m_patient)
        return;
    const QPointF point = patientPosition();
    const QString age = ageInWords(m_patient->age);
    const QString text = QStringLiteral("IMC %1 à %2")
                             .arg(m_patient->indexText,
                                  age == QStringLiteral("naissance") ? QStringLiteral("la naissance") : age);
    painter.setFont(chartFont(13, true));
    const double width = painter.fontMetrics().horizontalAdvance(text) + 12;
    const double height = 20;
    // Beside the point, on the side where the caption stays inside the frame.
    const double left = point.x() + 12 + width <= kRight ? point.x() + 12 : point.x() - 12 - width;
    const double top = std::clamp(point.y() - height / 2, double(kTop) + 2, kBottom - height - 2);
    drawCaption(painter, QRectF(left, top, width, height), text);
    drawPatientPoint(painter, point);
}

} // namespace vimora::chart
