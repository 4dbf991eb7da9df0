#pragma once

#include "Chart.h"
#include "ChildChart.h"
#include "ReferenceThresholds.h"

#include <QDate>

#include <vector>

// A patient's visits over time. The children's visits (18 years or younger) go on the reference
// chart of their sex, joined in date order with the latest one marked; an adult's go on a chart
// of the index over the visit dates, over the zones of the adult bands.
namespace vimora::chart {

/// One visit as the trajectory draws it.
struct TrajectoryVisit {
    QDate date;
    double age = 0;
    double index = 0;
    QString indexText; ///< as the window showed it
    QString band;
};

/// The visits at `age` 18 or younger, in date order (the order given for visits of one date).
std::vector<TrajectoryVisit> childVisits(const std::vector<TrajectoryVisit>& visits);
/// The visits of an adult, in date order.
std::vector<TrajectoryVisit> adultVisits(const std::vector<TrajectoryVisit>& visits);

class ChildTrajectory : public Chart {
public:
    /// `visits` in date order, at least one.
    ChildTrajectory(Sex sex, std::vector<TrajectoryVisit> visits);

    QSize size() const override { return m_chart.size(); }
    void paint(QPainter& painter) const override;
    QString description() const override;

    /// Where a visit is drawn: a point beyond the index axis stands at its edge.
    static QPointF position(const TrajectoryVisit& visit);

private:
    Sex m_sex;
    std::vector<TrajectoryVisit> m_visits;
    ChildChart m_chart; ///< the zones and thresholds, without a patient
};

class AdultTrajectory : public Chart {
public:
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 380;
    static constexpr int kLeft = 70;
    static constexpr int kRight = 650;
    static constexpr int kTop = 44;
    static constexpr int kBottom = 320;
    /// The usual index range, widened by the visits within these limits; beyond, a point stands at
    /// the edge with its value.
    static constexpr double kLowestIndex = 13;
    static constexpr double kHighestIndex = 45;
    static constexpr double kLowestShown = 8;
    static constexpr double kHighestShown = 80;

    /// `visits` in date order, at least one.
    explicit AdultTrajectory(std::vector<TrajectoryVisit> visits);

    QSize size() const override { return {kWidth, kHeight}; }
    void paint(QPainter& painter) const override;
    QString description() const override;

    QPointF position(const TrajectoryVisit& visit) const;
    double lowestIndex() const { return m_lowest; }
    double highestIndex() const { return m_highest; }

private:
    double xForDate(QDate date) const;
    double yForIndex(double index) const;
    /// A band of the adult scale as the chart shows it.
    struct Zone {
        QRectF rect;
        QColor colour;
        QString name;
    };
    std::vector<Zone> zones() const;
    void drawZones(QPainter& painter) const;
    void drawZoneNames(QPainter& painter) const;
    void drawAxes(QPainter& painter) const;

    std::vector<TrajectoryVisit> m_visits;
    QDate m_first; ///< the left edge of the axis
    QDate m_last;  ///< its right edge
    double m_lowest = kLowestIndex;
    double m_highest = kHighestIndex;
};

} // namespace vimora::chart
