#include "ChildChart.h"

#include "ChartColours.h"
#include "Wording.h"
#include "engine/Bands.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace vimora::chart {

namespace {

const QColor kGridColour(205, 205, 205);

constexpr int kTitleTop = 10;
constexpr int kTitleFont = 15;
constexpr int kTickFont = 12;
constexpr int kYearLabelWidth = 30;
constexpr int kAxisTitleFont = 13;
constexpr int kAxisTitleHeight = 18;
constexpr int kAgeTitleTop = ChildChart::kBottom + 26;
constexpr int kIndexTitleX = 18;
constexpr int kIndexTitleWidth = 240;
constexpr int kIndexStep = 2;
constexpr int kLegendTop = ChildChart::kBottom + 66;
constexpr int kLegendLine = 28;
constexpr int kLegendGap = 8;
constexpr int kLegendSpacing = 40;
constexpr int kLegendPenWidth = 3;
constexpr int kZoneFont = 13;
constexpr int kZoneNamePadding = 4;
constexpr int kLabelFont = 13;
constexpr int kLabelHeight = 20;
constexpr int kLabelPadding = 12;
constexpr int kLastRowDot = 3;
/// Room kept between a zone's name and a curve, on top of the pen's half width.
constexpr int kClearance = 1;
/// Room kept around the patient's label, which is boxed: a little more, so that it reads apart.
constexpr int kLabelClearance = 3;
constexpr int kInsetFromFrame = 2;
/// How far a zone's name moves off the middle of its zone at each try.
constexpr double kShiftStep = 6;

ReferenceThresholds rowThresholds(Sex sex, int quarter) {
    return lookupReferenceThresholds(sex, quarter / 4.0);
}

double yFor(double index) {
    return ChildChart::kBottom - (index - ChildChart::kLowestIndex) * ChildChart::kPixelsPerIndexUnit;
}

QRectF plotArea() {
    return {QPointF(ChildChart::kLeft, ChildChart::kTop), QPointF(ChildChart::kRight, ChildChart::kBottom)};
}

// The row (in quarters) at which each child band is best named, in the order of increasing index:
// where the zone is wide enough for its name.
constexpr std::array<int, 4> kNameQuarters{36, 36, 60, 16};

// The three threshold curves as the thin rectangles their steps cover, with room to spare.
std::vector<QRectF> curveAreas(Sex sex, double clearance) {
    const double reach = ChildChart::kPenWidth / 2.0 + clearance;
    std::vector<QRectF> areas;
    for (const double ReferenceThresholds::*threshold :
         {&ReferenceThresholds::lowerThreshold, &ReferenceThresholds::upperThreshold,
          &ReferenceThresholds::obesityThreshold}) {
        for (int quarter = 0; quarter < ChildChart::kQuarters; ++quarter) {
            const double y = yFor(rowThresholds(sex, quarter).*threshold);
            const double next = yFor(rowThresholds(sex, quarter + 1).*threshold);
            const double x = ChildChart::xForQuarter(quarter);
            const double end = ChildChart::xForQuarter(quarter + 1);
            areas.push_back(QRectF(QPointF(x, y), QPointF(end, y)).adjusted(-reach, -reach, reach, reach));
            areas.push_back(QRectF(QPointF(end, std::min(y, next)), QPointF(end, std::max(y, next)))
                                .adjusted(-reach, -reach, reach, reach));
        }
        const QPointF last(ChildChart::xForQuarter(ChildChart::kQuarters),
                           yFor(rowThresholds(sex, ChildChart::kQuarters).*threshold));
        const double dot = kLastRowDot + reach;
        areas.emplace_back(last - QPointF(dot, dot), QSizeF(2 * dot, 2 * dot));
    }
    return areas;
}

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
    painter.setFont(chartFont(kAxisTitleFont));
    double x = ChildChart::kLeft;
    for (const Entry& entry : entries) {
        const double width = painter.fontMetrics().horizontalAdvance(entry.text);
        painter.setPen(QPen(entry.colour, kLegendPenWidth));
        painter.drawLine(QPointF(x, kLegendTop), QPointF(x + kLegendLine, kLegendTop));
        painter.setPen(kInk);
        const double textLeft = x + kLegendLine + kLegendGap;
        painter.drawText(
            QRectF(textLeft, kLegendTop - kAxisTitleHeight / 2.0, width + kLegendGap, kAxisTitleHeight),
            Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        x = textLeft + width + kLegendSpacing;
    }
}

QString bandText(std::string_view band) {
    return QString::fromUtf8(band.data(), static_cast<qsizetype>(band.size()));
}

} // namespace

ChildChart::ChildChart(Sex sex, std::optional<Patient> patient, std::vector<QRectF> keepClear)
    : m_sex(sex)
    , m_patient(std::move(patient))
    , m_keepClear(std::move(keepClear)) {}

QString ChildChart::title() const {
    return m_patient
               ? QStringLiteral("Corpulence des %1, de la naissance à 18 ans").arg(childrenWord(m_sex))
               : QStringLiteral("Seuils de l'IMC des %1, de la naissance à 18 ans").arg(childrenWord(m_sex));
}

QPointF ChildChart::position(double age, double index) {
    return {kLeft + age * 4 * kPixelsPerQuarter, yFor(index)};
}

PointMark ChildChart::markAt(double age, double index) {
    return markOnIndexScale(position(age, index), index, kLowestIndex, kHighestIndex, kTop, kBottom);
}

PointMark ChildChart::mark() const {
    if (!m_patient)
        return {};
    return markAt(m_patient->age, m_patient->index);
}

QString ChildChart::description() const {
    QString text = QStringLiteral("Courbe de corpulence des %1 de la naissance à 18 ans : seuils inférieur, "
                                  "supérieur et d'obésité de l'IMC selon l'âge.")
                       .arg(childrenWord(m_sex));
    if (!m_patient)
        return text;
    QString band = m_patient->band;
    if (band.endsWith(QLatin1Char('.')))
        band.chop(1);
    const bool male = m_sex == Sex::Male;
    const QString newborn = male ? QStringLiteral("nouveau-né") : QStringLiteral("nouveau-née");
    const QString age = m_patient->age > 0 ? QStringLiteral("de ") + ageInWords(m_patient->age) : newborn;
    text += (male ? QStringLiteral(" Le patient, un %1 %2, a un IMC de %3 : « %4 ».")
                  : QStringLiteral(" La patiente, une %1 %2, a un IMC de %3 : « %4 »."))
                .arg(childWord(m_sex), age, m_patient->indexText, band);
    if (mark().edge != PointMark::Inside)
        text +=
            QStringLiteral(" Cet IMC est hors de l'échelle du graphique (%1 à %2) : son point est placé au "
                           "bord, une flèche vers l'extérieur.")
                .arg(limitText(kLowestIndex), limitText(kHighestIndex));
    return text;
}

QString ChildChart::labelText() const {
    return QStringLiteral("IMC %1 %2").arg(m_patient->indexText, atAge(m_patient->age));
}

std::optional<ChildChart::ZoneName> ChildChart::placedName(const NameRoom& room, std::size_t zone,
                                                           int quarter, const QString& text,
                                                           double shift) const {
    if (quarter < 0 || quarter > kQuarters)
        return std::nullopt;
    const std::vector<BandSpan> spans = bandSpans(quarter / 4.0, rowThresholds(m_sex, quarter));
    if (zone >= spans.size() || spans[zone].band != room.bands[zone].band)
        return std::nullopt;
    const double bottom = yFor(std::max(spans[zone].from.value_or(kLowestIndex), kLowestIndex));
    const double top = yFor(std::min(spans[zone].to.value_or(kHighestIndex), kHighestIndex));
    const QSizeF size = room.metrics.size(0, text) + QSizeF(kZoneNamePadding, kZoneNamePadding);
    const QRectF box(
        QPointF(xForQuarter(quarter) - size.width() / 2, (top + bottom - size.height()) / 2 + shift), size);
    const auto covers = [&box](const QRectF& area) {
        return box.intersects(area);
    };
    if (box.top() < top || box.bottom() > bottom || !plotArea().contains(box) ||
        std::any_of(room.obstacles.begin(), room.obstacles.end(), covers))
        return std::nullopt;
    return ZoneName{box, text, bandColour(spans[zone].background)};
}

std::optional<ChildChart::ZoneName> ChildChart::zoneName(const NameRoom& room, std::size_t zone) const {
    const QString oneLine = bandText(room.bands[zone].band);
    QString twoLines = oneLine;
    twoLines[twoLines.lastIndexOf(QLatin1Char(' '))] = QLatin1Char('\n');
    constexpr int kRows = kQuarters + 1;
    // Nearest rows first, alternately before and after the best one; one line, then two.
    const auto quarterOf = [zone](int tried) {
        const int distance = (tried / 2) % kRows;
        return kNameQuarters.at(zone) + (tried % 2 == 0 ? -distance : distance);
    };
    const auto textOf = [&](int tried) {
        return tried < 2 * kRows ? oneLine : twoLines;
    };
    for (int tried = 0; tried < 4 * kRows; ++tried) {
        if (std::optional<ZoneName> found = placedName(room, zone, quarterOf(tried), textOf(tried), 0))
            return found;
    }
    // Then off the middle of the zone, where what another drawing adds takes the middle.
    if (m_keepClear.empty())
        return std::nullopt;
    for (int tried = 0; tried < 4 * kRows; ++tried) {
        for (int step = 1; step * kShiftStep < kBottom - kTop; ++step) {
            for (const double signedShift : {-step * kShiftStep, step * kShiftStep}) {
                if (std::optional<ZoneName> found =
                        placedName(room, zone, quarterOf(tried), textOf(tried), signedShift))
                    return found;
            }
        }
    }
    return std::nullopt;
}

std::vector<ChildChart::ZoneName> ChildChart::zoneNames() const {
    NameRoom room{curveAreas(m_sex, kClearance), bandSpans(kAdultAge, rowThresholds(m_sex, kQuarters)),
                  QFontMetricsF(chartFont(kZoneFont, true))};
    room.obstacles.insert(room.obstacles.end(), m_keepClear.begin(), m_keepClear.end());
    if (m_patient)
        room.obstacles.push_back(
            pointArea(mark()).adjusted(-kClearance, -kClearance, kClearance, kClearance));
    std::vector<ZoneName> names;
    for (std::size_t zone = 0; zone < room.bands.size() && zone < kNameQuarters.size(); ++zone) {
        if (std::optional<ZoneName> found = zoneName(room, zone))
            names.push_back(*found);
    }
    return names;
}

ChildChart::Texts ChildChart::texts() const {
    Texts texts;
    for (const ZoneName& name : zoneNames())
        texts.zoneNames.push_back(name.box);
    if (!m_patient)
        return texts;
    const QFontMetricsF metrics(chartFont(kLabelFont, true));
    const QSizeF size(metrics.horizontalAdvance(labelText()) + kLabelPadding, kLabelHeight);
    std::vector<QRectF> obstacles = curveAreas(m_sex, kLabelClearance);
    obstacles.push_back(pointArea(mark()).adjusted(-kClearance, -kClearance, kClearance, kClearance));
    const QRectF area =
        plotArea().adjusted(kInsetFromFrame, kInsetFromFrame, -kInsetFromFrame, -kInsetFromFrame);
    texts.label = placeLabel(mark().centre, size, area, obstacles, texts.zoneNames);
    return texts;
}

void ChildChart::paint(QPainter& painter) const {
    painter.save();
    beginChart(painter, size(), title(), kTitleTop, kTitleFont);

    fillZones(painter);
    drawAxes(painter);
    drawSteps(painter, &ReferenceThresholds::lowerThreshold, kLowerColour);
    drawSteps(painter, &ReferenceThresholds::upperThreshold, kUpperColour);
    drawSteps(painter, &ReferenceThresholds::obesityThreshold, kObesityColour);
    painter.setFont(chartFont(kZoneFont, true));
    const std::vector<ZoneName> names = zoneNames();
    for (const ZoneName& name : names) {
        painter.setPen(name.colour);
        painter.drawText(name.box, Qt::AlignCenter, name.text);
    }
    drawLegend(painter);
    if (m_patient)
        drawPatient(painter, texts().label);
    painter.restore();
}

void ChildChart::fillZones(QPainter& painter) const {
    for (int quarter = 0; quarter < kQuarters; ++quarter) {
        const double age = quarter / 4.0;
        for (const BandSpan& span : bandSpans(age, rowThresholds(m_sex, quarter))) {
            const double top = yFor(std::min(span.to.value_or(kHighestIndex), kHighestIndex));
            const double bottom = yFor(std::max(span.from.value_or(kLowestIndex), kLowestIndex));
            painter.fillRect(QRectF(xForQuarter(quarter), top, kPixelsPerQuarter, bottom - top),
                             paleColour(bandColour(span.background)));
        }
    }
}

void ChildChart::drawAxes(QPainter& painter) {
    painter.setFont(chartFont(kTickFont));
    painter.setPen(QPen(kGridColour, 1));
    constexpr int kYears = kQuarters / 4;
    for (int year = 0; year <= kYears; ++year)
        painter.drawLine(xForQuarter(4 * year), kTop, xForQuarter(4 * year), kBottom);
    for (int index = static_cast<int>(kLowestIndex); index <= kHighestIndex; index += kIndexStep)
        painter.drawLine(QPointF(kLeft, yFor(index)), QPointF(kRight, yFor(index)));

    painter.setPen(kInk);
    painter.drawRect(kLeft, kTop, kRight - kLeft, kBottom - kTop);
    for (int year = 0; year <= kYears; ++year) {
        const int x = xForQuarter(4 * year);
        painter.drawLine(x, kBottom, x, kBottom + kTickLength);
        painter.drawText(
            QRect(x - kYearLabelWidth / 2, kBottom + kTickLength + 2, kYearLabelWidth, kTickLabelHeight),
            Qt::AlignCenter, QString::number(year));
    }
    drawIndexAxis(painter, kLeft, static_cast<int>(kLowestIndex), static_cast<int>(kHighestIndex), kIndexStep,
                  yFor);

    painter.setFont(chartFont(kAxisTitleFont));
    painter.drawText(QRect(kLeft, kAgeTitleTop, kRight - kLeft, kAxisTitleHeight), Qt::AlignCenter,
                     QStringLiteral("Âge (années)"));
    painter.save();
    painter.translate(kIndexTitleX, (kTop + kBottom) / 2.0);
    painter.rotate(-90);
    painter.drawText(QRect(-kIndexTitleWidth / 2, -kAxisTitleHeight / 2, kIndexTitleWidth, kAxisTitleHeight),
                     Qt::AlignCenter, QStringLiteral("IMC (kg/m²)"));
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
    painter.drawEllipse(QPointF(xForQuarter(kQuarters), yFor(rowThresholds(m_sex, kQuarters).*threshold)),
                        kLastRowDot, kLastRowDot);
    painter.setBrush(Qt::NoBrush);
}

void ChildChart::drawPatient(QPainter& painter, const std::optional<LabelPlace>& label) const {
    const QString text = labelText();
    painter.setFont(chartFont(kLabelFont, true));
    const QSizeF size(painter.fontMetrics().horizontalAdvance(text) + kLabelPadding, kLabelHeight);
    const QRectF frame(QPointF(kLeft, kTop + kInsetFromFrame), QPointF(kRight, kBottom - kInsetFromFrame));
    drawLabelledPoint(painter, mark(), text, size, label, frame, kLabelPadding);
}

} // namespace vimora::chart
