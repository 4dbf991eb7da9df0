#include "PatientSheet.h"

#include "CalculationChart.h"
#include "ChartColours.h"
#include "SheetParagraph.h"
#include "Version.h"
#include "VisitPlausibility.h"
#include "Wording.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QStandardPaths>

#include <array>

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

// A paragraph with the French spaces, drawn when there is a painter; returns its height.
double paragraph(QPainter* painter, const QString& words, const QFont& font, const QPointF& topLeft,
                 double width) {
    const SheetParagraph laidOut(vimora::chart::withFrenchSpacing(words), font, width);
    if (painter != nullptr)
        laidOut.draw(*painter, topLeft);
    return laidOut.height();
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
    const std::unique_ptr<vimora::chart::Chart> chart = vimora::chart::chartFor(m_calculation, m_curves);
    const QSizeF size = chart->size();
    const double top = writeTexts(nullptr) + kChartGap;
    const double room = kFooterTop - kChartGap - top;
    const double width = std::min(kContentWidth, room * size.width() / size.height());
    const double height = width * size.height() / size.width();
    // Centred in the room left, so that a short scale does not leave the page's foot empty.
    return {kMargin + (kContentWidth - width) / 2, top + (room - height) / 2, width, height};
}

QString PatientSheet::defaultPdfPath() const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(folder).filePath(m_when.toString(QStringLiteral("'Fiche IMC 'yyyy-MM-dd' 'HH'h'mm'.pdf'")));
}

double PatientSheet::writeTexts(QPainter* painter) const {
    const vimora::Calculation& c = m_calculation;
    struct Line {
        QString label;
        QString value;
    };
    const std::array<Line, 8> lines{{
        {QStringLiteral("Nom du patient"), m_name},
        {QStringLiteral("Remarque"), m_remark},
        {QStringLiteral("Sexe"), vimora::chart::sexName(c.sex)},
        {QStringLiteral("Âge"), vimora::chart::ageInWords(c.measures.age)},
        {QStringLiteral("Poids"), text(c.weightText) + QStringLiteral(" kg")},
        {QStringLiteral("Taille"), text(c.heightText) + QStringLiteral(" m")},
        {QStringLiteral("Index de Masse Corporelle"), text(c.indexText) + QStringLiteral(" kg/m²")},
        {QStringLiteral("Poids normal"),
         vimora::chart::weightRange(text(c.minimumWeightText), text(c.maximumWeightText))},
    }};
    double y = kTextTop;
    // A label and its value; a long value goes on over the next lines, inside the margins.
    auto writeLine = [painter, &y](const Line& line) {
        if (line.value.isEmpty())
            return;
        if (painter != nullptr) {
            painter->setFont(chartFont(kTextFont));
            painter->drawText(QRectF(kMargin, y, kLabelWidth, kLineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                              vimora::chart::withFrenchSpacing(line.label + QStringLiteral(" :")));
        }
        const QFont bold = chartFont(kTextFont, true);
        const double lead = (kLineHeight - QFontMetricsF(bold).height()) / 2;
        const double height =
            paragraph(painter, line.value, bold, QPointF(kMargin + kLabelWidth, y + lead), kValueWidth);
        y += std::max(kLineHeight, height + 2 * lead + kLineGap);
    };
    for (const Line& line : lines)
        writeLine(line);

    // The band as the window shows it: its text in the band's text colour on the band's colour,
    // the paper standing for the window's background.
    y += kBandGap;
    if (painter != nullptr) {
        const QRectF band(kMargin, y, kContentWidth, kBandHeight);
        QPalette paper;
        paper.setColor(QPalette::Base, Qt::white);
        paper.setColor(QPalette::Text, kInk);
        painter->fillRect(band, vimora::chart::toQColor(c.band.background, paper));
        painter->setPen(vimora::chart::toQColor(c.band.textColour, paper));
        painter->setFont(chartFont(kBandFont, true));
        painter->drawText(band, Qt::AlignCenter, text(c.band.band));
        painter->setPen(kInk);
    }
    y += kBandHeight + kBandGap;
    if (const std::optional<vimora::WhoScore> score = whoScoreOf(c))
        writeLine({vimora::chart::whoLabel(), vimora::chart::whoFigures(*score)});

    const QString warning = implausibilityWarning(c);
    if (!warning.isEmpty()) {
        const QFont font = chartFont(kTextFont, true);
        const QPointF corner(kMargin + kWarningPadding, y + kWarningPadding);
        if (painter != nullptr)
            painter->setPen(vimora::chart::kObesityColour);
        const double height = paragraph(painter, warning, font, corner, kContentWidth - 2 * kWarningPadding);
        if (painter != nullptr) {
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(QRectF(kMargin, y, kContentWidth, height + 2 * kWarningPadding));
            painter->setPen(kInk);
        }
        y += height + 2 * kWarningPadding + kBandGap;
    }
    writeLine({QStringLiteral("Conseils"), text(c.band.advice)});
    writeLine({QStringLiteral("Objectif"), text(c.band.objective)});
    return y;
}

void PatientSheet::paint(QPainter& painter, const QSizeF& page) const {
    painter.save();
    const double scale = std::min(page.width() / kPageWidth, page.height() / kPageHeight);
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(kInk);

    painter.setFont(chartFont(kTitleFont, true));
    painter.drawText(QRectF(kMargin, kMargin, kContentWidth, kTitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     title());
    painter.setFont(chartFont(kDateFont));
    painter.drawText(QRectF(kMargin, kMargin, kContentWidth, kTitleHeight), Qt::AlignRight | Qt::AlignVCenter,
                     madeOn(m_when));
    painter.drawLine(QPointF(kMargin, kRuleY), QPointF(kMargin + kContentWidth, kRuleY));

    writeTexts(&painter);
    vimora::chart::paintFitted(painter, *vimora::chart::chartFor(m_calculation, m_curves), chartArea());

    painter.setPen(kInk);
    painter.drawLine(QPointF(kMargin, kFooterTop), QPointF(kMargin + kContentWidth, kFooterTop));
    paragraph(&painter,
              QStringLiteral("Établi avec %1. %2")
                  .arg(QString::fromUtf8(vimora::kApplicationTitle), thresholdsUsed(m_calculation)),
              chartFont(kFooterFont), QPointF(kMargin, kFooterTop + 4), kContentWidth);
    painter.restore();
}

QString PatientSheet::title() const {
    return QStringLiteral("Fiche de corpulence");
}

void PatientSheet::render(QPagedPaintDevice& device) const {
    QPainter painter(&device);
    paint(painter, QSizeF(device.width(), device.height()));
}
