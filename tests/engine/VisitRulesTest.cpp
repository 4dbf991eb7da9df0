#include "engine/EngineError.h"
#include "engine/VisitAge.h"
#include "engine/VisitPlausibility.h"

#include "Errors.h"
#include "NamedRows.h"

#include <gtest/gtest.h>

#include <string>

using namespace vimora;
using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

namespace {

constexpr Date date(int y, unsigned m, unsigned d) {
    return {year(y), month(m), day(d)};
}

constexpr Date kToday = date(2026, 12, 7);

struct AgeCase {
    const char* name;
    Date birth;
    Date visit;
    const char* age; ///< the text, or the French refusal
};

class AgeFromDates : public testing::TestWithParam<AgeCase> {};

TEST_P(AgeFromDates, CountsWholeMonthsTruncatedOrRefuses) {
    const AgeCase& c = GetParam();
    std::string age;
    try {
        age = visitAge(c.birth, c.visit, kToday, ',').text;
    } catch (const EngineError& error) {
        age = error.message();
    }
    EXPECT_EQ(age, c.age);
}

// Whole months and the share of the current one: a birthday is a whole number of years whatever
// the leap days between, where days / 365.25 gave 9,99 on most tenth birthdays.
const AgeCase kAgeCases[] = {
    {"SameDay", date(2020, 5, 1), date(2020, 5, 1), "0,00"},
    {"TwoDaysTruncatedNotRounded", date(2020, 5, 1), date(2020, 5, 3), "0,00"},
    {"FourDays", date(2020, 5, 1), date(2020, 5, 5), "0,01"},
    {"TenthBirthday", date(2012, 1, 1), date(2022, 1, 1), "10,00"},
    {"OneDayShortOfTen", date(2012, 1, 1), date(2021, 12, 31), "9,99"},
    {"TenthBirthdayOverTwoLeapDays", date(2016, 3, 14), date(2026, 3, 14), "10,00"},
    {"TwoYearsAndThreeMonths", date(2019, 1, 1), date(2021, 4, 1), "2,25"},
    {"DayBeforeSixthBirthday", date(2014, 6, 15), date(2020, 6, 14), "5,99"},
    {"BornOn31JanuaryOneMonthOn29February", date(2020, 1, 31), date(2020, 2, 29), "0,08"},
    {"FourYearsExactly", date(2016, 2, 29), date(2020, 2, 29), "4,00"},
    {"BornOn29FebruaryOneYearOn28FebruaryOfACommonYear", date(2016, 2, 29), date(2017, 2, 28), "1,00"},
    {"BornOn29FebruaryDayBeforeOneYear", date(2016, 2, 29), date(2017, 2, 27), "0,99"},
    {"BornOn29FebruaryFirstOfMarch", date(2016, 2, 29), date(2017, 3, 1), "1,00"},
    {"Adult", date(1980, 5, 2), date(2024, 1, 10), "43,68"},
    {"BornExactly130YearsAgo", date(1896, 12, 7), kToday, "130,00"},
    {"BornMoreThan130YearsAgo", date(1896, 12, 6), kToday, "La date de naissance remonte à plus de 130 ans"},
    {"VisitBeforeBirth", date(2020, 5, 2), date(2020, 5, 1),
     "La date de la consultation précède la date de naissance"},
    {"BirthInTheFuture", date(2026, 12, 8), date(2026, 12, 8), "La date de naissance est dans le futur"},
    {"VisitInTheFuture", date(2020, 5, 1), date(2026, 12, 8), "La date de la consultation est dans le futur"},
    {"No29FebruaryThatYear", date(2020, 5, 1), date(2023, 2, 29),
     "La date de la consultation n'est pas une date valide"},
};

INSTANTIATE_TEST_SUITE_P(VisitAge, AgeFromDates, testing::ValuesIn(kAgeCases), vimora::test::RowName());

TEST(AgeFromDates, OldestBirthOnA29FebruaryTodayIsTheLastDayOfFebruary) {
    EXPECT_NO_THROW(checkBirthDate(date(1898, 2, 28), date(2028, 2, 29)));
    EXPECT_THROW(checkBirthDate(date(1898, 2, 27), date(2028, 2, 29)), EngineError);
}

struct PlausibilityCase {
    const char* name;
    double height;
    double index;
    const char* reason; ///< empty when plausible
};

class Plausibility : public testing::TestWithParam<PlausibilityCase> {};

TEST_P(Plausibility, NamesWhatIsOutOfRange) {
    const PlausibilityCase& c = GetParam();
    EXPECT_EQ(implausibility(c.height, c.index, ',').value_or(""), c.reason);
}

const PlausibilityCase kPlausibilityCases[] = {
    {"Adult", 1.75, 22.5, ""},
    {"AtTheLowLimits", 0.30, 8, ""},
    {"AtTheHighLimits", 2.50, 100, ""},
    {"TooShort", 0.29, 15, "Mesure invraisemblable : une taille de 0,29 m, hors de 0,3 à 2,5 m."},
    {"TooTall", 2.51, 15, "Mesure invraisemblable : une taille de 2,51 m, hors de 0,3 à 2,5 m."},
    {"IndexTooLow", 1.7, 7.99, "Mesure invraisemblable : un IMC de 7,99, hors de 8 à 100."},
    {"Both", 3, 100.01,
     "Mesure invraisemblable : une taille de 3 m, hors de 0,3 à 2,5 m et un IMC de 100,01, hors de 8 à 100."},
};

INSTANTIATE_TEST_SUITE_P(VisitPlausibility, Plausibility, testing::ValuesIn(kPlausibilityCases),
                         vimora::test::RowName());

} // namespace
