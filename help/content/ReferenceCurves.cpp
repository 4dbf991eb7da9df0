// Draws the children's reference curves of the help file, and writes its table of thresholds,
// from the program's own table, so that the help always shows what the program applies.
// Run by the build:
//   vimora_reference_curves <directory>   writes images/courbes-garcons.png,
//                                         images/courbes-filles.png and seuils.htm
//   vimora_reference_curves --dump        prints the values drawn, one row per line
#include "ReferenceChart.h"
#include "ReferenceThresholds.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using namespace vimora::help::chart;
using vimora::ReferenceThresholds;
using vimora::Sex;

struct Row {
    int quarter;
    ReferenceThresholds thresholds;
};

// The one source of every value drawn or printed.
std::vector<Row> referenceRows(Sex sex) {
    std::vector<Row> rows;
    for (int quarter = 0; quarter <= kQuarters; ++quarter)
        rows.push_back({quarter, vimora::lookupReferenceThresholds(sex, quarter / 4.0)});
    return rows;
}

const QColor kAboveObesityFill(255, 226, 226);
const QColor kObesityOneFill(242, 226, 242);
const QColor kNormalFill(222, 242, 242);
const QColor kUnderweightFill(224, 234, 246);
const QColor kGridColour(205, 205, 205);

QFont chartFont(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void fillZones(QPainter& painter, const std::vector<Row>& rows) {
    for (int quarter = 0; quarter < kQuarters; ++quarter) {
        const ReferenceThresholds& t = rows[quarter].thresholds;
        const int left = xForQuarter(quarter);
        const int width = kPixelsPerQuarter;
        const int obesity = yForIndex(t.obesityThreshold);
        const int upper = yForIndex(t.upperThreshold);
        const int lower = yForIndex(t.lowerThreshold);
        painter.fillRect(left, kTop, width, obesity - kTop, kAboveObesityFill);
        painter.fillRect(left, obesity, width, upper - obesity, kObesityOneFill);
        painter.fillRect(left, upper, width, lower - upper, kNormalFill);
        painter.fillRect(left, lower, width, kBottom - lower, kUnderweightFill);
    }
}

void drawAxes(QPainter& painter) {
    painter.setFont(chartFont(12));
    painter.setPen(QPen(kGridColour, 1));
    for (int year = 0; year <= kQuarters / 4; ++year)
        painter.drawLine(xForQuarter(4 * year), kTop, xForQuarter(4 * year), kBottom);
    for (int index = kLowestIndex; index <= kHighestIndex; index += 2)
        painter.drawLine(kLeft, yForIndex(index), kRight, yForIndex(index));

    painter.setPen(Qt::black);
    painter.drawRect(kLeft, kTop, kRight - kLeft, kBottom - kTop);
    for (int year = 0; year <= kQuarters / 4; ++year) {
        const int x = xForQuarter(4 * year);
        painter.drawLine(x, kBottom, x, kBottom + 4);
        painter.drawText(QRect(x - 15, kBottom + 6, 30, 16), Qt::AlignCenter, QString::number(year));
    }
    for (int index = kLowestIndex; index <= kHighestIndex; index += 2) {
        const int y = yForIndex(index);
        painter.drawLine(kLeft - 4, y, kLeft, y);
        painter.drawText(QRect(kLeft - 40, y - 8, 32, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(index));
    }

    painter.setFont(chartFont(13));
    painter.drawText(QRect(kLeft, kBottom + 26, kRight - kLeft, 18), Qt::AlignCenter,
                     QStringLiteral("Âge (années)"));
    painter.save();
    painter.translate(18, (kTop + kBottom) / 2);
    painter.rotate(-90);
    painter.drawText(QRect(-120, -9, 240, 18), Qt::AlignCenter, QStringLiteral("IMC (kg/m²)"));
    painter.restore();
}

void drawSteps(QPainter& painter, const std::vector<Row>& rows, double ReferenceThresholds::*threshold,
               const QColor& colour) {
    painter.setPen(QPen(colour, kPenWidth, Qt::SolidLine, Qt::SquareCap));
    for (int quarter = 0; quarter < kQuarters; ++quarter) {
        const int y = yForIndex(rows[quarter].thresholds.*threshold);
        const int next = yForIndex(rows[quarter + 1].thresholds.*threshold);
        painter.drawLine(xForQuarter(quarter), y, xForQuarter(quarter + 1), y);
        painter.drawLine(xForQuarter(quarter + 1), y, xForQuarter(quarter + 1), next);
    }
    // The 18-year row applies to that exact age only; any older patient is an adult.
    painter.setBrush(colour);
    painter.drawEllipse(QPoint(xForQuarter(kQuarters), yForIndex(rows[kQuarters].thresholds.*threshold)), 3,
                        3);
    painter.setBrush(Qt::NoBrush);
}

// A zone's name, centred at the given age between two thresholds (or a threshold and an edge).
void labelZone(QPainter& painter, int quarter, double low, double high, const QString& text,
               const QColor& colour) {
    const int y = (yForIndex(low) + yForIndex(high)) / 2;
    painter.setPen(colour);
    painter.drawText(QRect(xForQuarter(quarter) - 110, y - 9, 220, 18), Qt::AlignCenter, text);
}

void drawLegend(QPainter& painter) {
    struct Entry {
        QColor colour;
        QString text;
    };
    const Entry entries[] = {
        {kObesityColour, QStringLiteral("Seuil d'obésité")},
        {kUpperColour, QStringLiteral("Seuil supérieur")},
        {kLowerColour, QStringLiteral("Seuil inférieur")},
    };
    painter.setFont(chartFont(13));
    int x = kLeft;
    const int y = kBottom + 66;
    for (const Entry& entry : entries) {
        painter.setPen(QPen(entry.colour, 3));
        painter.drawLine(x, y, x + 28, y);
        painter.setPen(Qt::black);
        const QRect text(x + 36, y - 9, 180, 18);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        x += 36 + painter.fontMetrics().horizontalAdvance(entry.text) + 40;
    }
}

QImage drawChart(Sex sex) {
    const std::vector<Row> rows = referenceRows(sex);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);

    painter.setFont(chartFont(15, true));
    painter.drawText(QRect(0, 10, kWidth, 24), Qt::AlignCenter,
                     sex == Sex::Male
                         ? QStringLiteral("Seuils de l'IMC des garçons, de la naissance à 18 ans")
                         : QStringLiteral("Seuils de l'IMC des filles, de la naissance à 18 ans"));

    fillZones(painter, rows);
    drawAxes(painter);
    drawSteps(painter, rows, &ReferenceThresholds::lowerThreshold, kLowerColour);
    drawSteps(painter, rows, &ReferenceThresholds::upperThreshold, kUpperColour);
    drawSteps(painter, rows, &ReferenceThresholds::obesityThreshold, kObesityColour);

    painter.setFont(chartFont(13, true));
    const ReferenceThresholds& at4 = rows[16].thresholds;
    const ReferenceThresholds& at9 = rows[36].thresholds;
    const ReferenceThresholds& at15 = rows[60].thresholds;
    labelZone(painter, 16, at4.obesityThreshold, kHighestIndex, QStringLiteral("Obésité degré 2"),
              kObesityColour);
    labelZone(painter, 60, at15.upperThreshold, at15.obesityThreshold, QStringLiteral("Obésité degré 1"),
              kUpperColour);
    labelZone(painter, 36, at9.lowerThreshold, at9.upperThreshold, QStringLiteral("Corpulence normale"),
              QColor(0, 110, 110));
    labelZone(painter, 36, kLowestIndex, at9.lowerThreshold, QStringLiteral("Insuffisance pondérale"),
              kLowerColour);

    drawLegend(painter);
    return image;
}

QString decimal(double value, int decimals) {
    return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString ageInWords(int quarter) {
    const int years = quarter / 4;
    const int months = 3 * (quarter % 4);
    QString text = years == 0 && months == 0 ? QStringLiteral("naissance")
                   : years == 0              ? QString()
                   : years == 1              ? QStringLiteral("1 an")
                                             : QStringLiteral("%1 ans").arg(years);
    if (months != 0)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("%1 mois").arg(months);
    return text;
}

QByteArray thresholdsPage() {
    QString page = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
        "<title>Table des seuils de l'enfant</title>\n"
        "<link rel=\"stylesheet\" type=\"text/css\" href=\"aide.css\">\n</head>\n<body>\n"
        "<h1>Table des seuils de l'enfant</h1>\n"
        "<p>Les seuils d'IMC (en kg/m²) que Vimora XP applique jusqu'à 18&nbsp;ans, trimestre par "
        "trimestre. Un âge situé entre deux lignes utilise la ligne du dernier trimestre révolu. "
        "Voir <a href=\"enfants.htm\">L'enfant et l'adolescent</a>.</p>\n"
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n"
        "<tr><th rowspan=\"2\">Âge</th><th rowspan=\"2\">À taper</th>"
        "<th colspan=\"3\">Garçons</th><th colspan=\"3\">Filles</th></tr>\n"
        "<tr><th>supérieur</th><th>inférieur</th><th>obésité</th>"
        "<th>supérieur</th><th>inférieur</th><th>obésité</th></tr>\n");
    const std::vector<Row> boys = referenceRows(Sex::Male);
    const std::vector<Row> girls = referenceRows(Sex::Female);
    for (int quarter = 0; quarter <= kQuarters; ++quarter) {
        page += QStringLiteral("<tr><td>%1</td><td>%2</td>")
                    .arg(ageInWords(quarter), decimal(quarter / 4.0, QLocale::FloatingPointShortest));
        for (const ReferenceThresholds& t : {boys[quarter].thresholds, girls[quarter].thresholds}) {
            page += QStringLiteral("<td>%1</td><td>%2</td><td>%3</td>")
                        .arg(decimal(t.upperThreshold, 2), decimal(t.lowerThreshold, 2),
                             decimal(t.obesityThreshold, 2));
        }
        page += QStringLiteral("</tr>\n");
    }
    page += QStringLiteral("</table>\n<p class=\"voir\">Voir aussi&nbsp;: "
                           "<a href=\"courbes.htm\">Courbes de référence de l'enfant</a>.</p>\n"
                           "</body>\n</html>\n");
    return page.toUtf8();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

void dump() {
    for (const Sex sex : {Sex::Male, Sex::Female}) {
        for (const Row& row : referenceRows(sex)) {
            std::printf("%c %d %.17g %.17g %.17g\n", sex == Sex::Male ? 'M' : 'F', row.quarter,
                        row.thresholds.upperThreshold, row.thresholds.lowerThreshold,
                        row.thresholds.obesityThreshold);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory> | --dump\n", argv[0]);
        return 2;
    }
    if (std::strcmp(argv[1], "--dump") == 0) {
        dump();
        return 0;
    }
    // A build step needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString directory = QString::fromLocal8Bit(argv[1]);
    const QString images = directory + QStringLiteral("/images");
    if (!QDir().mkpath(images)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(images));
        return 1;
    }
    const struct {
        Sex sex;
        const char* name;
    } pictures[] = {{Sex::Male, "courbes-garcons.png"}, {Sex::Female, "courbes-filles.png"}};
    for (const auto& picture : pictures) {
        const QString path = images + QLatin1Char('/') + QLatin1String(picture.name);
        if (!drawChart(picture.sex).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const QString page = directory + QStringLiteral("/seuils.htm");
    if (!writeFile(page, thresholdsPage())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(page));
        return 1;
    }
    return 0;
}
