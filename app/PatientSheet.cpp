#include "PatientSheet.h"

#include "AdultScale.h"
#include "ChartColours.h"
#include "ChildChart.h"
#include "ErrorReport.h"
#include "WholeFile.h"

#include <QDir>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>

#include <array>

namespace {

using vimora::chart::chartFont;
using vimora::chart::kInk;

constexpr double kMargin = 50;
constexpr double kContentWidth = PatientSheet::kPageWidth - 2 * kMargin;
constexpr double kLineHeight = 19;
constexpr double kLabelWidth = 190;
constexpr double kChartTop = 410;
constexpr double kChartWidth = 460;
constexpr double kFooterTop = PatientSheet::kPageHeight - 80;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString normalRange(const vimora::Calculation& calculation) {
    return QStringLiteral("Poids normal pour %1 m : de %2 à %3 kg.")
        .arg(text(calculation.heightText), text(calculation.minimumWeightText),
             text(calculation.maximumWeightText));
}

QString thresholdsUsed(const vimora::Calculation& calculation) {
    const vimora::ReferenceThresholds& t = calculation.thresholds;
    const QString values =
        QStringLiteral("supérieur %1, inférieur %2, obésité %3")
            .arg(vimora::chart::limitText(t.upperThreshold), vimora::chart::limitText(t.lowerThreshold),
                 vimora::chart::limitText(t.obesityThreshold));
    if (!calculation.referenceRow)
        return QStringLiteral("Seuils de l'adulte (%1).").arg(values);
    const QString age = vimora::chart::ageInWords(*calculation.referenceRow / 4.0);
    return QStringLiteral("Seuils de la table de l'enfant, %1, ligne de %2 (%3).")
        .arg(calculation.sex == vimora::Sex::Male ? QStringLiteral("garçons") : QStringLiteral("filles"), age,
             values);
}

} // namespace

std::unique_ptr<vimora::chart::Chart> chartFor(const vimora::Calculation& calculation) {
    const vimora::chart::Patient patient{calculation.measures.age, calculation.index,
                                         text(calculation.indexText), text(calculation.band.band)};
    if (vimora::isAdult(calculation.measures.age))
        return std::make_unique<vimora::chart::AdultScale>(patient, normalRange(calculation));
    return std::make_unique<vimora::chart::ChildChart>(calculation.sex, patient);
}

PatientSheet::PatientSheet(vimora::Calculation calculation, QString name, QString remark, QDateTime when)
    : m_calculation(std::move(calculation))
    , m_name(std::move(name))
    , m_remark(std::move(remark))
    , m_when(std::move(when)) {}

QRectF PatientSheet::chartArea() const {
    const std::unique_ptr<vimora::chart::Chart> chart = chartFor(m_calculation);
    const double height = kChartWidth * chart->size().height() / chart->size().width();
    return {kMargin + (kContentWidth - kChartWidth) / 2, kChartTop, kChartWidth, height};
}

QString PatientSheet::defaultPdfPath() const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(folder).filePath(m_when.toString(QStringLiteral("'Fiche IMC 'yyyy-MM-dd' 'HH'h'mm'.pdf'")));
}

void PatientSheet::paint(QPainter& painter, const QSizeF& page) const {
    painter.save();
    const double scale = std::min(page.width() / kPageWidth, page.height() / kPageHeight);
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(kInk);

    painter.setFont(chartFont(22, true));
    painter.drawText(QRectF(kMargin, kMargin, kContentWidth, 30), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Fiche de corpulence"));
    const QLocale french(QLocale::French, QLocale::France);
    painter.setFont(chartFont(11));
    painter.drawText(QRectF(kMargin, kMargin, kContentWidth, 30), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Le %1 à %2")
                         .arg(french.toString(m_when.date(), QStringLiteral("d MMMM yyyy")),
                              french.toString(m_when.time(), QStringLiteral("HH:mm"))));
    painter.drawLine(QPointF(kMargin, kMargin + 36), QPointF(kMargin + kContentWidth, kMargin + 36));

    const vimora::Calculation& c = m_calculation;
    const QString sex = c.sex == vimora::Sex::Male ? QStringLiteral("Masculin") : QStringLiteral("Féminin");
    struct Line {
        QString label;
        QString value;
    };
    const std::array<Line, 8> lines{{
        {QStringLiteral("Nom du patient"), m_name},
        {QStringLiteral("Remarque"), m_remark},
        {QStringLiteral("Sexe"), sex},
        {QStringLiteral("Âge"), text(c.ageText) + QStringLiteral(" ans")},
        {QStringLiteral("Poids"), text(c.weightText) + QStringLiteral(" kg")},
        {QStringLiteral("Taille"), text(c.heightText) + QStringLiteral(" m")},
        {QStringLiteral("Index de Masse Corporelle"), text(c.indexText) + QStringLiteral(" kg/m²")},
        {QStringLiteral("Poids normal"),
         QStringLiteral("de %1 à %2 kg").arg(text(c.minimumWeightText), text(c.maximumWeightText))},
    }};
    double y = kMargin + 50;
    // A label and its value; a long value (the remark) goes on over the next lines.
    auto writeLine = [&painter, &y](const Line& line) {
        if (line.value.isEmpty())
            return;
        painter.setFont(chartFont(12));
        painter.drawText(QRectF(kMargin, y, kLabelWidth, kLineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         line.label + QStringLiteral(" :"));
        painter.setFont(chartFont(12, true));
        const QRectF place(kMargin + kLabelWidth, y, kContentWidth - kLabelWidth, 4 * kLineHeight);
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        const QRectF used = painter.boundingRect(place, flags, line.value);
        painter.drawText(place.adjusted(0, (kLineHeight - painter.fontMetrics().height()) / 2, 0, 0), flags,
                         line.value);
        y += std::max(kLineHeight, std::min(used.height(), place.height()) + 4);
    };
    for (const Line& line : lines)
        writeLine(line);

    // The band as the window shows it: its text in the band's text colour on the band's colour,
    // the paper standing for the window's background.
    y += 10;
    const QRectF band(kMargin, y, kContentWidth, 28);
    QPalette paper;
    paper.setColor(QPalette::Base, Qt::white);
    paper.setColor(QPalette::Text, kInk);
    painter.fillRect(band, vimora::chart::toQColor(c.band.background, paper));
    painter.setPen(vimora::chart::toQColor(c.band.textColour, paper));
    painter.setFont(chartFont(14, true));
    painter.drawText(band, Qt::AlignCenter, text(c.band.band));
    painter.setPen(kInk);
    y += 36;
    writeLine({QStringLiteral("Conseils"), text(c.band.advice)});
    writeLine({QStringLiteral("Objectif"), text(c.band.objective)});

    vimora::chart::paintFitted(painter, *chartFor(c), chartArea());

    painter.setPen(kInk);
    painter.drawLine(QPointF(kMargin, kFooterTop), QPointF(kMargin + kContentWidth, kFooterTop));
    painter.setFont(chartFont(9));
    painter.drawText(QRectF(kMargin, kFooterTop + 4, kContentWidth, 40), Qt::AlignLeft | Qt::TextWordWrap,
                     QStringLiteral("Établi avec %1. %2")
                         .arg(QString::fromUtf8(ErrorReport::kApplicationTitle), thresholdsUsed(c)));
    painter.restore();
}

void PatientSheet::render(QPagedPaintDevice& device) const {
    QPainter painter(&device);
    paint(painter, QSizeF(device.width(), device.height()));
}

bool PatientSheet::writePdf(const QString& path, QString* error) const {
    QSaveFile file(path);
    std::optional<vimora::platform::WriteFailure> failure;
    if (file.open(QIODevice::WriteOnly)) {
        {
            QPdfWriter writer(&file);
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
            writer.setResolution(300);
            writer.setTitle(QStringLiteral("Fiche de corpulence"));
            writer.setCreator(QString::fromUtf8(ErrorReport::kApplicationTitle));
            render(writer);
        }
        failure = vimora::platform::commitWhole(file);
        if (!failure)
            return true;
    } else {
        failure = vimora::platform::WriteFailure{file.error(), file.errorString()};
    }
    QString why;
    switch (failure->error) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
        why = QStringLiteral("le dossier n'existe pas ou n'accepte pas de nouveau fichier");
        break;
    case QFileDevice::ResourceError:
        why = QStringLiteral("le disque est plein");
        break;
    default:
        why = QStringLiteral("l'écriture a échoué");
        break;
    }
    if (error != nullptr)
        *error =
            QStringLiteral("La fiche n'a pas pu être enregistrée dans « %1 » : %2 (%3). Aucun fichier n'a "
                           "été écrit.")
                .arg(QDir::toNativeSeparators(path), why, failure->reason);
    return false;
}

void printWithDialog(QWidget* parent, const PatientSheet& sheet) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    printer.setDocName(QStringLiteral("Fiche de corpulence"));
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Imprimer la fiche"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The sheet keeps its own margins, measured from the paper's edge.
    printer.setFullPage(true);
    sheet.render(printer);
}
