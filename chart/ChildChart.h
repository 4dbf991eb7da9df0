#pragma once

#include "Chart.h"
#include "ReferenceThresholds.h"

#include <QColor>

#include <cmath>
#include <optional>

namespace vimora::chart {

// The children's chart of one sex from birth to 18 years: the zones of the child bands and the
// three thresholds drawn as steps, one per quarter-year row of the reference table, as the
// program applies them; optionally the patient as a point at the exact age and index.
inline constexpr int kWidth = 680;
inline constexpr int kHeight = 500;

inline constexpr int kQuarters = 72;        ///< the last row, 18 years
inline constexpr int kPixelsPerQuarter = 8; ///< 32 pixels per year
inline constexpr int kLeft = 70;
inline constexpr int kRight = kLeft + kQuarters * kPixelsPerQuarter;

/// The usual index range; a patient outside it widens the axis.
inline constexpr int kLowestIndex = 10;
inline constexpr int kHighestIndex = 32;
inline constexpr int kPixelsPerUnit = 16;
inline constexpr int kTop = 50;
inline constexpr int kBottom = kTop + (kHighestIndex - kLowestIndex) * kPixelsPerUnit;

inline constexpr int kPenWidth = 2;

/// The thresholds' colours: the band colours of the results that begin at them.
extern const QColor kLowerColour;   ///< below it: underweight
extern const QColor kUpperColour;   ///< from it: obesity degree 1
extern const QColor kObesityColour; ///< from it: obesity degree 2

inline constexpr int xForQuarter(int quarter) {
    return kLeft + quarter * kPixelsPerQuarter;
}

/// The row of an index on the usual range, rounded to the nearest pixel.
inline int yForIndex(double index) {
    return kBottom - static_cast<int>(std::lround((index - kLowestIndex) * kPixelsPerUnit));
}

class ChildChart : public Chart {
public:
    explicit ChildChart(Sex sex, std::optional<Patient> patient = std::nullopt);

    QSize size() const override { return {kWidth, kHeight}; }
    void paint(QPainter& painter) const override;
    QPointF patientPosition() const override;
    QString description() const override;

    QString title() const;
    double lowestIndex() const { return m_lowest; }
    double highestIndex() const { return m_highest; }
    /// A point of the chart, in its coordinates.
    QPointF position(double age, double index) const;

private:
    double yFor(double index) const;
    void fillZones(QPainter& painter) const;
    void drawAxes(QPainter& painter) const;
    void drawSteps(QPainter& painter, double ReferenceThresholds::*threshold, const QColor& colour) const;
    void labelZones(QPainter& painter) const;
    void drawPatient(QPainter& painter) const;

    Sex m_sex;
    std::optional<Patient> m_patient;
    double m_lowest = kLowestIndex;
    double m_highest = kHighestIndex;
    double m_tickStep = 0;
};

} // namespace vimora::chart
