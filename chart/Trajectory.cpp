#include "Trajectory.h"

#include "ChartColours.h"
#include "Wording.h"
#include "engine/Bands.h"
#include "engine/VisitPlausibility.h"
#include "text/FrenchDates.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace vimora::chart {

namespace {

const QColor kGridColour(205, 205, 205);

constexpr double kDotRadius = 4;
constexpr int kCaptionFont = 12;
constexpr double kCaptionHeight = 18;
constexpr double kCaptionPadding = 10;
constexpr double kCaptionGap = 10;
constexpr double kInsetFromFrame = 2;
/// How finely the line through the visits is kept clear of names, and by how much.
constexpr double kLineStep = 4;
constexpr double kLineReach = 2;
constexpr int kZoneFont = 12;
constexpr double kZoneNameInset = 6;
constexpr double kZoneNamePadding = 4;
constexpr int kNameDeepening = 20; ///< percent darker per step of a zone's shade
constexpr int kLimitFont = 11;
constexpr double kLimitHeight = 14;

QString captionOf(const TrajectoryVisit& visit) {
    return QStringLiteral("IMC %1").arg(visit.indexText);
}

// A visit's value beside its point, on the side where it stays inside the plot.
QRectF captionBox(const TrajectoryVisit& visit, const PointMark& mark, const QRectF& plot) {
    const double width =
        QFontMetricsF(chartFont(kCaptionFont, true)).horizontalAdvance(captionOf(visit)) + kCaptionPadding;
    const double x = mark.centre.x();
    const double left = x + kCaptionGap + width <= plot.right() ? x + kCaptionGap : x - kCaptionGap - width;
    const double top = std::clamp(mark.centre.y() - kCaptionHeight / 2, plot.top() + kInsetFromFrame,
                                  plot.bottom() - kCaptionHeight - kInsetFromFrame);
    return {left, top, width, kCaptionHeight};
}

// The values of the implausible visits, which the line does not reach; one that would cover an
// earlier one is left to the visit table.
std::vector<std::optional<QRectF>> captionBoxes(const std::vector<TrajectoryVisit>& visits,
                                                const std::vector<PointMark>& marks, const QRectF& plot) {
    std::vector<std::optional<QRectF>> boxes(visits.size());
    std::vector<QRectF> placed;
    for (std::size_t i = 0; i < visits.size(); ++i) {
        if (!visits[i].implausible)
            continue;
        const QRectF box = captionBox(visits[i], marks[i], plot);
        if (std::none_of(placed.begin(), placed.end(),
                         [&box](const QRectF& other) { return box.intersects(other); })) {
            boxes[i] = box;
            placed.push_back(box);
        }
    }
    return boxes;
}

// The line goes through the plausible visits only: an implausible one would bend it falsely.
std::vector<QPointF> linePoints(const std::vector<TrajectoryVisit>& visits,
                                const std::vector<PointMark>& marks) {
    std::vector<QPointF> points;
    for (std::size_t i = 0; i < visits.size(); ++i) {
        if (!visits[i].implausible)
            points.push_back(marks[i].centre);
    }
    return points;
}

// What the visits cover, for the names to keep clear of: points, arrows, captions and the line.
std::vector<QRectF> visitAreas(const std::vector<TrajectoryVisit>& visits,
                               const std::vector<PointMark>& marks, const QRectF& plot) {
    std::vector<QRectF> areas;
    areas.reserve(marks.size() * 2);
    for (const PointMark& mark : marks)
        areas.push_back(pointArea(mark));
    for (const std::optional<QRectF>& caption : captionBoxes(visits, marks, plot)) {
        if (caption)
            areas.push_back(*caption);
    }
    const std::vector<QPointF> line = linePoints(visits, marks);
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const QLineF segment(line[i], line[i + 1]);
        const auto steps = static_cast<int>(std::ceil(segment.length() / kLineStep));
        for (int step = 0; step <= steps; ++step) {
            const QPointF at = segment.pointAt(steps == 0 ? 0 : double(step) / steps);
            areas.emplace_back(at - QPointF(kLineReach, kLineReach), QSizeF(2 * kLineReach, 2 * kLineReach));
        }
    }
    return areas;
}

// The line, a small disc on each visit (hollow for an implausible one, with an arrow beyond the
// axis), the values of the implausible ones, and the patient's point on the latest visit.
void drawVisits(QPainter& painter, const std::vector<TrajectoryVisit>& visits,
                const std::vector<PointMark>& marks, const QRectF& plot) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const std::vector<QPointF> line = linePoints(visits, marks);
    painter.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(line.data(), static_cast<int>(line.size()));
    for (std::size_t i = 0; i < visits.size(); ++i) {
        if (visits[i].latest)
            continue;
        drawEdgeArrow(painter, marks[i]);
        painter.setPen(visits[i].implausible ? QPen(kInk, 2) : QPen(Qt::white, 1.5));
        painter.setBrush(visits[i].implausible ? QColor(Qt::white) : kInk);
        painter.drawEllipse(marks[i].centre, kDotRadius, kDotRadius);
    }
    painter.setFont(chartFont(kCaptionFont, true));
    const std::vector<std::optional<QRectF>> captions = captionBoxes(visits, marks, plot);
    for (std::size_t i = 0; i < visits.size(); ++i) {
        if (captions[i])
            drawCaption(painter, *captions[i], captionOf(visits[i]));
    }
    painter.restore();
    for (std::size_t i = 0; i < visits.size(); ++i) {
        if (visits[i].latest)
            drawPatientPoint(painter, marks[i]);
    }
}

QString apartSentence(const std::vector<TrajectoryVisit>& visits) {
    const auto count = std::count_if(visits.begin(), visits.end(),
                                     [](const TrajectoryVisit& visit) { return visit.implausible; });
    if (count == 0)
        return {};
    return count == 1
               ? QStringLiteral(" Une consultation invraisemblable est placée à part, sans être reliée "
                                "aux autres.")
               : QStringLiteral(" %1 consultations invraisemblables sont placées à part, sans être "
                                "reliées aux autres.")
                     .arg(count);
}

// The visits of adults, or of children, in date order; the latest of all flagged.
std::vector<TrajectoryVisit> inDateOrder(const std::vector<TrajectoryVisit>& visits, bool adults) {
    std::vector<TrajectoryVisit> all = visits;
    std::stable_sort(all.begin(), all.end(),
                     [](const TrajectoryVisit& a, const TrajectoryVisit& b) { return a.date < b.date; });
    if (!all.empty())
        all.back().latest = true;
    std::vector<TrajectoryVisit> chosen;
    std::copy_if(all.begin(), all.end(), std::back_inserter(chosen),
                 [adults](const TrajectoryVisit& visit) { return isAdult(visit.age) == adults; });
    return chosen;
}

QString bandText(std::string_view band) {
    return QString::fromUtf8(band.data(), static_cast<qsizetype>(band.size()));
}

// How much deeper than the first a band's shade is: the grades of one colour deepen away from
// the middle of the table (underweight downward, obesity upward).
std::vector<int> bandDepths(const std::vector<BandSpan>& spans) {
    std::vector<int> depths(spans.size(), 0);
    for (std::size_t first = 0; first < spans.size();) {
        std::size_t last = first;
        while (last + 1 < spans.size() && spans[last + 1].background == spans[first].background)
            ++last;
        for (std::size_t i = first; i <= last; ++i)
            depths[i] = static_cast<int>(first == 0 ? last - i : i - first);
        first = last + 1;
    }
    return depths;
}

} // namespace

std::vector<TrajectoryVisit> childVisits(const std::vector<TrajectoryVisit>& visits) {
    return inDateOrder(visits, false);
}

std::vector<TrajectoryVisit> adultVisits(const std::vector<TrajectoryVisit>& visits) {
    return inDateOrder(visits, true);
}

namespace {

std::vector<PointMark> childMarks(const std::vector<TrajectoryVisit>& visits) {
    std::vector<PointMark> marks;
    marks.reserve(visits.size());
    for (const TrajectoryVisit& visit : visits)
        marks.push_back(ChildChart::markAt(std::clamp(visit.age, 0.0, kAdultAge), visit.index));
    return marks;
}

QRectF childPlot() {
    return {QPointF(ChildChart::kLeft, ChildChart::kTop), QPointF(ChildChart::kRight, ChildChart::kBottom)};
}

} // namespace

ChildTrajectory::ChildTrajectory(Sex sex, std::vector<TrajectoryVisit> visits)
    : m_sex(sex)
    , m_visits(std::move(visits))
    , m_chart(sex, std::nullopt, visitAreas(m_visits, childMarks(m_visits), childPlot())) {}

void ChildTrajectory::paint(QPainter& painter) const {
    m_chart.paint(painter);
    // No caption for the latest visit, where it would cover the zones' names: the dialog and the
    // sheet give the figures.
    drawVisits(painter, m_visits, childMarks(m_visits), childPlot());
}

QString ChildTrajectory::description() const {
    const TrajectoryVisit& first = m_visits.front();
    const TrajectoryVisit& latest = m_visits.back();
    QString text = QStringLiteral("Trajectoire de corpulence sur la courbe des %1 de la naissance à 18 ans.")
                       .arg(childrenWord(m_sex));
    if (m_visits.size() == 1)
        return text + QStringLiteral(" Une consultation, à %1 : IMC %2, %3")
                          .arg(ageInWords(latest.age), latest.indexText, latest.band);
    return text +
           QStringLiteral(" %1 consultations, de %2 à %3 : l'IMC passe de %4 à %5, %6")
               .arg(m_visits.size())
               .arg(ageInWords(first.age), ageInWords(latest.age), first.indexText, latest.indexText,
                    latest.band) +
           apartSentence(m_visits);
}

namespace {

std::vector<PointMark> whoMarks(const std::vector<TrajectoryVisit>& visits) {
    std::vector<PointMark> marks;
    marks.reserve(visits.size());
    for (const TrajectoryVisit& visit : visits)
        marks.push_back(WhoChart::markAt(std::clamp(visit.age, 0.0, kAdultAge), visit.index));
    return marks;
}

} // namespace

WhoTrajectory::WhoTrajectory(Sex sex, std::vector<TrajectoryVisit> visits)
    : m_sex(sex)
    , m_visits(std::move(visits))
    , m_chart(sex) {}

void WhoTrajectory::paint(QPainter& painter) const {
    m_chart.paint(painter);
    drawVisits(
        painter, m_visits, whoMarks(m_visits),
        QRectF(QPointF(WhoChart::kLeft, WhoChart::kTop), QPointF(WhoChart::kRight, WhoChart::kBottom)));
}

QString WhoTrajectory::description() const {
    const TrajectoryVisit& first = m_visits.front();
    const TrajectoryVisit& latest = m_visits.back();
    QString text = QStringLiteral("Trajectoire de corpulence sur les courbes de l'OMS des %1 de la naissance "
                                  "à 19 ans.")
                       .arg(childrenWord(m_sex));
    if (m_visits.size() == 1)
        return text + QStringLiteral(" Une consultation, à %1 : IMC %2.")
                          .arg(ageInWords(latest.age), latest.indexText);
    return text +
           QStringLiteral(" %1 consultations, de %2 à %3 : l'IMC passe de %4 à %5.")
               .arg(m_visits.size())
               .arg(ageInWords(first.age), ageInWords(latest.age), first.indexText, latest.indexText) +
           apartSentence(m_visits);
}

AdultTrajectory::AdultTrajectory(std::vector<TrajectoryVisit> visits)
    : m_visits(std::move(visits)) {
    // Half a year on each side of the visits, so that a single visit stands in the middle.
    m_first = m_visits.front().date.addMonths(-6);
    m_last = m_visits.back().date.addMonths(6);
    double lowest = kAdultThresholds.lowerThreshold;
    double highest = kAdultThresholds.upperThreshold;
    for (const TrajectoryVisit& visit : m_visits) {
        if (visit.implausible)
            continue;
        const double index = std::clamp(visit.index, kLowestPlausibleIndex, kHighestPlausibleIndex);
        lowest = std::min(lowest, index);
        highest = std::max(highest, index);
    }
    m_lowest = std::floor(lowest - kIndexMargin);
    m_highest = std::ceil(highest + kIndexMargin);
}

double AdultTrajectory::xForDate(QDate date) const {
    const auto span = static_cast<double>(m_first.daysTo(m_last));
    return kLeft + static_cast<double>(m_first.daysTo(date)) * (kRight - kLeft) / span;
}

double AdultTrajectory::yForIndex(double index) const {
    return kBottom - (index - m_lowest) * (kBottom - kTop) / (m_highest - m_lowest);
}

PointMark AdultTrajectory::mark(const TrajectoryVisit& visit) const {
    const double x = xForDate(visit.date);
    if (visit.index > m_highest)
        return {{x, kTop + kEdgeInset}, PointMark::Above};
    if (visit.index < m_lowest)
        return {{x, kBottom - kEdgeInset}, PointMark::Below};
    return {{x, yForIndex(visit.index)}, PointMark::Inside};
}

std::vector<PointMark> AdultTrajectory::marks() const {
    std::vector<PointMark> found;
    found.reserve(m_visits.size());
    for (const TrajectoryVisit& visit : m_visits)
        found.push_back(mark(visit));
    return found;
}

QString AdultTrajectory::description() const {
    const TrajectoryVisit& first = m_visits.front();
    const TrajectoryVisit& latest = m_visits.back();
    QString text = QStringLiteral("IMC de l'adulte au fil des consultations, sur les classes de corpulence.");
    if (m_visits.size() == 1)
        return text + QStringLiteral(" Une consultation, le %1 : IMC %2, %3")
                          .arg(text::shortDate(latest.date), latest.indexText, latest.band);
    return text +
           QStringLiteral(" %1 consultations, du %2 au %3 : l'IMC passe de %4 à %5, %6")
               .arg(m_visits.size())
               .arg(text::shortDate(first.date), text::shortDate(latest.date), first.indexText,
                    latest.indexText, latest.band) +
           apartSentence(m_visits);
}

std::vector<AdultTrajectory::Zone> AdultTrajectory::zones() const {
    const std::vector<BandSpan> spans = bandSpans(kAdultAge + 1, kAdultThresholds);
    const std::vector<int> depths = bandDepths(spans);
    const QRectF plot(QPointF(kLeft, kTop), QPointF(kRight, kBottom));
    const std::vector<QRectF> covered = visitAreas(m_visits, marks(), plot);
    const QFontMetricsF metrics(chartFont(kZoneFont, true));
    std::vector<Zone> shown;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const double from = std::max(spans[i].from.value_or(m_lowest), m_lowest);
        const double to = std::min(spans[i].to.value_or(m_highest), m_highest);
        if (from >= to)
            continue;
        const QColor colour = bandColour(spans[i].background);
        Zone zone{QRectF(QPointF(kLeft, yForIndex(to)), QPointF(kRight, yForIndex(from))),
                  from,
                  paleColour(colour, depths[i]),
                  colour.darker(100 + kNameDeepening * depths[i]),
                  bandText(spans[i].band),
                  std::nullopt};
        // Left or right, in the middle of the band, then at its top or foot: the first place clear
        // of the visits, else the first the band holds.
        const QRectF room = zone.rect.adjusted(kZoneNameInset, 1, -kZoneNameInset, -1);
        const QSizeF size = metrics.size(0, zone.name) + QSizeF(kZoneNamePadding, kZoneNamePadding);
        if (room.height() >= size.height()) {
            const std::array<double, 3> tops{room.center().y() - size.height() / 2, room.top(),
                                             room.bottom() - size.height()};
            const std::array<double, 2> lefts{room.left(), room.right() - size.width()};
            std::vector<QRectF> places;
            for (const double top : tops) {
                for (const double left : lefts)
                    places.emplace_back(QPointF(left, top), size);
            }
            const auto clear = std::find_if(places.begin(), places.end(), [&covered](const QRectF& place) {
                return std::none_of(covered.begin(), covered.end(),
                                    [&place](const QRectF& area) { return place.intersects(area); });
            });
            zone.nameBox = clear != places.end() ? *clear : places.front();
        }
        shown.push_back(zone);
    }
    return shown;
}

// Each band in its shade with its limit drawn and written at the right; the names over the grid,
// so that no line crosses them.
void AdultTrajectory::drawZones(QPainter& painter, const std::vector<Zone>& zones) const {
    for (const Zone& zone : zones)
        painter.fillRect(zone.rect, zone.colour);
    drawAxes(painter);
    painter.setFont(chartFont(kLimitFont));
    double lastLimitTop = kBottom;
    for (const Zone& zone : zones) {
        if (zone.from <= m_lowest)
            continue;
        const double y = zone.rect.bottom();
        painter.setPen(QPen(zone.nameColour, 1));
        painter.drawLine(QPointF(kLeft, y), QPointF(kRight, y));
        const QRectF limit(kRight + 3, y - kLimitHeight / 2, kWidth - kRight - 3, kLimitHeight);
        if (limit.bottom() <= lastLimitTop) {
            painter.setPen(kInk);
            painter.drawText(limit, Qt::AlignLeft | Qt::AlignVCenter, limitText(zone.from));
            lastLimitTop = limit.top();
        }
    }
    painter.setFont(chartFont(kZoneFont, true));
    for (const Zone& zone : zones) {
        if (!zone.nameBox)
            continue;
        painter.fillRect(*zone.nameBox, zone.colour);
        painter.setPen(zone.nameColour);
        painter.drawText(*zone.nameBox, Qt::AlignCenter, zone.name);
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
    beginChart(painter, size(), QStringLiteral("IMC de l'adulte au fil des consultations"), 10, 15);
    drawZones(painter, zones());
    painter.setPen(kInk);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(kLeft, kTop, kRight - kLeft, kBottom - kTop));
    drawVisits(painter, m_visits, marks(), QRectF(QPointF(kLeft, kTop), QPointF(kRight, kBottom)));
    painter.restore();
}

std::vector<std::unique_ptr<Chart>> trajectoryCharts(Sex sex, const std::vector<TrajectoryVisit>& visits,
                                                     Curves curves) {
    std::vector<std::unique_ptr<Chart>> charts;
    std::vector<TrajectoryVisit> children = childVisits(visits);
    if (!children.empty() && curves == Curves::Who)
        charts.push_back(std::make_unique<WhoTrajectory>(sex, std::move(children)));
    else if (!children.empty())
        charts.push_back(std::make_unique<ChildTrajectory>(sex, std::move(children)));
    std::vector<TrajectoryVisit> adults = adultVisits(visits);
    if (!adults.empty())
        charts.push_back(std::make_unique<AdultTrajectory>(std::move(adults)));
    return charts;
}

} // namespace vimora::chart
