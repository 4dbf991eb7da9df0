#pragma once

#include "Chart.h"

namespace vimora::chart {

// The adult bands as one horizontal scale in their colours, their limits written under it, the
// patient's index marked on it and the normal weight range for the height in words.
class AdultScale : public Chart {
public:
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 230;
    static constexpr int kBarLeft = 40;
    static constexpr int kBarWidth = 600;
    static constexpr int kBarTop = 84;
    static constexpr int kBarHeight = 56;
    static constexpr int kPointY = kBarTop + 42; ///< below the names of the bands
    /// The usual range: from grade III of underweight to well into grade III of obesity. A
    /// patient outside it widens the scale.
    static constexpr double kLowestIndex = 13;
    static constexpr double kHighestIndex = 45;

    /// `normalRange` is the sentence on the normal weights, as the sheet words it.
    AdultScale(Patient patient, QString normalRange);

    QSize size() const override { return {kWidth, kHeight}; }
    void paint(QPainter& painter) const override;
    QPointF patientPosition() const override;
    QString description() const override;

    double lowestIndex() const { return m_lowest; }
    double highestIndex() const { return m_highest; }
    double xForIndex(double index) const;

private:
    Patient m_patient;
    QString m_normalRange;
    double m_lowest = kLowestIndex;
    double m_highest = kHighestIndex;
};

} // namespace vimora::chart
