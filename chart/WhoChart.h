#pragma once

#include "Chart.h"
#include "engine/ReferenceThresholds.h"

#include <array>
#include <optional>
#include <vector>

namespace vimora::chart {

/// The curves a child's chart shows: the reference table's thresholds, or the WHO's.
enum class Curves { Reference, Who };

// The WHO's curves of the body-mass index for age of one sex, from birth to 19 years: the median
// and the curves at -3, -2, -1, +1, +2 and +3 z-scores, each named at its end; optionally the
// patient as a point at the exact age and index.
class WhoChart : public Chart {
public:
    // The geometry, in the drawing's own pixels.
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 500;
    static constexpr int kYears = 19;
    static constexpr int kPixelsPerYear = 28;
    static constexpr int kLeft = 70;
    static constexpr int kRight = kLeft + kYears * kPixelsPerYear;
    static constexpr int kTop = 50;
    static constexpr int kPixelsPerIndexUnit = 12;
    /// The index axis, fixed, holding every curve: a patient beyond it stands at its edge.
    static constexpr double kLowestIndex = 8;
    static constexpr double kHighestIndex = 38;
    static constexpr int kBottom =
        kTop + static_cast<int>(kHighestIndex - kLowestIndex) * kPixelsPerIndexUnit;
    static constexpr int kPenWidth = 2;

    /// The z-scores of the curves, lowest first.
    static constexpr std::array<int, 7> kCurveZ{-3, -2, -1, 0, 1, 2, 3};

    explicit WhoChart(Sex sex, std::optional<Patient> patient = std::nullopt);

    QSize size() const override { return {kWidth, kHeight}; }
    void paint(QPainter& painter) const override;
    QString description() const override;

    /// A point at this age (years) and index, in the chart's coordinates.
    static QPointF position(double age, double index);
    /// Where a point at this age and index is drawn: at the edge of the index axis, with an arrow,
    /// when beyond it.
    static PointMark markAt(double age, double index);
    /// The curve of z-score `z` as drawn, from birth to 19 years.
    std::vector<QPointF> curve(int z) const;

private:
    std::vector<QRectF> curveAreas(double clearance) const;
    QString labelText() const;
    static void drawAxes(QPainter& painter);
    void drawCurves(QPainter& painter) const;
    void drawPatient(QPainter& painter) const;

    Sex m_sex;
    std::optional<Patient> m_patient;
    std::array<std::vector<QPointF>, kCurveZ.size()> m_curves;
};

} // namespace vimora::chart
