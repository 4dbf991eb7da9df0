// Draws the children's reference curves of the help file, and writes its table of thresholds,
// from the program's own table, so that the help always shows what the program applies.
// Run by the build:
//   vimora_reference_curves <directory>   writes images/courbes-garcons.png,
//                                         images/courbes-filles.png and seuils.htm
//   vimora_reference_curves --dump        prints the values drawn, one row per line
#include "chart/ChildChart.h"
#include "engine/ReferenceThresholds.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using namespace vimora::chart;
using vimora::ReferenceThresholds;
using vimora::Sex;

struct Row {
    int quarter;
    ReferenceThresholds thresholds;
};

// The one source of every value printed.
std::vector<Row> referenceRows(Sex sex) {
    std::vector<Row> rows;
    for (int quarter = 0; quarter <= ChildChart::kQuarters; ++quarter)
        rows.push_back({quarter, vimora::lookupReferenceThresholds(sex, quarter / 4.0)});
    return rows;
}

QImage drawChart(Sex sex) {
    const ChildChart chart(sex);
    QImage image(chart.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    chart.paint(painter);
    return image;
}

QString decimal(double value, int decimals) {
    return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
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
    for (int quarter = 0; quarter <= ChildChart::kQuarters; ++quarter) {
        page += QStringLiteral("<tr><td>%1</td><td>%2</td>")
                    .arg(ageInWords(quarter / 4.0), decimal(quarter / 4.0, QLocale::FloatingPointShortest));
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
    struct Picture {
        Sex sex;
        const char* name;
    };
    const std::array<Picture, 2> pictures{
        {{Sex::Male, "courbes-garcons.png"}, {Sex::Female, "courbes-filles.png"}}};
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
