#include "AdultScale.h"
#include "Bands.h"
#include "ChildChart.h"

#include <QImage>
#include <QLineF>
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
    // Expected positions from the axes: 32 pixels a year from x 70; the index from y 402 (10) up
    // to y 50 (32), 16 pixels a unit. The adult bar runs from x 30 (8) to 650 (48), the point at
    // y 150, under the names. An index beyond a scale stands 17 pixels inside its edge.
    void patientPointStandsAtItsAgeAndIndex_data() {
        QTest::addColumn<bool>("adult");
        QTest::addColumn<Sex>("sex");
        QTest::addColumn<double>("age");
        QTest::addColumn<double>("index");
        QTest::addColumn<QPointF>("expected");
        QTest::addColumn<QString>("words");
        QTest::newRow("boy on a quarter row") << false << Sex::Male << 7.25 << 19.83 << QPointF(302, 244.72)
                                              << QStringLiteral("Le patient, un garçon de 7 ans 3 mois");
        QTest::newRow("girl between two rows") << false << Sex::Female << 7.3 << 16.0 << QPointF(303.6, 306)
                                               << QStringLiteral("La patiente, une fille de 7 ans 3 mois");
        QTest::newRow("newborn") << false << Sex::Male << 0.0 << 14.0 << QPointF(70, 338)
                                 << QStringLiteral("un garçon nouveau-né");
        QTest::newRow("boy above the scale")
            << false << Sex::Male << 12.0 << 45.0 << QPointF(454, 67) << QStringLiteral("hors de l'échelle");
        QTest::newRow("girl far above the scale") << false << Sex::Female << 5.0 << 1e200 << QPointF(230, 67)
                                                  << QStringLiteral("hors de l'échelle");
        QTest::newRow("girl below the scale")
            << false << Sex::Female << 1.5 << 8.0 << QPointF(118, 385) << QStringLiteral("hors de l'échelle");
        QTest::newRow("adult") << true << Sex::Male << 35.0 << 26.12 << QPointF(30 + 18.12 * 15.5, 150)
                               << QStringLiteral("Le patient, un homme");
        QTest::newRow("adult far above the scale") << true << Sex::Male << 35.0 << 2000.0 << QPointF(633, 150)
                                                   << QStringLiteral("hors de l'échelle");
        QTest::newRow("adult below the scale") << true << Sex::Female << 30.0 << -19.53 << QPointF(47, 150)
                                               << QStringLiteral("La patiente, une femme");
    }

    void patientPointStandsAtItsAgeAndIndex() {
        QFETCH(bool, adult);
        QFETCH(Sex, sex);
        QFETCH(double, age);
        QFETCH(double, index);
        QFETCH(QPointF, expected);
        QFETCH(QString, words);
        const chart::Patient patient{age, index, QString::number(index), QStringLiteral("bande")};
        std::unique_ptr<chart::Chart> drawn;
        if (adult)
            drawn = std::make_unique<chart::AdultScale>(sex, patient, QStringLiteral("Poids normal"));
        else
            drawn = std::make_unique<chart::ChildChart>(sex, patient);
        const QPointF found = blackCentre(render(*drawn));
        QVERIFY2(std::abs(found.x() - expected.x()) < 0.6 && std::abs(found.y() - expected.y()) < 0.6,
                 qPrintable(QStringLiteral("found %1, %2").arg(found.x()).arg(found.y())));
        QVERIFY2(drawn->description().contains(words), qPrintable(drawn->description()));
        QVERIFY(drawn->description().contains(QStringLiteral("« bande »")));
    }

    // The label and the zone names against the threshold steps as the table gives them.
    void labelCoversNoCurveAndNoZoneName_data() {
        QTest::addColumn<Sex>("sex");
        QTest::addColumn<double>("age");
        QTest::addColumn<double>("index");
        QTest::newRow("newborn on the lower curve") << Sex::Male << 0.0 << 14.0;
        QTest::newRow("boy of 10 under the upper curve") << Sex::Male << 10.0 << 19.94;
        QTest::newRow("girl of 15,5 between two curves") << Sex::Female << 15.5 << 24.99;
        QTest::newRow("boy on the hump of the first years") << Sex::Male << 1.0 << 20.2;
        QTest::newRow("girl in the last corner") << Sex::Female << 18.0 << 29.9;
        QTest::newRow("girl at the lower edge") << Sex::Female << 0.25 << 10.1;
        QTest::newRow("boy on a zone's name") << Sex::Male << 9.0 << 15.5;
        QTest::newRow("boy beyond the scale") << Sex::Male << 17.5 << 60.0;
    }

    void labelCoversNoCurveAndNoZoneName() {
        QFETCH(Sex, sex);
        QFETCH(double, age);
        QFETCH(double, index);
        const chart::ChildChart drawn(sex, chart::Patient{age, index, QStringLiteral("19,94"), QString()});
        const chart::ChildChart::Texts texts = drawn.texts();
        const QPointF point = blackCentre(render(drawn));
        QVERIFY(point.x() > 0);
        QVERIFY(texts.label);
        QCOMPARE(texts.zoneNames.size(), std::size_t(4));
        const QRectF plot(QPointF(chart::ChildChart::kLeft, chart::ChildChart::kTop),
                          QPointF(chart::ChildChart::kRight, chart::ChildChart::kBottom));
        QVERIFY(plot.contains(texts.label->box));
        // Each step of each curve, as wide as the pen.
        std::vector<QRectF> steps;
        for (int quarter = 0; quarter < chart::ChildChart::kQuarters; ++quarter) {
            const ReferenceThresholds now = lookupReferenceThresholds(sex, quarter / 4.0);
            const ReferenceThresholds next = lookupReferenceThresholds(sex, (quarter + 1) / 4.0);
            for (const auto threshold :
                 {&ReferenceThresholds::lowerThreshold, &ReferenceThresholds::upperThreshold,
                  &ReferenceThresholds::obesityThreshold}) {
                const QPointF from = chart::ChildChart::position(quarter / 4.0, now.*threshold);
                const QPointF corner = chart::ChildChart::position((quarter + 1) / 4.0, now.*threshold);
                const QPointF to = chart::ChildChart::position((quarter + 1) / 4.0, next.*threshold);
                steps.push_back(QRectF(from, corner).normalized().adjusted(-1, -1, 1, 1));
                steps.push_back(QRectF(corner, to).normalized().adjusted(-1, -1, 1, 1));
            }
        }
        for (const QRectF& step : steps) {
            QVERIFY(!texts.label->box.intersects(step));
            for (const QRectF& name : texts.zoneNames)
                QVERIFY(!name.intersects(step));
        }
        for (const QRectF& name : texts.zoneNames) {
            QVERIFY(!texts.label->box.intersects(name));
            QVERIFY(!name.contains(point));
            if (texts.label->leader) {
                const QLineF leader = *texts.label->leader;
                for (double t = 0; t <= 1; t += 0.01)
                    QVERIFY(!name.contains(leader.pointAt(t)));
            }
        }
        QVERIFY(!texts.label->box.contains(point));
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
