#pragma once

#include "Chart.h"
#include "engine/ReferenceThresholds.h"

#include <QFontMetricsF>

#include <optional>
#include <vector>

namespace vimora::chart {

// The children's chart of one sex from birth to 18 years: the zones of the child bands and the
// three thresholds drawn as steps, one per quarter-year row of the reference table, as the
// program applies them; optionally the patient as a point at the exact age and index.
class ChildChart : public Chart {
public:
    // The geometry, in the drawing's own pixels.
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 500;
    static constexpr int kQuarters = 72;        ///< the last row, 18 years
    static constexpr int kPixelsPerQuarter = 8; ///< 32 pixels per year
    static constexpr int kLeft = 70;
    static constexpr int kRight = kLeft + kQuarters * kPixelsPerQuarter;
    static constexpr int kTop = 50;
    static constexpr int kPixelsPerIndexUnit = 16;
    /// The index axis, fixed: a patient beyond it stands at its edge, with an arrow.
    static constexpr double kLowestIndex = 10;
    static constexpr double kHighestIndex = 32;
    static constexpr int kBottom =
        kTop + static_cast<int>(kHighestIndex - kLowestIndex) * kPixelsPerIndexUnit;
    static constexpr int kPenWidth = 2;

    /// The zones' names keep clear of the areas in `keepClear` (what another drawing adds).
    explicit ChildChart(Sex sex, std::optional<Patient> patient = std::nullopt,
                        std::vector<QRectF> keepClear = {});

    QSize size() const override { return {kWidth, kHeight}; }
    void paint(QPainter& painter) const override;
    QString description() const override;

    static constexpr int xForQuarter(int quarter) { return kLeft + quarter * kPixelsPerQuarter; }
    /// A point at this age and index, in the chart's coordinates (off the axis for an index
    /// beyond it).
    static QPointF position(double age, double index);
    /// Where a point at this age and index is drawn: at the edge of the index axis, with an arrow,
    /// when beyond it.
    static PointMark markAt(double age, double index);

    /// The texts over the plot: each zone's name, and the patient's label where it covers no
    /// curve and no name (none when the plot has no room for it: the label then goes above).
    struct Texts {
        std::vector<QRectF> zoneNames;
        std::optional<LabelPlace> label;
    };
    Texts texts() const;

private:
    struct ZoneName {
        QRectF box;
        QString text;
        QColor colour;
    };
    /// What a zone's name must keep clear of, the zones of the chart's last row, and its font.
    struct NameRoom {
        std::vector<QRectF> obstacles;
        std::vector<BandSpan> bands;
        QFontMetricsF metrics;
    };
    std::vector<ZoneName> zoneNames() const;
    /// Where zone `zone`'s name goes, or nothing when no place holds it.
    std::optional<ZoneName> zoneName(const NameRoom& room, std::size_t zone) const;
    /// The box of `text` at row `quarter`, in the middle of zone `zone` or `shift` pixels off it;
    /// none where it would not fit.
    std::optional<ZoneName> placedName(const NameRoom& room, std::size_t zone, int quarter,
                                       const QString& text, double shift) const;
    PointMark mark() const;
    QString labelText() const;
    QString title() const;
    void fillZones(QPainter& painter) const;
    static void drawAxes(QPainter& painter);
    void drawSteps(QPainter& painter, double ReferenceThresholds::*threshold, const QColor& colour) const;
    void drawPatient(QPainter& painter, const std::optional<LabelPlace>& label) const;

    Sex m_sex;
    std::optional<Patient> m_patient;
    std::vector<QRectF> m_keepClear;
};

} // namespace vimora::chart
