#include "PatientRecordSheet.h"

#include "SheetParagraph.h"
#include "Version.h"
#include "app/records/RecordsTexts.h"
#include "chart/Chart.h"
#include "chart/ChartColours.h"
#include "chart/Trajectory.h"
#include "chart/Wording.h"
#include "records/VisitRecords.h"
#include "text/FrenchDates.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <array>

using vimora::chart::chartFont;
using vimora::chart::kInk;
using vimora::records::Patient;
using vimora::records::Visit;
using vimora::text::shortDate;

namespace {

constexpr double kMargin = 50;
constexpr double kContentWidth = PatientRecordSheet::kPageWidth - 2 * kMargin;
constexpr double kContentBottom = PatientRecordSheet::kPageHeight - 70;
constexpr double kFooterTop = PatientRecordSheet::kPageHeight - 60;
constexpr double kGap = 14;
constexpr double kLabelWidth = 110;
constexpr double kCellPadding = 3;
const QColor kRuleColour(170, 170, 170);

// The sheet's font: its metrics do not depend on the device, so that what is measured here is
// what the printer and the PDF draw.
QFont sheetFont(int size, bool bold = false, bool italic = false) {
    QFont font = chartFont(size, bold);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The visits in date order, those of one date in the order they were stored.
std::vector<Visit> inDateOrder(std::vector<Visit> visits) {
    std::sort(visits.begin(), visits.end(), [](const Visit& a, const Visit& b) {
        return a.date != b.date ? a.date < b.date : a.id < b.id;
    });
    return visits;
}

// The columns of the visit table: their titles and widths in points.
struct Column {
    QString title;
    double width;
};
const std::array<Column, 6> kColumns{{
    {QStringLiteral("Date"), 72},
    {QStringLiteral("Âge"), 44},
    {QStringLiteral("Poids"), 48},
    {QStringLiteral("Taille"), 44},
    {QStringLiteral("IMC"), 44},
    {QStringLiteral("Résultat"), kContentWidth - 72 - 44 - 48 - 44 - 44},
}};

using Block = SheetBlock;

void append(std::vector<Block>& blocks, std::vector<Block> more) {
    blocks.insert(blocks.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

Block gap(double height) {
    return {height, SheetItem::Text, {}};
}

Block paragraphBlock(const QString& value, const QFont& font, const QColor& colour = kInk) {
    SheetParagraph paragraph(value, font, kContentWidth);
    return {paragraph.height(), SheetItem::Text, [paragraph, colour](QPainter& painter, const QRectF& at) {
                painter.setPen(colour);
                paragraph.draw(painter, at.topLeft());
            }};
}

Block heading(const QString& value) {
    Block block = paragraphBlock(value, sheetFont(14, true));
    block.height += 4;
    block.keepWithNext = true;
    return block;
}

QString recordSheetTitle() {
    return QStringLiteral("Dossier de corpulence");
}

// The title and the date of the sheet.
std::vector<Block> titleBlocks(const QString& title, const QDateTime& when) {
    const QString printed = PrintableSheet::madeOn(when);
    return {{36, SheetItem::Text, [title, printed](QPainter& painter, const QRectF& at) {
                 painter.setPen(kInk);
                 painter.setFont(sheetFont(22, true));
                 painter.drawText(at, Qt::AlignLeft | Qt::AlignTop, title);
                 painter.setFont(sheetFont(11));
                 painter.drawText(at.adjusted(0, 6, 0, 0), Qt::AlignRight | Qt::AlignTop, printed);
                 painter.setPen(kRuleColour);
                 painter.drawLine(at.bottomLeft() - QPointF(0, 4), at.bottomRight() - QPointF(0, 4));
             }}};
}

// The identity: a label and its value, wrapped beside it.
std::vector<Block> identityBlocks(const Patient& patient) {
    const std::array<std::pair<QString, QString>, 5> identity{{
        {QStringLiteral("Nom"), patient.nom},
        {QStringLiteral("Prénom"), patient.prenom},
        {QStringLiteral("Sexe"), vimora::chart::sexName(patient.sexe)},
        {QStringLiteral("Né(e) le"), shortDate(patient.naissance)},
        {QStringLiteral("Dossier"), patient.dossier},
    }};
    std::vector<Block> blocks;
    for (const auto& [name, text] : identity) {
        if (text.isEmpty())
            continue;
        SheetParagraph label(name + QStringLiteral("\u00a0:"), sheetFont(12), kLabelWidth);
        SheetParagraph value(text, sheetFont(12, true), kContentWidth - kLabelWidth);
        blocks.push_back({std::max(label.height(), value.height()) + 4, SheetItem::Text,
                          [label, value](QPainter& painter, const QRectF& at) {
                              painter.setPen(kInk);
                              label.draw(painter, at.topLeft());
                              value.draw(painter, at.topLeft() + QPointF(kLabelWidth, 0));
                          }});
    }
    blocks.push_back(gap(kGap));
    return blocks;
}

// The alerts, each with the figures behind it.
std::vector<Block> alertBlocks(const std::vector<Visit>& visits) {
    std::vector<Block> blocks{heading(QStringLiteral("Alertes"))};
    const std::vector<vimora::TrajectoryAlert> alerts = vimora::records::alertsOf(visits);
    if (alerts.empty())
        blocks.push_back(paragraphBlock(QStringLiteral("Aucune alerte."), sheetFont(12)));
    for (const vimora::TrajectoryAlert& alert : alerts) {
        blocks.push_back(paragraphBlock(QString::fromStdString(alert.title), sheetFont(12, true),
                                        vimora::chart::kWarningColour));
        blocks.push_back(paragraphBlock(QString::fromStdString(alert.detail), sheetFont(11)));
        blocks.push_back(gap(4));
    }
    blocks.push_back(gap(kGap));
    return blocks;
}

// The trajectory, as wide as the page.
std::vector<Block> trajectoryBlocks(const Patient& patient, const std::vector<Visit>& visits,
                                    vimora::chart::Curves curves) {
    std::vector<Block> blocks;
    if (!visits.empty())
        blocks.push_back(heading(QStringLiteral("Trajectoire")));
    for (std::unique_ptr<vimora::chart::Chart>& drawn :
         vimora::chart::trajectoryCharts(patient.sexe, trajectoryVisits(visits), curves)) {
        std::shared_ptr<const vimora::chart::Chart> chart = std::move(drawn);
        const double height = kContentWidth * chart->size().height() / chart->size().width();
        blocks.push_back({height, SheetItem::Chart, [chart](QPainter& painter, const QRectF& at) {
                              vimora::chart::paintFitted(painter, *chart, at);
                          }});
        blocks.push_back(gap(kGap));
    }
    return blocks;
}

Block tableHeader() {
    return {18, SheetItem::Text, [](QPainter& painter, const QRectF& at) {
                painter.setPen(kInk);
                painter.setFont(sheetFont(11, true));
                double x = at.left();
                for (const Column& column : kColumns) {
                    painter.drawText(QRectF(x + kCellPadding, at.top(), column.width, at.height()),
                                     Qt::AlignLeft | Qt::AlignVCenter, column.title);
                    x += column.width;
                }
                painter.setPen(kRuleColour);
                painter.drawLine(at.bottomLeft(), at.bottomRight());
            }};
}

// A visit's row, a child's WHO figures and the remark under it across the table.
Block visitRow(const Patient& patient, const Visit& visit) {
    const std::array<QString, 6> cells{shortDate(visit.date), visit.age, visit.poids,
                                       visit.taille,          visit.imc, visit.resultat};
    std::vector<SheetParagraph> paragraphs;
    double height = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        paragraphs.emplace_back(cells.at(i), sheetFont(11), kColumns.at(i).width - 2 * kCellPadding);
        height = std::max(height, paragraphs.back().height());
    }
    const double cellsHeight = height + 2 * kCellPadding;
    std::optional<SheetParagraph> who;
    if (const std::optional<vimora::WhoScore> score = vimora::records::whoScoreOf(patient, visit))
        who.emplace(vimora::chart::withFrenchSpacing(vimora::chart::whoLine(*score)), sheetFont(10),
                    kContentWidth - 2 * kCellPadding);
    const double whoHeight = who ? who->height() + kCellPadding : 0;
    std::optional<SheetParagraph> remark;
    if (!visit.remarque.isEmpty())
        remark.emplace(QStringLiteral("Remarque\u00a0: ") + visit.remarque, sheetFont(10, false, true),
                       kContentWidth - 2 * kCellPadding);
    return {cellsHeight + whoHeight + (remark ? remark->height() + kCellPadding : 0), SheetItem::Text,
            [paragraphs, who, remark, cellsHeight, whoHeight](QPainter& painter, const QRectF& at) {
                painter.setPen(kInk);
                double x = at.left();
                for (std::size_t i = 0; i < paragraphs.size(); ++i) {
                    paragraphs[i].draw(painter, QPointF(x + kCellPadding, at.top() + kCellPadding));
                    x += kColumns.at(i).width;
                }
                if (who)
                    who->draw(painter, QPointF(at.left() + kCellPadding, at.top() + cellsHeight));
                if (remark)
                    remark->draw(painter,
                                 QPointF(at.left() + kCellPadding, at.top() + cellsHeight + whoHeight));
                painter.setPen(kRuleColour);
                painter.drawLine(at.bottomLeft(), at.bottomRight());
            },
            true};
}

std::vector<Block> visitBlocks(const Patient& patient, const std::vector<Visit>& visits) {
    std::vector<Block> blocks{heading(QStringLiteral("Consultations"))};
    if (visits.empty())
        blocks.push_back(paragraphBlock(QStringLiteral("Aucune consultation."), sheetFont(12)));
    for (const Visit& visit : visits)
        blocks.push_back(visitRow(patient, visit));
    return blocks;
}

} // namespace

std::vector<vimora::chart::TrajectoryVisit> trajectoryVisits(const std::vector<Visit>& visits) {
    std::vector<vimora::chart::TrajectoryVisit> shown;
    for (const vimora::TrajectoryPoint& point : vimora::records::trajectoryOf(visits)) {
        shown.push_back({vimora::records::toQDate(point.date), point.age, point.index,
                         vimora::chart::limitText(point.index), QString::fromStdString(point.result),
                         point.implausible});
    }
    return shown;
}

PatientRecordSheet::PatientRecordSheet(Patient patient, std::vector<Visit> visits, QDateTime when,
                                       vimora::chart::Curves curves)
    : m_patient(std::move(patient))
    , m_visits(inDateOrder(std::move(visits)))
    , m_when(std::move(when))
    , m_curves(curves)
    , m_pages(layOut()) {}

std::vector<PatientRecordSheet::Item> PatientRecordSheet::items(int page) const {
    return m_pages.items(page);
}

SheetPages PatientRecordSheet::layOut() const {
    std::vector<SheetBlock> blocks;
    append(blocks, titleBlocks(recordSheetTitle(), m_when));
    append(blocks, identityBlocks(m_patient));
    append(blocks, alertBlocks(m_visits));
    append(blocks, trajectoryBlocks(m_patient, m_visits, m_curves));
    append(blocks, visitBlocks(m_patient, m_visits));
    return {blocks, kMargin, kMargin, kContentWidth, kContentBottom, tableHeader()};
}

void PatientRecordSheet::paintPage(QPainter& painter, int page) const {
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    m_pages.paint(painter, page);

    painter.setPen(kRuleColour);
    painter.drawLine(QPointF(kMargin, kFooterTop), QPointF(kMargin + kContentWidth, kFooterTop));
    painter.setPen(kInk);
    painter.setFont(sheetFont(9));
    const QString number = QStringLiteral("Page %1/%2").arg(page + 1).arg(pageCount());
    const QFontMetricsF metrics(painter.font());
    const double numberWidth = metrics.horizontalAdvance(number) + 10;
    const QString who = QStringLiteral("%1, %2 — établi avec %3")
                            .arg(RecordsTexts::patientName(m_patient), RecordsTexts::bornOn(m_patient),
                                 QString::fromUtf8(vimora::kApplicationTitle));
    painter.drawText(QRectF(kMargin, kFooterTop + 4, kContentWidth - numberWidth, 14),
                     Qt::AlignLeft | Qt::AlignTop,
                     metrics.elidedText(who, Qt::ElideRight, kContentWidth - numberWidth));
    painter.drawText(QRectF(kMargin, kFooterTop + 4, kContentWidth, 14), Qt::AlignRight | Qt::AlignTop,
                     number);
    painter.restore();
}

QString PatientRecordSheet::title() const {
    return recordSheetTitle();
}

void PatientRecordSheet::render(QPagedPaintDevice& device) const {
    QPainter painter(&device);
    const double scale = std::min(device.width() / kPageWidth, device.height() / kPageHeight);
    painter.scale(scale, scale);
    for (int page = 0; page < pageCount(); ++page) {
        if (page > 0)
            device.newPage();
        paintPage(painter, page);
    }
}

QString PatientRecordSheet::defaultPdfPath() const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Characters that a file name cannot hold on any system become spaces.
    QString name = RecordsTexts::patientName(m_patient);
    name.replace(QRegularExpression(QStringLiteral(R"([/\\:*?"<>|])")), QStringLiteral(" "));
    return QDir(folder).filePath(QStringLiteral("Dossier %1 %2.pdf")
                                     .arg(name.simplified(), m_when.toString(QStringLiteral("yyyy-MM-dd"))));
}
