#include "PatientSheet.h"

#include "SheetParagraph.h"
#include "Version.h"
#include "chart/CalculationChart.h"
#include "chart/ChartColours.h"
#include "chart/Wording.h"
#include "engine/VisitPlausibility.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QStandardPaths>

namespace {

using vimora::chart::chartFont;
using vimora::chart::kInk;

constexpr double kMargin = 50;
constexpr double kContentWidth = PatientSheet::kPageWidth - 2 * kMargin;
constexpr double kTitleHeight = 30;
constexpr int kTitleFont = 22;
constexpr int kDateFont = 11;
constexpr double kRuleY = kMargin + 36;
constexpr double kTextTop = kMargin + 50;
constexpr int kTextFont = 12;
constexpr double kLineHeight = 19;
constexpr double kLineGap = 3;
constexpr double kLabelWidth = 175;
constexpr double kValueWidth = kContentWidth - kLabelWidth;
constexpr double kBandGap = 10;
constexpr double kBandHeight = 28;
constexpr int kBandFont = 14;
constexpr double kWarningPadding = 6;
constexpr double kChartGap = 16;
constexpr double kFooterTop = PatientSheet::kPageHeight - 80;
constexpr int kFooterFont = 9;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString thresholdsUsed(const vimora::Calculation& calculation) {
    const vimora::ReferenceThresholds& t = calculation.thresholds;
    const QString values =
        QStringLiteral("supérieur %1, inférieur %2, obésité %3")
            .arg(vimora::chart::limitText(t.upperThreshold), vimora::chart::limitText(t.lowerThreshold),
                 vimora::chart::limitText(t.obesityThreshold));
    if (!calculation.referenceRow)
        return QStringLiteral("Seuils de l'adulte (%1).").arg(values);
    const double rowAge = *calculation.referenceRow / 4.0;
    return QStringLiteral("Seuils de la table de l'enfant, %1, ligne %2 (%3).")
        .arg(vimora::chart::childrenWord(calculation.sex),
             rowAge > 0 ? QStringLiteral("de ") + vimora::chart::ageInWords(rowAge)
                        : QStringLiteral("de la naissance"),
             values);
}

} // namespace

std::optional<vimora::WhoScore> whoScoreOf(const vimora::Calculation& calculation) {
    if (vimora::isAdult(calculation.measures.age))
        return std::nullopt;
    return vimora::whoBmiForAge(calculation.sex, calculation.measures.age * vimora::kDaysPerYear,
                                calculation.index);
}

QString implausibilityWarning(const vimora::Calculation& calculation) {
    const vimora::Measures& m = calculation.measures;
    const vimora::ImplausibleFigures implausible =
        vimora::implausibleFigures(m.age, m.weight, m.height, calculation.index);
    QStringList found;
    if (implausible.age)
        found << QStringLiteral("âge de %1 ans").arg(text(calculation.ageText));
    if (implausible.weight)
        found << QStringLiteral("poids de %1 kg").arg(text(calculation.weightText));
    if (implausible.height)
        found << QStringLiteral("taille de %1 m").arg(text(calculation.heightText));
    if (implausible.index)
        found << QStringLiteral("IMC de %1").arg(text(calculation.indexText));
    if (found.isEmpty())
        return {};
    return QStringLiteral("Attention : valeurs invraisemblables (%1). Ces chiffres ne peuvent pas décrire un "
                          "patient : vérifiez l'âge, le poids et la taille saisis.")
        .arg(found.join(QStringLiteral(", ")));
}

QString patientSummary(const vimora::Calculation& calculation) {
    return QStringLiteral("%1, %2, %3 kg, %4 m")
        .arg(vimora::chart::sexName(calculation.sex), vimora::chart::ageInWords(calculation.measures.age),
             text(calculation.weightText), text(calculation.heightText));
}

PatientSheet::PatientSheet(vimora::Calculation calculation, QString name, QString remark, QDateTime when,
                           vimora::chart::Curves curves)
    : m_calculation(std::move(calculation))
    , m_name(std::move(name))
    , m_remark(std::move(remark))
    , m_when(std::move(when))
    , m_curves(curves) {}

QRectF PatientSheet::chartArea() const {
    const SheetPages pages(blocks(), kMargin, kMargin, kContentWidth, kFooterTop);
    for (const SheetItem& item : pages.items(0)) {
        if (item.kind == SheetItem::Chart)
            return chartPlace(item.rect, vimora::chart::chartFor(m_calculation, m_curves)->size());
    }
    return {};
}

QRectF PatientSheet::chartPlace(const QRectF& room, const QSizeF& size) {
    const double top = room.top() + kChartGap;
    const double height = room.bottom() - top;
    const double width = std::min(kContentWidth, height * size.width() / size.height());
    const double chartHeight = width * size.height() / size.width();
    // Centred in the room left, so that a short scale does not leave the page's foot empty.
    return {kMargin + (kContentWidth - width) / 2, top + (height - chartHeight) / 2, width, chartHeight};
}

QString PatientSheet::defaultPdfPath() const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(folder).filePath(m_when.toString(QStringLiteral("'Fiche IMC 'yyyy-MM-dd' 'HH'h'mm'.pdf'")));
}

std::vector<SheetBlock> PatientSheet::blocks() const {
    const vimora::Calculation& c = m_calculation;
    std::vector<SheetBlock> blocks;
    const QString title = this->title();
    const QString made = madeOn(m_when);
    blocks.push_back(
        {kTextTop - kMargin, SheetItem::Text, [title, made](QPainter& painter, const QRectF& at) {
             const QRectF head(at.topLeft(), QSizeF(kContentWidth, kTitleHeight));
             painter.setFont(chartFont(kTitleFont, true));
             painter.drawText(head, Qt::AlignLeft | Qt::AlignVCenter, title);
             painter.setFont(chartFont(kDateFont));
             painter.drawText(head, Qt::AlignRight | Qt::AlignVCenter, made);
             painter.drawLine(QPointF(kMargin, kRuleY), QPointF(kMargin + kContentWidth, kRuleY));
         }});

    // A label and its value; a long value goes on over the next lines, inside the margins.
    auto line = [&blocks](const QString& label, const QString& value) {
        if (value.isEmpty())
            return;
        const QFont bold = chartFont(kTextFont, true);
        const double lead = (kLineHeight - QFontMetricsF(bold).height()) / 2;
        const SheetParagraph paragraph(vimora::chart::withFrenchSpacing(value), bold, kValueWidth);
        const QString labelText = vimora::chart::withFrenchSpacing(label + QStringLiteral(" :"));
        blocks.push_back({std::max(kLineHeight, paragraph.height() + 2 * lead + kLineGap), SheetItem::Text,
                          [labelText, paragraph, lead](QPainter& painter, const QRectF& at) {
                              painter.setFont(chartFont(kTextFont));
                              painter.drawText(QRectF(kMargin, at.top(), kLabelWidth, kLineHeight),
                                               Qt::AlignLeft | Qt::AlignVCenter, labelText);
                              paragraph.draw(painter, QPointF(kMargin + kLabelWidth, at.top() + lead));
                          }});
    };
    line(QStringLiteral("Nom du patient"), m_name);
    line(QStringLiteral("Remarque"), m_remark);
    line(QStringLiteral("Sexe"), vimora::chart::sexName(c.sex));
    line(QStringLiteral("Âge"), vimora::chart::ageInWords(c.measures.age));
    line(QStringLiteral("Poids"), text(c.weightText) + QStringLiteral(" kg"));
    line(QStringLiteral("Taille"), text(c.heightText) + QStringLiteral(" m"));
    line(QStringLiteral("Index de Masse Corporelle"), text(c.indexText) + QStringLiteral(" kg/m²"));
    line(QStringLiteral("Poids normal"),
         vimora::chart::weightRange(text(c.minimumWeightText), text(c.maximumWeightText)));

    // The band as the window shows it: its text in the band's text colour on the band's colour,
    // the paper standing for the window's background.
    blocks.push_back({kBandGap, SheetItem::Text, {}});
    const vimora::BandResult band = c.band;
    blocks.push_back({kBandHeight + kBandGap, SheetItem::Text, [band](QPainter& painter, const QRectF& at) {
                          const QRectF place(at.topLeft(), QSizeF(kContentWidth, kBandHeight));
                          QPalette paper;
                          paper.setColor(QPalette::Base, Qt::white);
                          paper.setColor(QPalette::Text, kInk);
                          painter.fillRect(place, vimora::chart::toQColor(band.background, paper));
                          painter.setPen(vimora::chart::toQColor(band.textColour, paper));
                          painter.setFont(chartFont(kBandFont, true));
                          painter.drawText(place, Qt::AlignCenter, text(band.band));
                          painter.setPen(kInk);
                      }});
    if (const std::optional<vimora::WhoScore> score = whoScoreOf(c))
        line(vimora::chart::whoLabel(), vimora::chart::whoFigures(*score));

    const QString warning = implausibilityWarning(c);
    if (!warning.isEmpty()) {
        const SheetParagraph paragraph(vimora::chart::withFrenchSpacing(warning), chartFont(kTextFont, true),
                                       kContentWidth - 2 * kWarningPadding);
        const double height = paragraph.height();
        blocks.push_back(
            {height + 2 * kWarningPadding + kBandGap, SheetItem::Text,
             [paragraph, height](QPainter& painter, const QRectF& at) {
                 painter.setPen(vimora::chart::kObesityColour);
                 paragraph.draw(painter, at.topLeft() + QPointF(kWarningPadding, kWarningPadding));
                 painter.setBrush(Qt::NoBrush);
                 painter.drawRect(QRectF(kMargin, at.top(), kContentWidth, height + 2 * kWarningPadding));
                 painter.setPen(kInk);
             }});
    }
    line(QStringLiteral("Conseils"), text(c.band.advice));
    line(QStringLiteral("Objectif"), text(c.band.objective));

    // The chart takes the room left above the footer.
    double textsEnd = kMargin;
    for (const SheetBlock& block : blocks)
        textsEnd += block.height;
    std::shared_ptr<const vimora::chart::Chart> chart = vimora::chart::chartFor(c, m_curves);
    blocks.push_back(
        {kFooterTop - kChartGap - textsEnd, SheetItem::Chart, [chart](QPainter& painter, const QRectF& at) {
             vimora::chart::paintFitted(painter, *chart, chartPlace(at, chart->size()));
         }});
    return blocks;
}

void PatientSheet::paint(QPainter& painter, const QSizeF& page) const {
    painter.save();
    const double scale = std::min(page.width() / kPageWidth, page.height() / kPageHeight);
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(kInk);
    SheetPages(blocks(), kMargin, kMargin, kContentWidth, kFooterTop).paint(painter, 0);

    painter.setPen(kInk);
    painter.drawLine(QPointF(kMargin, kFooterTop), QPointF(kMargin + kContentWidth, kFooterTop));
    const SheetParagraph footer(
        vimora::chart::withFrenchSpacing(
            QStringLiteral("Établi avec %1. %2")
                .arg(QString::fromUtf8(vimora::kApplicationTitle), thresholdsUsed(m_calculation))),
        chartFont(kFooterFont), kContentWidth);
    footer.draw(painter, QPointF(kMargin, kFooterTop + 4));
    painter.restore();
}

QString PatientSheet::title() const {
    return QStringLiteral("Fiche de corpulence");
}

void PatientSheet::render(QPagedPaintDevice& device) const {
    QPainter painter(&device);
    paint(painter, QSizeF(device.width(), device.height()));
}
