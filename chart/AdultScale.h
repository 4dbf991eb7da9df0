#pragma once

#include "Chart.h"
#include "engine/ReferenceThresholds.h"

namespace vimora::chart {

// The adult bands as one horizontal scale in their colours, their limits written under it, the
// patient's index marked on it and the normal weight range for the height in words.
class AdultScale : public Chart {
public:
    // The geometry, in the drawing's own pixels.
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 316;
    static constexpr int kBarLeft = 30;
    static constexpr int kBarWidth = 620;
    static constexpr int kBarTop = 92;
    static constexpr int kBarHeight = 80;
    static constexpr int kPointY = kBarTop + 58; ///< below the names of the bands
    /// The index scale, fixed: from grade V of underweight to well into grade III of obesity. A
    /// patient beyond it stands at its edge, with an arrow.
    static constexpr double kLowestIndex = 8;
    static constexpr double kHighestIndex = 48;

    /// `normalRange` is the sentence on the normal weights, as the sheet words it.
    AdultScale(Sex sex, Patient patient, QString normalRange);

    QSize size() const override { return {kWidth, kHeight}; }
    void paint(QPainter& painter) const override;
    QString description() const override;

private:
    /// Where an index stands on the scale (off the bar for an index beyond it).
    static double xForIndex(double index);
    PointMark mark() const;

    Sex m_sex;
    Patient m_patient;
    QString m_normalRange;
};

} // namespace vimora::chart
