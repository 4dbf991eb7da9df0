#include "cli/BatchAssessment.h"

#include "engine/EngineError.h"

#include "MemoryReader.h"
#include "NamedRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

using namespace vimora;
using namespace vimora::cli;
using namespace vimora::csv;

namespace {

const std::string kOutputHeader =
    "sexe;age;poids;taille;imc;poids_max;poids_min;resultat;conseils;objectif;resume;erreur\n";

struct BatchRun {
    BatchResult result;
    std::string output;
};

BatchRun runOn(CsvReader::ReadFunction read) {
    BatchRun run;
    CsvReader reader(std::move(read));
    CsvWriter writer([&](std::string_view bytes) { run.output.append(bytes); });
    run.result = runBatch(reader, writer);
    return run;
}

BatchRun runOn(const std::string& input) {
    return runOn(vimora::test::MemoryReader(input));
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        result.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return result;
}

// The output row for one input row, through the whole batch.
std::string outputRow(const std::string& inputRow) {
    const BatchRun run = runOn("sexe;age;poids;taille\n" + inputRow + "\n");
    EXPECT_EQ(run.output.substr(0, kOutputHeader.size()), kOutputHeader);
    return run.output.substr(kOutputHeader.size());
}

struct RowCase {
    const char* name;
    const char* input;
    const char* output;
};

class AssessedRow : public testing::TestWithParam<RowCase> {};

TEST_P(AssessedRow, HasTheWindowsTexts) {
    EXPECT_EQ(outputRow(GetParam().input), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, AssessedRow,
    testing::Values(
        RowCase{
            "AdultOverweight", "M;35;80;1,75",
            "M;35;80;1,75;26,12;76,25;56,65;Surcharge pondérale.;Régime hypocalorique avec suivi médical.;"
            "Perdre de 3 à 23 Kg !;Age : 35 ans  Poids : 80 Kg  Taille : 1,75 m  IMC : 26,12 Kg/m²;\n"},
        RowCase{"ExtendedPrecisionIndex", "Masculin;35;81;1,8",
                "Masculin;35;81;1,8;24,99;80,67;59,94;Surcharge pondérale.;Régime hypocalorique avec suivi "
                "médical.;Perdre de 0 à 21 Kg !;Age : 35 ans  Poids : 81 Kg  Taille : 1,8 m  IMC : 24,99 "
                "Kg/m²;\n"},
        RowCase{"AdultObesityAtThreshold", "m;40;91,875;1,75",
                "m;40;91,875;1,75;30;76,25;56,65;Obésité grade I;Régime hypocalorique avec suivi médical.;"
                "Perdre de 15 à 35 Kg !;Age : 40 ans  Poids : 91,875 Kg  Taille : 1,75 m  IMC : 30 Kg/m²;\n"},
        RowCase{"AdultUnderweightGradeV", "M;30;30;1,75",
                "M;30;30;1,75;9,79;76,25;56,65;Insuffisance pondérale grade V;Régime enrichi avec suivi "
                "médical.;Prendre de 26 à 46 Kg !;Age : 30 ans  Poids : 30 Kg  Taille : 1,75 m  IMC : 9,79 "
                "Kg/m²;\n"},
        RowCase{
            "GirlNormal", "F;8;25;1,25",
            "F;8;25;1,25;16;28,9;20,57;Corpulence normale.;Pas de régime particulier à réaliser.;Rester "
            "avec un poids adapté à la croissance !;Age : 8 ans  Poids : 25 Kg  Taille : 1,25 m  IMC : 16 "
            "Kg/m²;\n"},
        RowCase{"AccentedFeminin", "Féminin;8;25;1,25",
                "Féminin;8;25;1,25;16;28,9;20,57;Corpulence normale.;Pas de régime particulier à réaliser.;"
                "Rester avec un poids adapté à la croissance !;Age : 8 ans  Poids : 25 Kg  Taille : 1,25 m  "
                "IMC : 16 Kg/m²;\n"},
        RowCase{
            "BoyObesityDegree1", "MASCULIN;10;45;1,4",
            "MASCULIN;10;45;1,4;22,95;39,1;27,14;Obésité degré 1;Régime hypocalorique avec suivi médical.;"
            "Perdre de 5 à 17 Kg !;Age : 10 ans  Poids : 45 Kg  Taille : 1,4 m  IMC : 22,95 Kg/m²;\n"},
        RowCase{
            "NewbornObesityDegree2", "M;0;4;0,5",
            "M;0;4;0,5;16;4;2,75;Obésité degré 2;Régime hypocalorique avec suivi médical.;Perdre de 0 à 1 "
            "Kg !;Age : 0 ans  Poids : 4 Kg  Taille : 0,5 m  IMC : 16 Kg/m²;\n"},
        RowCase{
            "AgeEighteenIsAChild", "feminin;18;60;1,7",
            "feminin;18;60;1,7;20,76;76,15;48,26;Corpulence normale.;Pas de régime particulier à réaliser.;"
            "Rester avec un poids adapté à la croissance !;Age : 18 ans  Poids : 60 Kg  Taille : 1,7 m  IMC "
            ": 20,76 Kg/m²;\n"},
        RowCase{
            "TextsAsTypedInTheSummary", "M;35,0;080; 1,750 ",
            "M;35,0;080; 1,750 ;26,12;76,25;56,65;Surcharge pondérale.;Régime hypocalorique avec suivi "
            "médical.;Perdre de 3 à 23 Kg !;Age : 35,0 ans  Poids : 080 Kg  Taille :  1,750  m  IMC : 26,12 "
            "Kg/m²;\n"},
        RowCase{
            "QuotedInputFieldsEchoedUnquoted", "\"M\";\"35\";\"80\";\"1,75\"",
            "M;35;80;1,75;26,12;76,25;56,65;Surcharge pondérale.;Régime hypocalorique avec suivi médical.;"
            "Perdre de 3 à 23 Kg !;Age : 35 ans  Poids : 80 Kg  Taille : 1,75 m  IMC : 26,12 Kg/m²;\n"}),
    vimora::test::RowName());

INSTANTIATE_TEST_SUITE_P(
    Errors, AssessedRow,
    testing::Values(
        RowCase{"EmptyAge", "M;;80;1,75",
                "M;;80;1,75;;;;;;;;'' n'est pas une valeur en virgule flottante correcte.\n"},
        RowCase{"FullStopAsSeparator", "M;35;80;1.75",
                "M;35;80;1.75;;;;;;;;'1.75' n'est pas une valeur en virgule flottante correcte.\n"},
        RowCase{"AgeConvertedFirst", "F;x;;",
                "F;x;;;;;;;;;;'x' n'est pas une valeur en virgule flottante correcte.\n"},
        RowCase{"ZeroHeight", "M;35;70;0", "M;35;70;0;;;;;;;;Division par zéro en virgule flottante.\n"},
        RowCase{"ZeroHeightAndWeight", "M;35;0;0",
                "M;35;0;0;;;;;;;;Opération en virgule flottante incorrecte.\n"},
        RowCase{"Overflow", "M;35;1E400;1,75", "M;35;1E400;1,75;;;;;;;;Débordement en virgule flottante.\n"},
        RowCase{"UnknownSex", "X;35;80;1,75", "X;35;80;1,75;;;;;;;;Sexe inconnu : 'X'\n"},
        RowCase{"SexCheckedBeforeMeasures", "Homme;;;", "Homme;;;;;;;;;;;Sexe inconnu : 'Homme'\n"},
        RowCase{"EmptySex", ";35;80;1,75", ";35;80;1,75;;;;;;;;Sexe inconnu : ''\n"},
        RowCase{"SpecialCharactersQuotedInEchoAndMessage", "M;\"3;5\";\"8\"\"0\";1,75",
                "M;\"3;5\";\"8\"\"0\";1,75;;;;;;;;\"'3;5' n'est pas une valeur en virgule flottante "
                "correcte.\"\n"}),
    vimora::test::RowName());

// The same patients given to the engine directly and to the batch row: identical texts.
TEST(AssessRow, AgreesWithTheEngineForEveryPatient) {
    const std::array ages = {"0", "0,75", "5,3", "8", "15,5", "18", "18,25", "35", "-1", ""};
    const std::array weights = {"0", "4", "25", "56,655", "80", "122,2", "1.5"};
    const std::array heights = {"0", "0,5", "1,25", "1,75", "1,8", ","};
    for (const Sex sex : {Sex::Male, Sex::Female}) {
        for (const char* age : ages) {
            for (const char* weight : weights) {
                for (const char* height : heights) {
                    RowOutcome outcome;
                    assessRow({sex == Sex::Male ? "M" : "F", age, weight, height}, outcome);
                    const std::string patient = std::string(age) + " / " + weight + " / " + height;
                    const Calculation expected = calculate(sex, {age, weight, height}, ',');
                    if (!expected.complete()) {
                        EXPECT_EQ(outcome.error, withFinalFullStop(expected.error)) << patient;
                        continue;
                    }
                    ASSERT_EQ(outcome.error, "") << patient;
                    EXPECT_EQ(outcome.calculation.indexText, expected.indexText) << patient;
                    EXPECT_EQ(outcome.calculation.maximumWeightText, expected.maximumWeightText) << patient;
                    EXPECT_EQ(outcome.calculation.minimumWeightText, expected.minimumWeightText) << patient;
                    EXPECT_EQ(outcome.calculation.band.band, expected.band.band) << patient;
                    EXPECT_EQ(outcome.calculation.band.advice, expected.band.advice) << patient;
                    EXPECT_EQ(outcome.calculation.band.objective, expected.band.objective) << patient;
                    EXPECT_EQ(outcome.calculation.summary, expected.summary) << patient;
                }
            }
        }
    }
}

TEST(RunBatch, AllRowsAssessedExitsZero) {
    const BatchRun run = runOn("sexe;age;poids;taille\nM;35;80;1,75\nF;8;25;1,25\n");
    EXPECT_EQ(run.result.exitStatus(), 0);
    EXPECT_EQ(run.result.rows, 2u);
    EXPECT_EQ(run.result.failedRows, 0u);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 3);
}

TEST(RunBatch, ARowErrorExitsOneAndKeepsEveryRowInOrder) {
    const BatchRun run = runOn("sexe;age;poids;taille\nM;35;;1,75\nF;8;25;1,25\nX;1;1;1\n");
    EXPECT_EQ(run.result.exitStatus(), 1);
    EXPECT_EQ(run.result.rows, 3u);
    EXPECT_EQ(run.result.failedRows, 2u);
    EXPECT_EQ(run.output.substr(kOutputHeader.size(), 12), "M;35;;1,75;;");
    EXPECT_NE(run.output.find("\nF;8;25;1,25;16;"), std::string::npos);
    EXPECT_TRUE(run.output.ends_with("\nX;1;1;1;;;;;;;;Sexe inconnu : 'X'\n"));
}

// With --oms the two WHO columns follow the error; the window's columns do not change.
TEST(RunBatch, WhoScoresForChildrenUpTo18Only) {
    const std::string input = "sexe;age;poids;taille\n"
                              "F;8;25;1,25\n"     // 2922 days: month 96
                              "M;0,5;8;0,68\n"    // 182.625 days: day 183
                              "M;18;70;1,75\n"    // a child to the window: month 216
                              "F;8;60;1,25\n"     // far beyond +3
                              "M;14,75;20;1,6\n"  // far beyond -3
                              "M;18,25;70;1,75\n" // an adult, though under 229 months
                              "M;35;80;1,75\n"    // an adult
                              "F;8;-25;1,25\n"    // an index that is not positive
                              "F;8;;1,25\n"       // an error
                              "X;8;25;1,25\n";    // an error
    CsvReader reader(vimora::test::MemoryReader(input + "M;8\n"));
    std::string output;
    CsvWriter writer([&](std::string_view bytes) { output.append(bytes); });
    const BatchResult result = runBatch(reader, writer, {}, BatchOptions{.whoScores = true});
    EXPECT_EQ(result.rows, 10u);

    const std::vector<std::string> withWho = lines(output);
    const std::vector<std::string> without = lines(runOn(input).output);
    ASSERT_EQ(withWho.size(), without.size() + 1);
    EXPECT_EQ(withWho[0], without[0] + ";z_oms;percentile_oms");
    const std::array<const char*, 10> whoFields{
        ";0,18;57,0", ";-0,03;48,8", ";0,39;65,1", ";6,23;100,0", ";-8,30;0,0", ";;", ";;", ";;", ";;", ";;"};
    for (std::size_t row = 0; row < whoFields.size(); ++row)
        EXPECT_EQ(withWho[row + 1], without[row + 1] + whoFields[row]) << "row " << row + 1;
    EXPECT_EQ(withWho.back(),
              ";;;;;;;;;;;Lecture interrompue (ligne 12 : 2 champs au lieu de 4) : la suite de "
              "l'entrée n'a pas été évaluée.;;");
}

TEST(RunBatch, AByteOrderMarkInsideTheFileIsNamed) {
    const BatchRun run = runOn("sexe;age;poids;taille\n\xEF\xBB\xBF"
                               "F;8;25;1,25\nM;35;\xEF\xBB\xBF"
                               "80;1,75\n");
    EXPECT_EQ(run.result.exitStatus(), 1);
    EXPECT_EQ(run.output, kOutputHeader +
                              "\xEF\xBB\xBF"
                              "F;8;25;1,25;;;;;;;;Marque d'ordre des octets (U+FEFF) au milieu du "
                              "fichier, dans le champ sexe.\n"
                              "M;35;\xEF\xBB\xBF"
                              "80;1,75;;;;;;;;Marque d'ordre des octets (U+FEFF) au milieu du "
                              "fichier, dans le champ poids.\n");
}

TEST(RunBatch, HeaderOnlyGivesTheOutputHeader) {
    const BatchRun run = runOn("\xEF\xBB\xBF\"Sexe\";AGE;Poids;taille\r\n\r\n");
    EXPECT_EQ(run.result.exitStatus(), 0);
    EXPECT_EQ(run.output, kOutputHeader);
}

struct UsageCase {
    const char* name;
    std::string input;
    std::string message;
};

class HeaderFault : public testing::TestWithParam<UsageCase> {};

TEST_P(HeaderFault, WritesNothing) {
    const BatchRun run = runOn(GetParam().input);
    EXPECT_EQ(run.result.exitStatus(), 2);
    EXPECT_EQ(run.result.usageError, GetParam().message);
    EXPECT_FALSE(run.result.interrupted);
    EXPECT_EQ(run.output, "");
}

INSTANTIATE_TEST_SUITE_P(
    RunBatch, HeaderFault,
    testing::Values(
        UsageCase{"EmptyInput", "", "en-tête manquant : la première ligne doit être sexe;age;poids;taille"},
        UsageCase{"BlankLinesOnly", "\n\r\n",
                  "en-tête manquant : la première ligne doit être sexe;age;poids;taille"},
        UsageCase{"DataInsteadOfHeader", "M;35;80;1,75\n",
                  "ligne 1 : en-tête attendu : sexe;age;poids;taille"},
        UsageCase{"ColumnsInAnotherOrder", "\nsexe;poids;age;taille\n",
                  "ligne 2 : en-tête attendu : sexe;age;poids;taille"},
        UsageCase{"ColumnMissing", "sexe;age;poids\nM;35;80\n",
                  "ligne 1 : en-tête attendu : sexe;age;poids;taille"},
        UsageCase{"ExtraColumn", "sexe;age;poids;taille;nom\n",
                  "ligne 1 : en-tête attendu : sexe;age;poids;taille"},
        UsageCase{"CommaSeparated", "sexe,age,poids,taille\n",
                  "ligne 1 : en-tête attendu : sexe;age;poids;taille"},
        UsageCase{"Latin1Header", "s\xE9xe;age;poids;taille\n", "ligne 1 : texte qui n'est pas en UTF-8"},
        UsageCase{"CarriageReturnsOnly", "sexe;age;poids;taille\rM;35;80;1,75\r",
                  "ligne 1 : fins de ligne CR seules : seules LF et CR LF sont acceptées"}),
    vimora::test::RowName());

class FaultAfterHeader : public testing::TestWithParam<UsageCase> {};

TEST_P(FaultAfterHeader, KeepsTheRowsBeforeAndMarksTheOutputIncomplete) {
    const BatchRun run = runOn("sexe;age;poids;taille\nM;35;80;1,75\n" + GetParam().input + "F;8;25;1,25\n");
    EXPECT_EQ(run.result.exitStatus(), 2);
    EXPECT_EQ(run.result.usageError, GetParam().message);
    EXPECT_TRUE(run.result.interrupted);
    EXPECT_EQ(run.result.rows, 1u);
    const std::string firstRow = outputRow("M;35;80;1,75");
    EXPECT_EQ(run.output, kOutputHeader + firstRow + ";;;;;;;;;;;Lecture interrompue (" + GetParam().message +
                              ") : la suite de l'entrée n'a pas été évaluée.\n");
}

INSTANTIATE_TEST_SUITE_P(
    RunBatch, FaultAfterHeader,
    testing::Values(UsageCase{"ThreeFields", "M;35;80\n", "ligne 3 : 3 champs au lieu de 4"},
                    UsageCase{"FiveFields", "\nM;35;80;1,75;x\n", "ligne 4 : 5 champs au lieu de 4"},
                    UsageCase{"OneField", "M 35 80 1,75\n", "ligne 3 : 1 champ au lieu de 4"},
                    UsageCase{"CommaSeparatedRow", "M,35,80,\"1,75\"\n", "ligne 3 : 1 champ au lieu de 4"},
                    UsageCase{"UnterminatedQuote", "M;35;\"80;1,75\n", "ligne 3 : guillemet non fermé"},
                    UsageCase{"NotUtf8", "F\xE9minin;8;25;1,25\n", "ligne 3 : texte qui n'est pas en UTF-8"},
                    UsageCase{"CarriageReturnsOnly", "M;35;80;1,75\rF;8;25;1,25\r\n",
                              "ligne 3 : fins de ligne CR seules : seules LF et CR LF sont acceptées"},
                    UsageCase{"QuotedLineEndIsNoLoneCarriageReturn", "M;35;80;\"1,75\r\n\";x\n",
                              "ligne 3 : 5 champs au lieu de 4"}),
    vimora::test::RowName());

TEST(RunBatch, AReadErrorAfterTheHeaderMarksTheOutputIncomplete) {
    int calls = 0;
    vimora::test::MemoryReader text("sexe;age;poids;taille\nM;35;80;1,75\n");
    const BatchRun run = runOn([&calls, &text](char* buffer, std::size_t size) {
        if (++calls > 1)
            throw std::runtime_error("erreur de lecture : panne");
        return text(buffer, size);
    });
    EXPECT_EQ(run.result.exitStatus(), 2);
    EXPECT_EQ(run.result.usageError, "erreur de lecture : panne");
    EXPECT_TRUE(run.output.ends_with("\n;;;;;;;;;;;Lecture interrompue (erreur de lecture : panne) : la "
                                     "suite de l'entrée n'a pas été évaluée.\n"));
}

TEST(RunBatch, AWriteErrorStopsTheBatch) {
    CsvReader reader(vimora::test::MemoryReader("sexe;age;poids;taille\nM;35;80;1,75\n"));
    CsvWriter writer([](std::string_view) { throw OutputError("erreur d'écriture : disque plein"); });
    EXPECT_THROW(runBatch(reader, writer), OutputError);
}

TEST(RunBatch, ReportsProgressUpToTheLastRow) {
    std::string input = "sexe;age;poids;taille\n";
    for (int i = 0; i < 10'000; ++i)
        input += "M;35;80;1,75\n";
    std::vector<std::size_t> reported;
    CsvReader reader{vimora::test::MemoryReader(input)};
    CsvWriter writer([](std::string_view) {});
    runBatch(reader, writer, [&](std::size_t rows) { reported.push_back(rows); });
    ASSERT_FALSE(reported.empty());
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_GT(reported.size(), 1u) << "progress during the run, not only at its end";
    EXPECT_EQ(reported.back(), 10'000u);
}

} // namespace
