#include "engine/TrajectoryAlerts.h"

#include "NamedRows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace vimora;

namespace {

struct Measure {
    double age;
    double index;
    const char* result = "Corpulence normale.";
    bool implausible = false;
};

// A child born on 1 January 2010, seen at the given ages, in the order given.
std::vector<TrajectoryPoint> trajectory(std::initializer_list<Measure> measures) {
    using namespace std::chrono;
    std::vector<TrajectoryPoint> points;
    for (const Measure& m : measures) {
        const auto visit = sys_days(Date(year(2010), January, day(1))) + days(std::lround(m.age * 365.25));
        points.push_back({Date(visit), m.age, m.index, m.result, m.implausible});
    }
    return points;
}

struct Case {
    const char* name;
    std::vector<TrajectoryPoint> visits;
    std::vector<std::string> alerts; ///< "title: detail"
};

class Alerts : public testing::TestWithParam<Case> {};

TEST_P(Alerts, HoldExactlyWhenTheirRuleDoes) {
    std::vector<std::string> alerts;
    for (const TrajectoryAlert& alert : trajectoryAlerts(GetParam().visits, ','))
        alerts.push_back(alert.title + ": " + alert.detail);
    EXPECT_EQ(alerts, GetParam().alerts);
}

const std::string kRebound = "Rebond d'adiposité précoce: IMC le plus bas à ";
const std::string kRise = "), puis remontée d'au moins 0,5 avant 8 ans";

const Case kCases[] = {
    {"NoVisit", {}, {}},
    {"EarlyRebound",
     trajectory({{1, 17.5}, {2, 16.5}, {3, 15.8}, {4, 15.9}, {5, 16.3}}),
     {kRebound + "3 ans (15,8" + kRise}},
    {"GivenInAnyOrder",
     trajectory({{5, 16.3}, {3, 15.8}, {1, 17.5}, {4, 15.9}, {2, 16.5}}),
     {kRebound + "3 ans (15,8" + kRise}},
    {"RiseJustUnderHalfAPoint", trajectory({{1, 17.5}, {3, 15.8}, {5, 16.29}}), {}},
    {"LowestAtSixIsNotEarly", trajectory({{2, 16}, {4, 15.6}, {6, 15.4}, {7, 16.5}}), {}},
    {"LowestJustUnderSix",
     trajectory({{2, 16}, {4, 15.6}, {5.99, 15.4}, {7, 16.5}}),
     {kRebound + "5,99 ans (15,4" + kRise}},
    {"TwoVisitsInRangeAreTooFew", trajectory({{3, 15.8}, {5, 16.5}, {9, 17}}), {}},
    {"OnlyFromOneToUnderEight",
     trajectory({{0.5, 14}, {0.99, 14.5}, {2, 16}, {3, 15.5}, {4, 16.1}, {8, 12}}),
     {kRebound + "3 ans (15,5" + kRise}},
    {"EarliestOfEqualLowest",
     trajectory({{2, 16}, {4, 15.5}, {6.5, 15.5}, {7, 16.1}}),
     {kRebound + "4 ans (15,5" + kRise}},
    {"HigherBeforeTheLowestIsNoRebound", trajectory({{2, 16.5}, {3, 15.9}, {5, 15.8}}), {}},
    {"ResultChanged",
     trajectory({{30, 24, "Corpulence normale."}, {31, 26, "Surcharge pondérale."}}),
     {"Changement de classe: « Corpulence normale. » le 02/01/2040, puis « Surcharge pondérale. »"}},
    {"OnlyTheTwoLatestCount",
     trajectory({{30, 24, "Corpulence normale."},
                 {31, 26, "Surcharge pondérale."},
                 {32, 26.5, "Surcharge pondérale."}}),
     {}},
    {"BothAlerts",
     trajectory({{2, 16.5}, {3, 15.8}, {5, 18.5, "Obésité degré 1"}}),
     {kRebound + "3 ans (15,8" + kRise,
      "Changement de classe: « Corpulence normale. » le 01/01/2013, puis « Obésité degré 1 »"}},
    // A height typed in centimetres gives an index near zero, one in metres for a child's weight in
    // grams a huge one: neither may make or hide an alert, and the alert says one was left out.
    {"ImplausibleVisitsLeftOutOfTheRebound",
     trajectory({{1, 17.5},
                 {2, 0.02, "Insuffisance pondérale.", true},
                 {3, 15.8},
                 {4, 15.9},
                 {4.5, 15.7, "x", true},
                 {5, 16.3}}),
     {kRebound + "3 ans (15,8" + kRise + " (2 consultations invraisemblables écartées)"}},
    {"ImplausibleLatestVisitLeftOutOfTheChange",
     trajectory({{30, 24, "Corpulence normale."},
                 {31, 26, "Surcharge pondérale."},
                 {32, 0.0024, "Insuffisance pondérale grade V", true}}),
     {"Changement de classe: « Corpulence normale. » le 02/01/2040, puis « Surcharge pondérale. » (1 "
      "consultation invraisemblable écartée)"}},
    {"NoChangeThroughAnImplausibleVisit",
     trajectory({{30, 24}, {31, 150, "Obésité grade III", true}, {32, 24.5}}),
     {}},
    {"ImplausibleVisitBeforeTheComparedOnesIsNotMentioned",
     trajectory({{30, 150, "Obésité grade III", true}, {31, 24}, {32, 26, "Surcharge pondérale."}}),
     {"Changement de classe: « Corpulence normale. » le 01/01/2041, puis « Surcharge pondérale. »"}},
};

INSTANTIATE_TEST_SUITE_P(TrajectoryAlerts, Alerts, testing::ValuesIn(kCases), vimora::test::RowName());

TEST(Alerts, OneDaysVisitsKeepTheirOrder) {
    const Date day = Date(std::chrono::year(2020), std::chrono::May, std::chrono::day(4));
    const std::vector<TrajectoryPoint> visits{{day, 40, 26, "Surcharge pondérale."},
                                              {day, 40, 24, "Corpulence normale."}};
    const auto alerts = trajectoryAlerts(visits, ',');
    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].detail, "« Surcharge pondérale. » le 04/05/2020, puis « Corpulence normale. »");
}

} // namespace
