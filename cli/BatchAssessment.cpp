#include "BatchAssessment.h"

#include "engine/EngineError.h"
#include "engine/WhoReference.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <utility>

namespace vimora::cli {

using csv::CsvError;
using csv::CsvReader;
using csv::CsvWriter;

namespace {

constexpr std::size_t kProgressInterval = 4096;

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase) {
    return std::equal(text.begin(), text.end(), lowerCase.begin(), lowerCase.end(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b; });
}

bool isHeader(std::span<const std::string_view> fields) {
    return std::equal(fields.begin(), fields.end(), kInputColumns.begin(), kInputColumns.end(),
                      equalsIgnoringCase);
}

// Lines that end in CR alone (an old Mac export) are read as one line with ";" and CR inside:
// the header or the field count is wrong then, and the message says why.
bool holdsLoneCarriageReturn(std::span<const std::string_view> fields) {
    return std::any_of(fields.begin(), fields.end(), [](std::string_view field) {
        for (std::size_t at = field.find('\r'); at != std::string_view::npos; at = field.find('\r', at + 1))
            if (at + 1 == field.size() || field[at + 1] != '\n')
                return true;
        return false;
    });
}

constexpr const char* kCarriageReturnsOnly = "fins de ligne CR seules : seules LF et CR LF sont acceptées";

std::string fieldCountMessage(std::size_t count) {
    return std::to_string(count) + (count > 1 ? " champs" : " champ") + " au lieu de " +
           std::to_string(kInputColumns.size());
}

// An error quotes the field as read; a NUL byte in it, which neither a spreadsheet nor a reader
// would show, is written as the two characters "\0".
std::string withNulShown(std::string message) {
    for (std::size_t at = message.find('\0'); at != std::string::npos; at = message.find('\0', at + 2))
        message.replace(at, 1, "\\0");
    return message;
}

// The error report's text for a row. A byte-order mark inside the file (two exports put end to
// end) would be invisible in a message quoting the field: it is named instead.
std::string rowError(const PatientRow& row, std::string message) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    const std::array<std::string_view, 4> fields{row.sex, row.age, row.weight, row.height};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].find(kByteOrderMark) != std::string_view::npos) {
            message = "Marque d'ordre des octets (U+FEFF) au milieu du fichier, dans le champ ";
            message.append(kInputColumns[i]);
            break;
        }
    }
    return withNulShown(withFinalFullStop(std::move(message)));
}

constexpr std::size_t kColumnCount = std::tuple_size_v<decltype(kOutputColumns)>;
constexpr std::size_t kColumnCountWithWho = kColumnCount + std::tuple_size_v<decltype(kWhoColumns)>;
using OutputTexts = std::array<std::string_view, kColumnCountWithWho>;

std::size_t columnCount(const BatchOptions& options) {
    return options.whoScores ? kColumnCountWithWho : kColumnCount;
}

// The text of every column the options ask for, into `texts`.
template <typename ColumnText>
std::span<const std::string_view> columnTexts(OutputTexts& texts, const BatchOptions& options,
                                              ColumnText text) {
    auto end = std::transform(kOutputColumns.begin(), kOutputColumns.end(), texts.begin(), text);
    if (options.whoScores)
        end = std::transform(kWhoColumns.begin(), kWhoColumns.end(), end, text);
    return {texts.begin(), end};
}

void writeHeader(CsvWriter& writer, const BatchOptions& options) {
    OutputTexts names;
    writer.row(columnTexts(names, options, [](const OutputColumn& column) { return column.name; }));
}

template <std::string_view PatientRow::*field>
std::string_view inputText(const PatientRow& row, const RowOutcome& /*outcome*/) {
    return row.*field;
}

// The texts of the window for a patient that was assessed; nothing for one that was not.
template <std::string Calculation::*text>
std::string_view shownText(const PatientRow& /*row*/, const RowOutcome& outcome) {
    return outcome.error.empty() ? std::string_view(outcome.calculation.*text) : std::string_view();
}

template <std::string BandResult::*text>
std::string_view shownBandText(const PatientRow& /*row*/, const RowOutcome& outcome) {
    return outcome.error.empty() ? std::string_view(outcome.calculation.band.*text) : std::string_view();
}

std::string_view errorText(const PatientRow& /*row*/, const RowOutcome& outcome) {
    return outcome.error;
}

template <std::string RowOutcome::*text>
std::string_view outcomeText(const PatientRow& /*row*/, const RowOutcome& outcome) {
    return outcome.*text;
}

void writeInterruption(CsvWriter& writer, const std::string& reason, const BatchOptions& options) {
    const std::string message =
        "Lecture interrompue (" + reason + ") : la suite de l'entrée n'a pas été évaluée.";
    OutputTexts texts;
    texts[kColumnCount - 1] = message;
    writer.row(std::span(texts.data(), columnCount(options)));
}

// A child's WHO figures, from the age typed in years and the index as the window shows it.
void assessWho(Sex sex, RowOutcome& outcome) {
    const Calculation& calculation = outcome.calculation;
    if (calculation.measures.age > kAdultAge)
        return;
    const std::optional<WhoScore> score =
        whoBmiForAge(sex, calculation.measures.age * kDaysPerYear, calculation.index);
    if (!score)
        return;
    outcome.whoZ = whoZText(score->z);
    outcome.whoPercentile = whoPercentileText(score->percentile);
}

} // namespace

const std::array<OutputColumn, 12> kOutputColumns{{
    {"sexe", inputText<&PatientRow::sex>},
    {"age", inputText<&PatientRow::age>},
    {"poids", inputText<&PatientRow::weight>},
    {"taille", inputText<&PatientRow::height>},
    {"imc", shownText<&Calculation::indexText>},
    {"poids_max", shownText<&Calculation::maximumWeightText>},
    {"poids_min", shownText<&Calculation::minimumWeightText>},
    {"resultat", shownBandText<&BandResult::band>},
    {"conseils", shownBandText<&BandResult::advice>},
    {"objectif", shownBandText<&BandResult::objective>},
    {"resume", shownText<&Calculation::summary>},
    {"erreur", errorText},
}};

const std::array<OutputColumn, 2> kWhoColumns{{
    {"z_oms", outcomeText<&RowOutcome::whoZ>},
    {"percentile_oms", outcomeText<&RowOutcome::whoPercentile>},
}};

void assessRow(const PatientRow& row, RowOutcome& outcome, const BatchOptions& options) {
    outcome.error.clear();
    outcome.whoZ.clear();
    outcome.whoPercentile.clear();
    const std::optional<Sex> sex = parseSex(row.sex);
    if (!sex) {
        outcome.error = rowError(row, std::string("Sexe inconnu : '").append(row.sex).append("'"));
        return;
    }
    calculate(outcome.calculation, *sex, {row.age, row.weight, row.height}, kDecimalSeparator);
    if (!outcome.calculation.complete())
        outcome.error = rowError(row, outcome.calculation.error);
    else if (options.whoScores)
        assessWho(*sex, outcome);
}

void writeRow(CsvWriter& writer, const PatientRow& row, const RowOutcome& outcome,
              const BatchOptions& options) {
    OutputTexts texts;
    writer.row(
        columnTexts(texts, options, [&](const OutputColumn& column) { return column.text(row, outcome); }));
}

int BatchResult::exitStatus() const {
    if (!usageError.empty())
        return 2;
    return failedRows > 0 ? 1 : 0;
}

BatchResult runBatch(CsvReader& reader, CsvWriter& writer, const ProgressFunction& progress,
                     const BatchOptions& options) {
    BatchResult result;
    bool headerWritten = false;
    try {
        if (!reader.next()) {
            result.usageError = "en-tête manquant : la première ligne doit être sexe;age;poids;taille";
            return result;
        }
        if (!isHeader(reader.fields())) {
            result.usageError = CsvError(reader.line(), holdsLoneCarriageReturn(reader.fields())
                                                            ? kCarriageReturnsOnly
                                                            : "en-tête attendu : sexe;age;poids;taille")
                                    .what();
            return result;
        }
        writeHeader(writer, options);
        headerWritten = true;
        RowOutcome outcome;
        while (reader.next()) {
            const std::span<const std::string_view> fields = reader.fields();
            if (fields.size() != kInputColumns.size())
                throw CsvError(reader.line(), holdsLoneCarriageReturn(fields)
                                                  ? kCarriageReturnsOnly
                                                  : fieldCountMessage(fields.size()));
            const PatientRow row{fields[0], fields[1], fields[2], fields[3]};
            assessRow(row, outcome, options);
            writeRow(writer, row, outcome, options);
            ++result.rows;
            if (!outcome.error.empty())
                ++result.failedRows;
            if (progress && result.rows % kProgressInterval == 0)
                progress(result.rows);
        }
    } catch (const csv::OutputError&) {
        throw;
    } catch (const std::exception& error) {
        // A read error or a malformed line: what was written stays, marked as unfinished.
        result.usageError = error.what();
        result.interrupted = headerWritten;
        if (headerWritten)
            writeInterruption(writer, result.usageError, options);
    }
    writer.flush();
    if (progress)
        progress(result.rows);
    return result;
}

} // namespace vimora::cli
