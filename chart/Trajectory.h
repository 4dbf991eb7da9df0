#pragma once

#include "Chart.h"
#include "ChildChart.h"
#include "WhoChart.h"
#include "engine/ReferenceThresholds.h"

#include <QDate>

#include <memory>
#include <optional>
#include <vector>

// A patient's visits over time. The children's visits (18 years or younger) go on the reference
// chart of their sex, an adult's on a chart of the index over the visit dates, over the zones of
// the adult bands; each joined in date order. The patient's latest visit is marked as their point
// on the chart that holds it. A visit beyond the index axis stands at its edge, with an arrow. A
// visit kept despite an implausible measure is not joined to the others and shows its value.
namespace vimora::chart {

/// One visit as the trajectory draws it.
struct TrajectoryVisit {
    QDate date;
    double age = 0;
    double index = 0;
    QString indexText; ///< as the window showed it
    QString band;
    bool implausible = false; ///< kept by the clinician despite an implausible measure
    bool latest = false;      ///< the patient's latest visit, whichever chart holds it
};

/// The visits at `age` 18 or younger, in date order (the order given for visits of one date),
/// the latest of all `visits` flagged as such.
std::vector<TrajectoryVisit> childVisits(const std::vector<TrajectoryVisit>& visits);
/// The visits of an adult, likewise.
std::vector<TrajectoryVisit> adultVisits(const std::vector<TrajectoryVisit>& visits);

class ChildTrajectory : public Chart {
public:
    /// `visits` in date order, at least one.
    ChildTrajectory(Sex sex, std::vector<TrajectoryVisit> visits);

    QSize size() const override { return m_chart.size(); }
    void paint(QPainter& painter) const override;
    QString description() const override;

    /// Where the zones' names stand: clear of the visits.
    std::vector<QRectF> zoneNames() const { return m_chart.texts().zoneNames; }

private:
    Sex m_sex;
    std::vector<TrajectoryVisit> m_visits;
    ChildChart m_chart; ///< the zones and thresholds, without a patient
};

/// A child's visits on the WHO's curves of their sex, joined as on the reference chart.
class WhoTrajectory : public Chart {
public:
    /// `visits` in date order, at least one.
    WhoTrajectory(Sex sex, std::vector<TrajectoryVisit> visits);

    QSize size() const override { return m_chart.size(); }
    void paint(QPainter& painter) const override;
    QString description() const override;

private:
    Sex m_sex;
    std::vector<TrajectoryVisit> m_visits;
    WhoChart m_chart; ///< the curves, without a patient
};

class AdultTrajectory : public Chart {
public:
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 380;
    static constexpr int kLeft = 70;
    static constexpr int kRight = 650;
    static constexpr int kTop = 44;
    static constexpr int kBottom = 320;
    /// The index axis holds the normal band and the plausible visits, with this much to spare.
    static constexpr double kIndexMargin = 1.5;

    /// `visits` in date order, at least one.
    explicit AdultTrajectory(std::vector<TrajectoryVisit> visits);

    QSize size() const override { return {kWidth, kHeight}; }
    void paint(QPainter& painter) const override;
    QString description() const override;

    /// Where a visit is drawn: at the edge of the index axis, with an arrow, when beyond it.
    PointMark mark(const TrajectoryVisit& visit) const;
    double yForIndex(double index) const;

    /// A band of the assessment's table as the chart shows it: the graver grades of one colour in
    /// deeper shades, the name where the band holds it.
    struct Zone {
        QRectF rect;
        double from = 0;   ///< the band's lower limit, or the foot of the axis
        QColor colour;     ///< the zone's shade
        QColor nameColour; ///< the band's own colour, deeper with the shade
        QString name;
        std::optional<QRectF> nameBox;
    };
    std::vector<Zone> zones() const;

private:
    double xForDate(QDate date) const;
    std::vector<PointMark> marks() const;
    void drawZones(QPainter& painter, const std::vector<Zone>& zones) const;
    void drawAxes(QPainter& painter) const;

    std::vector<TrajectoryVisit> m_visits;
    QDate m_first; ///< the left edge of the axis
    QDate m_last;  ///< its right edge
    double m_lowest = 0;
    double m_highest = 0;
};

/// The trajectory charts of a patient's visits (in date order): the children's chart, on the
/// curves chosen, when a visit is at 18 years or younger, the adult chart when one is older; none
/// without a visit.
std::vector<std::unique_ptr<Chart>> trajectoryCharts(Sex sex, const std::vector<TrajectoryVisit>& visits,
                                                     Curves curves = Curves::Reference);

} // namespace vimora::chart
