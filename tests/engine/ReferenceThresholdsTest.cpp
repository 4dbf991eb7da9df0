#include "engine/ReferenceThresholds.h"

#include "NamedRows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace vimora;

namespace {

struct Row {
    const char* name;
    Sex sex;
    double age;
    ReferenceThresholds expected;
};

class Lookup : public testing::TestWithParam<Row> {};

TEST_P(Lookup, GivesTheTabulatedRow) {
    EXPECT_EQ(lookupReferenceThresholds(GetParam().sex, GetParam().age), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Lookup,
    testing::Values(Row{"Boy18", Sex::Male, 18, {26.00, 17.00, 30.00}},
                    Row{"Girl18", Sex::Female, 18, {26.35, 16.70, 30.00}},
                    Row{"Adult1825", Sex::Male, 18.25, {24.90, 18.50, 30.00}},
                    Row{"Adult1801", Sex::Female, 18.01, {24.90, 18.50, 30.00}},
                    Row{"Adult40", Sex::Female, 40, {24.90, 18.50, 30.00}},
                    Row{"Boy0", Sex::Male, 0, {16.00, 11.00, 16.00}},
                    Row{"Girl0", Sex::Female, 0, {15.50, 11.00, 15.50}},
                    Row{"Boy525", Sex::Male, 5.25, {17.80, 13.45, 19.40}},
                    Row{"Girl525", Sex::Female, 5.25, {17.70, 13.15, 19.25}},
                    Row{"Boy10", Sex::Male, 10, {19.95, 13.85, 24.00}},
                    Row{"Girl10", Sex::Female, 10, {19.95, 13.50, 24.05}},
                    Row{"Girl8", Sex::Female, 8, {18.50, 13.17, 21.55}},
                    Row{"Girl1550", Sex::Female, 15.5, {24.45, 16.05, 29.30}},
                    Row{"Girl075", Sex::Female, 0.75, {18.80, 15.70, 18.80}},
                    Row{"Girl275", Sex::Female, 2.75, {18.60, 14.75, 19.45}},
                    Row{"Boy1775", Sex::Male, 17.75, {25.85, 17.00, 29.80}},
                    // Between rows: the last completed quarter year.
                    Row{"Boy179", Sex::Male, 17.9, {25.85, 17.00, 29.80}},
                    Row{"Boy01", Sex::Male, 0.1, {16.00, 11.00, 16.00}},
                    Row{"Girl53", Sex::Female, 5.3, {17.70, 13.15, 19.25}},
                    Row{"JustBelow18", Sex::Male, 17.999999999999996, {25.85, 17.00, 29.80}}),
    vimora::test::RowName());

TEST(ReferenceTable, EveryRowKeepsItsThresholdsInOrder) {
    for (int quarter = 0; quarter <= 72; ++quarter) {
        for (Sex sex : {Sex::Male, Sex::Female}) {
            const ReferenceThresholds row = lookupReferenceThresholds(sex, quarter / 4.0);
            EXPECT_LT(row.lowerThreshold, row.upperThreshold) << quarter;
            EXPECT_LE(row.upperThreshold, row.obesityThreshold) << quarter;
            if (quarter <= 4) {
                EXPECT_EQ(row.upperThreshold, row.obesityThreshold) << quarter;
            }
        }
    }
}

// As a list or a file writes it: the letters and the window's words, accented or not, in any case.
TEST(ParseSex, AcceptsTheLettersAndTheWindowsWordsInAnyCase) {
    for (const char* text : {"M", "m", "Masculin", "mAsCuLiN"})
        EXPECT_EQ(parseSex(text), Sex::Male) << "'" << text << "'";
    for (const char* text : {"F", "f", "Feminin", "FEMININ", "Féminin", "FÉMININ", "Fe\u0301minin"})
        EXPECT_EQ(parseSex(text), Sex::Female) << "'" << text << "'";
    for (const char* text : {"", " M", "M ", "Male", "Masc", "MF", "Masculine", "M\u0301"})
        EXPECT_EQ(parseSex(text), std::nullopt) << "'" << text << "'";
}

} // namespace
