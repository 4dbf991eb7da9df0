#include "chart/AdultScale.h"
#include "chart/ChildChart.h"
#include "chart/Trajectory.h"
#include "chart/WhoChart.h"
#include "engine/Bands.h"
#include "engine/WhoReference.h"

#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QTest>

#include <array>
#include <memory>

using namespace vimora;

Q_DECLARE_METATYPE(vimora::Sex)
Q_DECLARE_METATYPE(std::vector<vimora::chart::TrajectoryVisit>)

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

// A visit on the first of a month, its band the one the window showed.
chart::TrajectoryVisit visit(QDate date, double age, double index, const char* band,
                             bool implausible = false) {
    return {date, age, index, QString::number(index), QString::fromUtf8(band), implausible};
}

// A girl seen each summer from 2 to `lastAge` years, her index rising from 15,5.
std::vector<chart::TrajectoryVisit> yearlyVisits(int lastAge) {
    std::vector<chart::TrajectoryVisit> visits;
    for (int age = 2; age <= lastAge; ++age)
        visits.push_back(
            visit(QDate(2000 + age, 7, 1), age + 0.5, 15.5 + (age - 2) * 0.4, "Corpulence normale."));
    return visits;
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

    // A child's point on the WHO chart, at the index of a z-score, stands between the curves
    // around that z-score at its age; the description gives the z-score.
    void whoPointLiesBetweenItsCurves_data() {
        QTest::addColumn<Sex>("sex");
        QTest::addColumn<double>("age");
        QTest::addColumn<double>("z");
        QTest::addColumn<int>("below");
        QTest::addColumn<QString>("words");
        QTest::newRow("boy of 7 years 3 months")
            << Sex::Male << 7.25 << 1.5 << 1 << QStringLiteral("z-score 1,50");
        QTest::newRow("girl of 7 months, daily standard")
            << Sex::Female << 0.6 << -2.5 << -3 << QStringLiteral("z-score -2,50");
        QTest::newRow("girl of 15") << Sex::Female << 15.0 << 2.5 << 2 << QStringLiteral("z-score 2,50");
        QTest::newRow("boy of 3") << Sex::Male << 3.0 << -0.5 << -1 << QStringLiteral("z-score -0,50");
    }

    void whoPointLiesBetweenItsCurves() {
        QFETCH(Sex, sex);
        QFETCH(double, age);
        QFETCH(double, z);
        QFETCH(int, below);
        QFETCH(QString, words);
        const double index = *whoBmiAtZ(sex, age * kDaysPerYear, z);
        const chart::WhoChart drawn(sex, chart::Patient{age, index, QString::number(index), QString()});
        const QPointF point = blackCentre(render(drawn));
        // The height of a curve at the point's abscissa, between the two points around it.
        const auto curveY = [&drawn, &point](int curveZ) {
            const std::vector<QPointF> curve = drawn.curve(curveZ);
            const auto after = std::find_if(curve.begin(), curve.end(),
                                            [&point](const QPointF& at) { return at.x() >= point.x(); });
            if (after == curve.begin() || after == curve.end())
                return -1.0;
            return QLineF(*(after - 1), *after)
                .pointAt((point.x() - (after - 1)->x()) / (after->x() - (after - 1)->x()))
                .y();
        };
        // Lower on the page is a lower index.
        QVERIFY2(point.y() < curveY(below) && point.y() > curveY(below + 1),
                 qPrintable(QStringLiteral("point at %1, curves at %2 and %3")
                                .arg(point.y())
                                .arg(curveY(below))
                                .arg(curveY(below + 1))));
        QVERIFY2(drawn.description().contains(words), qPrintable(drawn.description()));
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

    // The adult trajectory's zones are the assessment's bands: each index lies in the zone named
    // as the assessment names it, each band has a shade of its own, its limit drawn, and its name
    // wherever it has room for one.
    void adultZonesAreTheAssessmentsBands_data() {
        QTest::addColumn<std::vector<chart::TrajectoryVisit>>("visits");
        const char* gradeOne = "Insuffisance pondérale grade I";
        QTest::newRow("three visits of grade I underweight") << std::vector{
            visit(QDate(2020, 1, 1), 30, 17.05, gradeOne), visit(QDate(2021, 3, 1), 31, 17.8, gradeOne),
            visit(QDate(2022, 6, 1), 32, 18.14, gradeOne)};
        QTest::newRow("obesity of each grade")
            << std::vector{visit(QDate(2015, 1, 1), 40, 31.2, "Obésité grade I"),
                           visit(QDate(2017, 3, 1), 42, 36.5, "Obésité grade II"),
                           visit(QDate(2020, 6, 1), 45, 41.8, "Obésité grade III")};
        QTest::newRow("a height in centimetres kept")
            << std::vector{visit(QDate(2019, 1, 1), 40, 24, "Corpulence normale."),
                           visit(QDate(2020, 1, 1), 41, 0.0024, "Insuffisance pondérale grade V", true),
                           visit(QDate(2021, 1, 1), 42, 25.5, "Surcharge pondérale.")};
    }

    void adultZonesAreTheAssessmentsBands() {
        QFETCH(std::vector<chart::TrajectoryVisit>, visits);
        const chart::AdultTrajectory drawn(chart::adultVisits(visits));
        const std::vector<chart::AdultTrajectory::Zone> zones = drawn.zones();
        constexpr double kMiddle = (chart::AdultTrajectory::kLeft + chart::AdultTrajectory::kRight) / 2.0;
        const auto zoneAt = [&zones](double y) {
            std::vector<const chart::AdultTrajectory::Zone*> found;
            for (const chart::AdultTrajectory::Zone& zone : zones) {
                if (zone.rect.contains(QPointF(kMiddle, y)))
                    found.push_back(&zone);
            }
            return found;
        };
        // Hundredths between the limits, so that none falls on one.
        for (double index = 0.05; index < 120; index += 0.1) {
            const double y = drawn.yForIndex(index);
            if (y < chart::AdultTrajectory::kTop || y > chart::AdultTrajectory::kBottom)
                continue;
            BandResult assessed;
            assessBand(assessed, 40, index, kAdultThresholds, {}, ',');
            const auto found = zoneAt(y);
            QCOMPARE(found.size(), std::size_t(1));
            QCOMPARE(found.front()->name, QString::fromStdString(assessed.band));
        }
        const QImage image = render(drawn);
        for (std::size_t i = 0; i < zones.size(); ++i) {
            const chart::AdultTrajectory::Zone& zone = zones[i];
            if (zone.nameBox)
                QVERIFY(zone.rect.contains(*zone.nameBox));
            QVERIFY2(zone.rect.height() < 24 || zone.nameBox, qPrintable(zone.name));
            if (i == 0)
                continue;
            QVERIFY2(zone.colour != zones[i - 1].colour, qPrintable(zone.name));
            // The limit between two bands is a line of neither shade, at the left edge where no
            // name goes.
            const int y = qRound(zone.rect.bottom());
            bool limitDrawn = false;
            for (int row = y - 1; row <= y + 1; ++row) {
                const QColor pixel = image.pixelColor(chart::AdultTrajectory::kLeft + 2, row);
                limitDrawn = limitDrawn || (pixel != zone.colour && pixel != zones[i - 1].colour);
            }
            QVERIFY2(limitDrawn, qPrintable(zone.name));
        }
        for (const chart::TrajectoryVisit& shown : chart::adultVisits(visits)) {
            const chart::PointMark mark = drawn.mark(shown);
            if (shown.implausible) {
                // Beyond the axis the visits set: at its edge, with its arrow.
                QCOMPARE(mark.edge, chart::PointMark::Below);
                QCOMPARE(mark.centre.y(), chart::AdultTrajectory::kBottom - chart::kEdgeInset);
                continue;
            }
            QCOMPARE(mark.edge, chart::PointMark::Inside);
            const auto found = zoneAt(mark.centre.y());
            QCOMPARE(found.size(), std::size_t(1));
            QCOMPARE(found.front()->name, shown.band);
            QVERIFY2(found.front()->nameBox, qPrintable(shown.band));
        }
    }

    // A patient seen from 2 to 19 years has a child chart and an adult one: the latest visit is
    // marked on the adult one only. The zones' names keep clear of the latest visit wherever it
    // stands.
    void latestVisitMarkedOnItsOwnChartClearOfNames() {
        const std::vector<chart::TrajectoryVisit> visits = yearlyVisits(19);
        const chart::ChildTrajectory child(Sex::Female, chart::childVisits(visits));
        QCOMPARE(blackCentre(render(child)), QPointF(-1, -1));
        const std::vector<chart::TrajectoryVisit> adults = chart::adultVisits(visits);
        const chart::AdultTrajectory adult(adults);
        const QPointF latest = blackCentre(render(adult));
        QVERIFY(QLineF(latest, adult.mark(adults.back()).centre).length() < 0.6);

        for (const Sex sex : {Sex::Male, Sex::Female}) {
            const std::vector<QRectF> alone = chart::ChildChart(sex).texts().zoneNames;
            for (const QRectF& name : alone) {
                // The latest visit right on a name as the chart alone places it: that name moves
                // clear of it, or goes where its zone has no other room; the others stay.
                const std::vector onName{
                    visit(QDate(2010, 1, 1), (name.center().x() - chart::ChildChart::kLeft) / 32,
                          10 + (chart::ChildChart::kBottom - name.center().y()) / 16, "x")};
                const chart::ChildTrajectory drawn(sex, chart::childVisits(onName));
                const QPointF point = blackCentre(render(drawn));
                QVERIFY(QLineF(point, name.center()).length() < 1);
                const std::vector<QRectF> names = drawn.zoneNames();
                for (const QRectF& moved : names)
                    QVERIFY(!moved.intersects(chart::pointArea({point, chart::PointMark::Inside})));
                for (const QRectF& other : alone) {
                    if (other != name)
                        QVERIFY(std::find(names.begin(), names.end(), other) != names.end());
                }
            }
        }
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
