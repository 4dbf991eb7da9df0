#include "Trajectory.h"

#include "Bands.h"
#include "ChartColours.h"
#include "Wording.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vimora::chart {

namespace {

const QColor kGridColour(205, 205, 205);

// The line through the visits and a small disc on each; the latest is marked as the patient's
// point.
void drawVisits(QPainter& painter, const std::vector<QPointF>& points) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(kInk);
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        painter.drawEllipse(points[i], 4, 4);
    painter.restore();

    drawPatientPoint(painter, {points.back()});
}

// The visits of adults, or of children, in date order.
std::vector<TrajectoryVisit> inDateOrder(const std::vector<TrajectoryVisit>& visits, bool adults) {
    std::vector<TrajectoryVisit> chosen;
    std::copy_if(visits.begin(), visits.end(), std::back_inserter(chosen),
                 [adults](const TrajectoryVisit& visit) { return isAdult(visit.age) == adults; });
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const TrajectoryVisit& a, const TrajectoryVisit& b) { return a.date < b.date; });
    return chosen;
}

} // namespace

std::vector<TrajectoryVisit> childVisits(const std::vector<TrajectoryVisit>& visits) {
    return inDateOrder(visits, false);
}

std::vector<TrajectoryVisit> adultVisits(const std::vector<TrajectoryVisit>& visits) {
    return inDateOrder(visits, true);
}

ChildTrajectory::ChildTrajectory(Sex sex, std::vector<TrajectoryVisit> visits)
    : m_sex(sex)
    , m_visits(std::move(visits))
    , m_chart(sex) {}

QPointF ChildTrajectory::position(const TrajectoryVisit& visit) {
    return ChildChart::position(std::clamp(visit.age, 0.0, kAdultAge),
                                std::clamp(visit.index, ChildChart::kLowestIndex, ChildChart::kHighestIndex));
}

void ChildTrajectory::paint(QPainter& painter) const {
    m_chart.paint(painter);
    std::vector<QPointF> points;
    points.reserve(m_visits.size());
    for (const TrajectoryVisit& visit : m_visits)
        points.push_back(position(visit));
    // No caption on the plot, where it would cover the zones' names: the dialog and the sheet
    // give the figures.
    drawVisits(painter, points);
}

QString ChildTrajectory::description() const {
    const TrajectoryVisit& first = m_visits.front();
    const TrajectoryVisit& latest = m_visits.back();
    QString text = QStringLiteral("Trajectoire de corpulence sur la courbe des %1 de la naissance à 18 ans.")
                       .arg(childrenWord(m_sex));
    if (m_visits.size() == 1)
        return text + QStringLiteral(" Une consultation, à %1 : IMC %2, %3")
                          .arg(ageInWords(latest.age), latest.indexText, latest.band);
    return text + QStringLiteral(" %1 consultations, de %2 à %3 : l'IMC passe de %4 à %5, %6")
                      .arg(m_visits.size())
                      .arg(ageInWords(first.age), ageInWords(latest.age), first.indexText, latest.indexText,
                           latest.band);
}

AdultTrajectory::AdultTrajectory(std::vector<TrajectoryVisit> visits)
    : m_visits(std::move(visits)) {
    m_first = m_visits.front().date;
    m_last = m_visits.back().date;
    // Half a year on each side of the visits, so that a single visit stands in the middle.
    m_first = m_first.addMonths(-6);
    m_last = m_last.addMonths(6);
    for (const TrajectoryVisit& visit : m_visits) {
        const double index = std::clamp(visit.index, kLowestShown, kHighestShown);
        m_lowest = std::min(m_lowest, std::floor(index) - 1);
        m_highest = std::max(m_highest, std::ceil(index) + 2);
    }
    m_lowest = std::max(m_lowest, kLowestShown - 1);
    m_highest = std::min(m_highest, kHighestShown + 2);
}

double AdultTrajectory::xForDate(QDate date) const {
    const auto span = static_cast<double>(m_first.daysTo(m_last));
    return kLeft + static_cast<double>(m_first.daysTo(date)) * (kRight - kLeft) / span;
}

double AdultTrajectory::yForIndex(double index) const {
    const double shown = std::clamp(index, m_lowest, m_highest);
    return kBottom - (shown - m_lowest) * (kBottom - kTop) / (m_highest - m_lowest);
}

QPointF AdultTrajectory::position(const TrajectoryVisit& visit) const {
    return {xForDate(visit.date), yForIndex(visit.index)};
}

QString AdultTrajectory::description() const {
    const TrajectoryVisit& first = m_visits.front();
    const TrajectoryVisit& latest = m_visits.back();
    QString text = QStringLiteral("IMC de l'adulte au fil des consultations, sur les classes de corpulence.");
    if (m_visits.size() == 1)
        return text + QStringLiteral(" Une consultation, le %1 : IMC %2, %3")
                          .arg(shortDate(latest.date), latest.indexText, latest.band);
    return text + QStringLiteral(" %1 consultations, du %2 au %3 : l'IMC passe de %4 à %5, %6")
                      .arg(m_visits.size())
                      .arg(shortDate(first.date), shortDate(latest.date), first.indexText, latest.indexText,
                           latest.band);
}

std::vector<AdultTrajectory::Zone> AdultTrajectory::zones() const {
    std::vector<Zone> shown;
    for (const BandSpan& span : bandSpans(kAdultAge + 1, kAdultThresholds)) {
        const double from = std::max(span.from.value_or(m_lowest), m_lowest);
        const double to = std::min(span.to.value_or(m_highest), m_highest);
        if (from < to) {
            shown.push_back({QRectF(QPointF(kLeft, yForIndex(to)), QPointF(kRight, yForIndex(from))),
                             bandColour(span.background),
                             QString::fromUtf8(span.band.data(), static_cast<qsizetype>(span.band.size()))});
        }
    }
    return shown;
}

void AdultTrajectory::drawZones(QPainter& painter) const {
    for (const Zone& zone : zones())
        painter.fillRect(zone.rect, paleColour(zone.colour));
}

// The names go over the grid, so that no line crosses them; a zone too thin for its name keeps
// its colour alone.
void AdultTrajectory::drawZoneNames(QPainter& painter) const {
    painter.setFont(chartFont(12, true));
    const double nameHeight = painter.fontMetrics().height() + 2;
    for (const Zone& zone : zones()) {
        if (zone.rect.height() < nameHeight)
            continue;
        const QRectF place = zone.rect.adjusted(6, 0, -6, 0);
        const QRectF used = painter.boundingRect(place, Qt::AlignLeft | Qt::AlignVCenter, zone.name);
        painter.fillRect(used.adjusted(-2, 0, 2, 0), paleColour(zone.colour));
        painter.setPen(zone.colour);
        painter.drawText(place, Qt::AlignLeft | Qt::AlignVCenter, zone.name);
    }
}

void AdultTrajectory::drawAxes(QPainter& painter) const {
    // Index ticks every 5 units (every 10 on a wide axis), dates on round years or quarters.
    const double indexStep = m_highest - m_lowest > 60 ? 10 : 5;
    painter.setFont(chartFont(12));
    const auto firstTick = static_cast<int>(std::ceil(m_lowest / indexStep));
    const auto lastTick = static_cast<int>(std::floor(m_highest / indexStep));
    for (int tick = firstTick; tick <= lastTick; ++tick) {
        const double index = tick * indexStep;
        const double y = yForIndex(index);
        painter.setPen(QPen(kGridColour, 1));
        painter.drawLine(QPointF(kLeft, y), QPointF(kRight, y));
        painter.setPen(kInk);
        painter.drawLine(QPointF(kLeft - 4, y), QPointF(kLeft, y));
        painter.drawText(QRectF(kLeft - 50, y - 8, 42, 16), Qt::AlignRight | Qt::AlignVCenter,
                         limitText(index));
    }

    const double years = static_cast<double>(m_first.daysTo(m_last)) / 365.25;
    const int monthStep = years <= 2 ? 3 : years <= 8 ? 12 : years <= 20 ? 24 : years <= 50 ? 60 : 120;
    QDate tick(m_first.year(), 1, 1);
    while (tick < m_first)
        tick = tick.addMonths(monthStep < 12 ? monthStep : 12);
    if (monthStep >= 12) {
        const int yearStep = monthStep / 12;
        while (tick.year() % yearStep != 0)
            tick = tick.addYears(1);
    }
    for (; tick <= m_last; tick = tick.addMonths(monthStep)) {
        const double x = xForDate(tick);
        painter.setPen(QPen(kGridColour, 1));
        painter.drawLine(QPointF(x, kTop), QPointF(x, kBottom));
        painter.setPen(kInk);
        painter.drawLine(QPointF(x, kBottom), QPointF(x, kBottom + 4));
        const QString label =
            monthStep < 12 ? tick.toString(QStringLiteral("MM/yyyy")) : QString::number(tick.year());
        painter.drawText(QRectF(x - 35, kBottom + 6, 70, 16), Qt::AlignCenter, label);
    }
    painter.setPen(kInk);
    painter.drawRect(QRectF(kLeft, kTop, kRight - kLeft, kBottom - kTop));
    painter.setFont(chartFont(13));
    painter.drawText(QRectF(kLeft, kBottom + 26, kRight - kLeft, 18), Qt::AlignCenter,
                     QStringLiteral("Date de la consultation"));
    painter.save();
    painter.translate(18, (kTop + kBottom) / 2.0);
    painter.rotate(-90);
    painter.drawText(QRectF(-120, -9, 240, 18), Qt::AlignCenter, QStringLiteral("IMC (kg/m²)"));
    painter.restore();
}

void AdultTrajectory::paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
    painter.setPen(kInk);
    painter.setFont(chartFont(15, true));
    painter.drawText(QRect(0, 10, kWidth, 24), Qt::AlignCenter,
                     QStringLiteral("IMC de l'adulte au fil des consultations"));
    drawZones(painter);
    drawAxes(painter);
    drawZoneNames(painter);

    std::vector<QPointF> points;
    points.reserve(m_visits.size());
    for (const TrajectoryVisit& visit : m_visits)
        points.push_back(position(visit));
    drawVisits(painter, points);
    painter.restore();
}

} // namespace vimora::chart
