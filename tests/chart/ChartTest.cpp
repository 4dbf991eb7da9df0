#include "AdultScale.h"
#include "Bands.h"
#include "ChildChart.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <array>
#include <memory>

using namespace vimora;

Q_DECLARE_METATYPE(vimora::Sex)

namespace {

// The centre of the pure black pixels: the patient's point is the only pure black of a chart.
QPointF blackCentre(const QImage& image) {
    double x = 0;
    double y = 0;
    int count = 0;
    for (int row = 0; row < image.height(); ++row) {
        for (int column = 0; column < image.width(); ++column) {
            if (image.pixel(column, row) == qRgb(0, 0, 0)) {
                x += column + 0.5;
                y += row + 0.5;
                ++count;
            }
        }
    }
    return count < 20 ? QPointF(-1, -1) : QPointF(x / count, y / count);
}

QImage render(const chart::Chart& chart) {
    QImage image(chart.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    chart.paint(painter);
    return image;
}

} // namespace

class ChartTest : public QObject {
    Q_OBJECT

private slots:
    // Expected positions from the axes: 32 pixels a year from x 70; the index from y 402 (its
    // lowest) up to y 50 (its highest), 10 to 32 unless the point needs more. The adult bar runs
    // from x 40 to 640, 13 to 45 unless the point needs more, the point at y 126, under the names.
    void patientPointStandsAtItsAgeAndIndex_data() {
        QTest::addColumn<bool>("adult");
        QTest::addColumn<Sex>("sex");
        QTest::addColumn<double>("age");
        QTest::addColumn<double>("index");
        QTest::addColumn<QPointF>("expected");
        QTest::addColumn<QString>("ageWords");
        QTest::newRow("boy on a quarter row")
            << false << Sex::Male << 7.25 << 19.83 << QPointF(302, 244.72) << QStringLiteral("7 ans 3 mois");
        QTest::newRow("girl between two rows")
            << false << Sex::Female << 7.3 << 16.0 << QPointF(303.6, 306) << QStringLiteral("7 ans 3 mois");
        // 10 to 46: 352 pixels for 36 units.
        QTest::newRow("boy above the usual range")
            << false << Sex::Male << 12.0 << 45.0 << QPointF(454, 402 - 35 * 352 / 36.0)
            << QStringLiteral("12 ans");
        // 10 to 1002: 352 pixels for 992 units.
        QTest::newRow("boy far above the usual range")
            << false << Sex::Male << 5.0 << 1000.0 << QPointF(230, 402 - 990 * 352 / 992.0)
            << QStringLiteral("5 ans");
        // 6 to 32: 352 pixels for 26 units.
        QTest::newRow("girl below the usual range")
            << false << Sex::Female << 1.5 << 8.0 << QPointF(118, 402 - 2 * 352 / 26.0)
            << QStringLiteral("1 an 6 mois");
        QTest::newRow("adult") << true << Sex::Male << 35.0 << 26.12 << QPointF(40 + 13.12 * 600 / 32, 126)
                               << QString();
        // 8 to 45: 600 pixels for 37 units.
        QTest::newRow("adult below the usual range")
            << true << Sex::Female << 30.0 << 9.79 << QPointF(40 + 1.79 * 600 / 37, 126) << QString();
    }

    void patientPointStandsAtItsAgeAndIndex() {
        QFETCH(bool, adult);
        QFETCH(Sex, sex);
        QFETCH(double, age);
        QFETCH(double, index);
        QFETCH(QPointF, expected);
        QFETCH(QString, ageWords);
        const chart::Patient patient{age, index, QString::number(index), QStringLiteral("bande")};
        std::unique_ptr<chart::Chart> drawn;
        if (adult)
            drawn = std::make_unique<chart::AdultScale>(patient, QStringLiteral("Poids normal"));
        else
            drawn = std::make_unique<chart::ChildChart>(sex, patient);
        const QPointF found = blackCentre(render(*drawn));
        QVERIFY2(std::abs(found.x() - expected.x()) < 0.6 && std::abs(found.y() - expected.y()) < 0.6,
                 qPrintable(QStringLiteral("found %1, %2").arg(found.x()).arg(found.y())));
        QVERIFY(drawn->description().contains(ageWords));
        QVERIFY(drawn->description().contains(QStringLiteral("bande")));
    }

    void referenceChartHasNoPoint() {
        QCOMPARE(blackCentre(render(chart::ChildChart(Sex::Female))), QPointF(-1, -1));
    }

    // The scale's stretches are the engine's own band table, limits included.
    void bandsAsStretchesOfTheScale() {
        const std::vector<BandSpan> adult = bandSpans(40, kAdultThresholds);
        QCOMPARE(adult.size(), std::size_t(10));
        QVERIFY(!adult.front().from);
        QCOMPARE(adult.front().band, std::string_view("Insuffisance pondérale grade V"));
        QCOMPARE(adult.back().band, std::string_view("Obésité grade III"));
        QVERIFY(!adult.back().to);
        const std::array<double, 9> limits{10, 13, 16, 17, 18.5, 24.9, 30, 34.9, 39.9};
        for (std::size_t i = 1; i < adult.size(); ++i) {
            QCOMPARE(*adult[i].from, limits[i - 1]);
            QCOMPARE(*adult[i - 1].to, limits[i - 1]);
        }
        // In the first year the upper and obesity thresholds are equal: no degree 1.
        const std::vector<BandSpan> baby = bandSpans(0.5, lookupReferenceThresholds(Sex::Male, 0.5));
        QCOMPARE(baby.size(), std::size_t(3));
        QCOMPARE(baby.back().band, std::string_view("Obésité degré 2"));
        QCOMPARE(bandSpans(18, lookupReferenceThresholds(Sex::Male, 18)).size(), std::size_t(4));
    }
};

QTEST_MAIN(ChartTest)
#include "ChartTest.moc"
