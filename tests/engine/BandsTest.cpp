#include "engine/Assessment.h"
#include "engine/EngineError.h"

#include "NamedRows.h"

#include <gtest/gtest.h>

#include <string>

using namespace vimora;

namespace {

constexpr const char* kLowCalorie = "Régime hypocalorique avec suivi médical.";
constexpr const char* kNoDiet = "Pas de régime particulier à réaliser.";
constexpr const char* kEnriched = "Régime enrichi avec suivi médical.";

struct Case {
    const char* name;
    Sex sex;
    const char* age;
    const char* weight;
    const char* height;
    const char* index;
    const char* band;
    Colour background;
    const char* advice;
    const char* objective;
};

class WorkedExample : public testing::TestWithParam<Case> {};

TEST_P(WorkedExample, ShowsTheBandAdviceAndObjective) {
    const Case& c = GetParam();
    const Calculation calculation = calculate(c.sex, {c.age, c.weight, c.height}, ',');
    ASSERT_TRUE(calculation.complete()) << calculation.error;
    EXPECT_EQ(calculation.indexText, c.index);
    EXPECT_EQ(calculation.band.band, c.band);
    EXPECT_EQ(calculation.band.background, c.background);
    EXPECT_EQ(calculation.band.textColour, Colour::Window);
    EXPECT_EQ(calculation.band.advice, c.advice);
    EXPECT_EQ(calculation.band.objective, c.objective);
}

const Case kAdultCases[] = {
    {"Overweight", Sex::Male, "35", "80", "1,75", "26,12", "Surcharge pondérale.", Colour::Purple,
     kLowCalorie, "Perdre de 3 à 23 Kg !"},
    {"OverweightZeroLoss", Sex::Male, "35", "76,5", "1,75", "24,97", "Surcharge pondérale.", Colour::Purple,
     kLowCalorie, "Perdre de 0 à 19 Kg !"},
    {"AtMaximumWeight", Sex::Male, "30", "76,25", "1,75", "24,89", "Corpulence normale.", Colour::Teal,
     kNoDiet, "Rester avec un poids stable !"},
    {"AtMinimumWeight", Sex::Male, "30", "56,65", "1,75", "18,49", "Insuffisance pondérale grade I",
     Colour::Desktop, kEnriched, "Prendre de 0 à 19 Kg !"},
    {"NegativeZeroGain", Sex::Female, "35", "56,655", "1,75", "18,49", "Insuffisance pondérale grade I",
     Colour::Desktop, kEnriched, "Prendre de 0 à 19 Kg !"},
    {"ObesityExactly30", Sex::Male, "40", "91,875", "1,75", "30", "Obésité grade I", Colour::Red, kLowCalorie,
     "Perdre de 15 à 35 Kg !"},
    {"GradeIUpTo3490", Sex::Male, "40", "106,89", "1,75", "34,9", "Obésité grade I", Colour::Red, kLowCalorie,
     "Perdre de 30 à 50 Kg !"},
    {"GradeIIFrom3491", Sex::Male, "40", "106,92", "1,75", "34,91", "Obésité grade II", Colour::Red,
     kLowCalorie, "Perdre de 30 à 50 Kg !"},
    {"GradeIIUpTo3990", Sex::Male, "40", "122,2", "1,75", "39,9", "Obésité grade II", Colour::Red,
     kLowCalorie, "Perdre de 45 à 65 Kg !"},
    {"GradeIIIFrom3991", Sex::Male, "40", "122,24", "1,75", "39,91", "Obésité grade III", Colour::Red,
     kLowCalorie, "Perdre de 45 à 65 Kg !"},
    {"Exactly17", Sex::Male, "30", "52,0625", "1,75", "17", "Insuffisance pondérale grade I", Colour::Desktop,
     kEnriched, "Prendre de 4 à 24 Kg !"},
    {"Exactly16", Sex::Male, "30", "49", "1,75", "16", "Insuffisance pondérale grade II", Colour::Desktop,
     kEnriched, "Prendre de 7 à 27 Kg !"},
    {"Exactly13", Sex::Male, "30", "39,8125", "1,75", "13", "Insuffisance pondérale grade III",
     Colour::Desktop, kEnriched, "Prendre de 16 à 36 Kg !"},
    {"Exactly10", Sex::Male, "30", "30,625", "1,75", "10", "Insuffisance pondérale grade IV", Colour::Desktop,
     kEnriched, "Prendre de 26 à 45 Kg !"},
    {"GradeV", Sex::Male, "30", "30", "1,75", "9,79", "Insuffisance pondérale grade V", Colour::Desktop,
     kEnriched, "Prendre de 26 à 46 Kg !"},
    {"GradeII", Sex::Male, "35", "50", "1,75", "16,32", "Insuffisance pondérale grade II", Colour::Desktop,
     kEnriched, "Prendre de 6 à 26 Kg !"},
    {"ZeroWeight", Sex::Male, "35", "0", "1,75", "0", "Insuffisance pondérale grade V", Colour::Desktop,
     kEnriched, "Prendre de 56 à 76 Kg !"},
    {"NegativeIndex", Sex::Male, "35", "-10", "1,75", "-3,26", "Insuffisance pondérale grade V",
     Colour::Desktop, kEnriched, "Prendre de 66 à 86 Kg !"},
    {"Adult1825", Sex::Male, "18,25", "60", "1,7", "20,76", "Corpulence normale.", Colour::Teal, kNoDiet,
     "Rester avec un poids stable !"},
};

const Case kChildCases[] = {
    {"Boy18IsAChild", Sex::Male, "18", "60", "1,7", "20,76", "Corpulence normale.", Colour::Teal, kNoDiet,
     "Rester avec un poids adapté à la croissance !"},
    {"Girl18IsAChild", Sex::Female, "18", "60", "1,7", "20,76", "Corpulence normale.", Colour::Teal, kNoDiet,
     "Rester avec un poids adapté à la croissance !"},
    {"Boy10Obesity1", Sex::Male, "10", "45", "1,4", "22,95", "Obésité degré 1", Colour::Purple, kLowCalorie,
     "Perdre de 5 à 17 Kg !"},
    {"Girl8Normal", Sex::Female, "8", "25", "1,25", "16", "Corpulence normale.", Colour::Teal, kNoDiet,
     "Rester avec un poids adapté à la croissance !"},
    {"Boy0NeverDegree1", Sex::Male, "0", "4", "0,5", "16", "Obésité degré 2", Colour::Red, kLowCalorie,
     "Perdre de 0 à 1 Kg !"},
    {"Girl1NeverDegree1", Sex::Female, "1", "5", "0,5", "20", "Obésité degré 2", Colour::Red, kLowCalorie,
     "Perdre de 0 à 1 Kg !"},
    {"ChildUnderweight", Sex::Female, "8", "20", "1,25", "12,8", "Insuffisance pondérale.", Colour::Desktop,
     kEnriched, "Prendre de 0 à 8 Kg !"},
    {"ChildAtLower", Sex::Male, "0,25", "53", "2", "13,25", "Corpulence normale.", Colour::Teal, kNoDiet,
     "Rester avec un poids adapté à la croissance !"},
};

INSTANTIATE_TEST_SUITE_P(Adult, WorkedExample, testing::ValuesIn(kAdultCases), vimora::test::RowName());
INSTANTIATE_TEST_SUITE_P(Child, WorkedExample, testing::ValuesIn(kChildCases), vimora::test::RowName());

TEST(Calculation, GivesTheBoundsAndTheSummaryLine) {
    const Calculation calculation = calculate(Sex::Male, {"35", "80", "1,75"}, ',');
    EXPECT_EQ(calculation.maximumWeightText, "76,25");
    EXPECT_EQ(calculation.minimumWeightText, "56,65");
    EXPECT_EQ(calculation.summary, "Age : 35 ans  Poids : 80 Kg  Taille : 1,75 m  IMC : 26,12 Kg/m²");
}

TEST(Calculation, SummaryKeepsTheFieldsTextsAsTyped) {
    EXPECT_EQ(calculate(Sex::Female, {"35,0", "080", " 1,750 "}, ',').summary,
              "Age : 35,0 ans  Poids : 080 Kg  Taille :  1,750  m  IMC : 26,12 Kg/m²");
    EXPECT_EQ(calculate(Sex::Male, {"40", "81", "1,8"}, ',').summary,
              "Age : 40 ans  Poids : 81 Kg  Taille : 1,8 m  IMC : 24,99 Kg/m²");
}

TEST(Calculation, ChildBoundsComeFromTheRow) {
    const Calculation calculation = calculate(Sex::Male, {"10", "45", "1,4"}, ',');
    EXPECT_EQ(calculation.maximumWeightText, "39,1");
    EXPECT_EQ(calculation.minimumWeightText, "27,14");
}

// Each failure stops at its own step, with what the earlier steps computed.
TEST(Calculation, StopsAtTheFailingStage) {
    struct Stop {
        PatientTexts texts;
        Stage reached;
        const char* error;
    };
    const Stop stops[] = {
        {{"35", "", "1,75"}, Stage::Nothing, "'' n'est pas une valeur en virgule flottante correcte"},
        {{"35", "70", "0"}, Stage::Nothing, kDivisionByZeroMessage},
        {{"35", "0", ","}, Stage::Nothing, kInvalidOperationMessage},
        {{"35", "70", "1E-200"}, Stage::Nothing, kOverflowMessage},
        {{"35", "80", "1E160"}, Stage::Index, kOverflowMessage},
        {{"35", "80", "1,75"}, Stage::Complete, ""}};
    for (const Stop& stop : stops) {
        const Calculation calculation = calculate(Sex::Male, stop.texts, ',');
        EXPECT_EQ(calculation.reached, stop.reached) << stop.texts.height;
        EXPECT_EQ(calculation.error, stop.error) << stop.texts.height;
    }
    EXPECT_EQ(calculate(Sex::Male, {"35", "80", "1E160"}, ',').indexText, "0");
}

TEST(Calculation, KeepsTheFiguresBehindTheTexts) {
    const Calculation child = calculate(Sex::Female, {"7,3", "25", "1,25"}, ',');
    ASSERT_TRUE(child.complete());
    EXPECT_EQ(child.referenceRow, 29);
    EXPECT_EQ(child.thresholds, lookupReferenceThresholds(Sex::Female, 7.25));
    EXPECT_EQ(child.index, 16);
    EXPECT_EQ(child.ageText, "7,3");

    const Calculation adult = calculate(Sex::Male, {"35", "80", "1,75"}, ',');
    EXPECT_EQ(adult.referenceRow, std::nullopt);
    EXPECT_EQ(adult.bounds.maximumWeight, 76.25);
    EXPECT_EQ(adult.band.background, Colour::Purple);
}

} // namespace
