#include "engine/WhoReference.h"

#include "NamedRows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vimora;

namespace {

constexpr double kMonth = 30.4375;
constexpr double kYear = 365.25;

// Expected figures computed apart from this code, from the rows of the WHO tables and the
// WHO's formulas: the L, M, S of the row (or interpolated), z by the LMS formula, and beyond ±3
// the straight line through the values at ±2 and ±3.
struct ScoreRow {
    const char* name;
    Sex sex;
    double days;
    double bmi;
    double z;
    const char* zText;
    const char* percentileText;
};

class WhoScores : public testing::TestWithParam<ScoreRow> {};

TEST_P(WhoScores, FollowTheWhoTablesAndFormulas) {
    const ScoreRow& row = GetParam();
    const std::optional<WhoScore> score = whoBmiForAge(row.sex, row.days, row.bmi);
    ASSERT_TRUE(score);
    EXPECT_NEAR(score->z, row.z, 1e-8);
    EXPECT_EQ(whoZText(score->z), row.zText);
    EXPECT_EQ(whoPercentileText(score->percentile), row.percentileText);
}

INSTANTIATE_TEST_SUITE_P(
    Ages, WhoScores,
    testing::Values(
        // Under five years: the 2006 standard at the nearest whole day.
        ScoreRow{"GirlDay365", Sex::Female, 365, 18.0, 1.068650764, "1,07", "85,7"},
        ScoreRow{"BoyDay730", Sex::Male, 730, 17.52, 1.335324375, "1,34", "90,9"},
        ScoreRow{"HalfDayGoesToDay1", Sex::Male, 0.5, 13.0, -0.314797453, "-0,31", "37,6"},
        ScoreRow{"UnderHalfDayIsDay0", Sex::Male, 0.49, 13.0, -0.323907924, "-0,32", "37,3"},
        // The switch at 60 months: day 1826 up to 1826.25 days, then the 2007 reference.
        ScoreRow{"Day1826", Sex::Male, 1826, 19.0, 2.383109646, "2,38", "99,1"},
        ScoreRow{"JustUnderFiveYears", Sex::Male, 4.9999 * kYear, 19.0, 2.383109646, "2,38", "99,1"},
        ScoreRow{"FiveYearsIsMonth60", Sex::Male, 5 * kYear, 19.0, 2.419849139, "2,42", "99,2"},
        // From five years: the 2007 reference by month, interpolated between months.
        ScoreRow{"BoyMonth120", Sex::Male, 120 * kMonth, 20.0, 1.570429373, "1,57", "94,2"},
        ScoreRow{"GirlMonth180", Sex::Female, 180 * kMonth, 17.3, -1.223578630, "-1,22", "11,1"},
        ScoreRow{"BoyBetweenMonths", Sex::Male, 10.1 * kYear, 18.0, 0.765940005, "0,77", "77,8"},
        ScoreRow{"GirlBetweenMonths", Sex::Female, 13.4 * kYear, 24.4, 1.545891113, "1,55", "93,9"},
        ScoreRow{"Month228", Sex::Female, 228 * kMonth, 30.0, 2.059786569, "2,06", "98,0"},
        ScoreRow{"LastMonthStarted", Sex::Male, 228.9 * kMonth, 22.0, -0.066058997, "-0,07", "47,4"},
        // Each side of ±3: the LMS curve inside, the WHO's straight line outside.
        ScoreRow{"JustUnderPlus3", Sex::Male, 96 * kMonth, 22.7, 2.977185730, "2,98", "99,9"},
        ScoreRow{"JustOverPlus3", Sex::Male, 96 * kMonth, 23.0, 3.069228823, "3,07", "99,9"},
        ScoreRow{"FarOverPlus3", Sex::Male, 96 * kMonth, 40.0, 8.535569680, "8,54", "100,0"},
        ScoreRow{"JustOverMinus3", Sex::Female, 1096, 12.2, -2.915091266, "-2,92", "0,2"},
        ScoreRow{"JustUnderMinus3", Sex::Female, 1096, 12.0, -3.128186081, "-3,13", "0,1"},
        ScoreRow{"FarUnderMinus3", Sex::Female, 1096, 8.0, -7.299375916, "-7,30", "0,0"}),
    vimora::test::RowName());

TEST(WhoScore, NoneFrom229MonthsNorForAnIndexNotPositive) {
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        double days;
        double bmi;
    };
    for (const Row row : {Row{229 * kMonth, 22.0}, Row{19.5 * kYear, 22.0}, Row{-1, 15.0},
                          Row{notANumber, 15.0}, Row{3000, 0.0}, Row{3000, -26.12}, Row{3000, notANumber}})
        EXPECT_FALSE(whoBmiForAge(Sex::Female, row.days, row.bmi)) << row.days << " days, " << row.bmi;
}

// The curves of the charts: the index whoBmiAtZ() gives has that z-score, on each side of ±3 too.
TEST(WhoCurve, IndexAtZHasThatZ) {
    for (const Sex sex : {Sex::Male, Sex::Female}) {
        for (const double days : {0.0, 400.6, 1826.0, 60.5 * kMonth, 228.9 * kMonth}) {
            for (const double z : {-4.5, -3.0, -2.0, -0.7, 0.0, 1.0, 2.0, 3.0, 5.2}) {
                const std::optional<double> bmi = whoBmiAtZ(sex, days, z);
                ASSERT_TRUE(bmi) << days << " days, z " << z;
                const std::optional<WhoScore> score = whoBmiForAge(sex, days, *bmi);
                ASSERT_TRUE(score);
                EXPECT_NEAR(score->z, z, 1e-9) << days << " days, z " << z;
            }
        }
    }
    EXPECT_FALSE(whoBmiAtZ(Sex::Male, 229 * kMonth, 0));
}

TEST(WhoTexts, RoundToTheShownFigures) {
    struct ZRow {
        double z;
        const char* text;
        bool toCheck;
    };
    for (const ZRow row :
         {ZRow{-0.004, "0,00", false}, ZRow{-0.0, "0,00", false}, ZRow{0.005, "0,01", false},
          ZRow{0.125, "0,13", false}, ZRow{-0.125, "-0,13", false}, ZRow{-1.2345, "-1,23", false},
          ZRow{12.5, "12,50", true}, ZRow{5.004, "5,00", false}, ZRow{5.006, "5,01", true},
          ZRow{-5.006, "-5,01", true}, ZRow{1e20, "100000000000000000000,00", true}}) {
        EXPECT_EQ(whoZText(row.z), row.text) << row.z;
        EXPECT_EQ(whoValueToCheck(row.z), row.toCheck) << row.z;
    }
    struct PercentileRow {
        double percentile;
        const char* text;
        const char* display;
    };
    for (const PercentileRow row :
         {PercentileRow{9.44, "9,4", "9,4"}, PercentileRow{50, "50,0", "50,0"},
          PercentileRow{99.94, "99,9", "99,9"}, PercentileRow{99.96, "100,0", "> 99,9"},
          PercentileRow{0.05, "0,1", "0,1"}, PercentileRow{0.04, "0,0", "< 0,1"}}) {
        EXPECT_EQ(whoPercentileText(row.percentile), row.text) << row.percentile;
        EXPECT_EQ(whoPercentileDisplay(row.percentile), row.display) << row.percentile;
    }
}

} // namespace
