#include "BatchAssessment.h"

#include "EngineError.h"

#include <algorithm>
#include <utility>

namespace vimora::cli {

namespace {

// The window reads its fields with the comma as decimal separator, whatever the locale.
constexpr char kDecimalSeparator = ',';

constexpr std::size_t kProgressInterval = 4096;

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase) {
    return std::equal(text.begin(), text.end(), lowerCase.begin(), lowerCase.end(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b; });
}

bool isHeader(std::span<const std::string_view> fields) {
    return std::equal(fields.begin(), fields.end(), kInputColumns.begin(), kInputColumns.end(),
                      equalsIgnoringCase);
}

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

void writeHeader(CsvWriter& writer) {
    for (const std::string_view column : kOutputColumns)
        writer.field(column);
    writer.endRow();
}

void writeInterruption(CsvWriter& writer, const std::string& reason) {
    writer.emptyFields(kOutputColumns.size() - 1);
    writer.field("Lecture interrompue (" + reason + ") : la suite de l'entrée n'a pas été évaluée.");
    writer.endRow();
}

} // namespace

std::optional<Sex> parseSex(std::string_view text) {
    if (equalsIgnoringCase(text, "m") || equalsIgnoringCase(text, "masculin"))
        return Sex::Male;
    if (equalsIgnoringCase(text, "f") || equalsIgnoringCase(text, "feminin"))
        return Sex::Female;
    return std::nullopt;
}

RowOutcome assessRow(const PatientRow& row) {
    RowOutcome outcome;
    const std::optional<Sex> sex = parseSex(row.sex);
    if (!sex) {
        outcome.error =
            withNulShown(withFinalFullStop(std::string("Sexe inconnu : '").append(row.sex).append("'")));
        return outcome;
    }
    Calculation calculation = calculate(*sex, {row.age, row.weight, row.height}, kDecimalSeparator);
    if (!calculation.complete()) {
        outcome.error = withNulShown(withFinalFullStop(std::move(calculation.error)));
        return outcome;
    }
    outcome.assessment = assessmentTexts(std::move(calculation));
    return outcome;
}

void writeRow(CsvWriter& writer, const PatientRow& row, const RowOutcome& outcome) {
    writer.field(row.sex);
    writer.field(row.age);
    writer.field(row.weight);
    writer.field(row.height);
    if (outcome.error.empty()) {
        const Assessment& assessment = outcome.assessment;
        writer.field(assessment.index);
        writer.field(assessment.maximumWeight);
        writer.field(assessment.minimumWeight);
        writer.field(assessment.band.band);
        writer.field(assessment.band.advice);
        writer.field(assessment.band.objective);
        writer.field(assessment.summary);
        writer.field({});
    } else {
        writer.emptyFields(kOutputColumns.size() - kInputColumns.size() - 1);
        writer.field(outcome.error);
    }
    writer.endRow();
}

int BatchResult::exitStatus() const {
    if (!usageError.empty())
        return 2;
    return failedRows > 0 ? 1 : 0;
}

BatchResult runBatch(CsvReader& reader, CsvWriter& writer, const ProgressFunction& progress) {
    BatchResult result;
    bool headerWritten = false;
    try {
        if (!reader.next()) {
            result.usageError = "en-tête manquant : la première ligne doit être sexe;age;poids;taille";
            return result;
        }
        if (!isHeader(reader.fields())) {
            result.usageError = CsvError(reader.line(), "en-tête attendu : sexe;age;poids;taille").what();
            return result;
        }
        writeHeader(writer);
        headerWritten = true;
        while (reader.next()) {
            const std::span<const std::string_view> fields = reader.fields();
            if (fields.size() != kInputColumns.size())
                throw CsvError(reader.line(), fieldCountMessage(fields.size()));
            const PatientRow row{fields[0], fields[1], fields[2], fields[3]};
            const RowOutcome outcome = assessRow(row);
            writeRow(writer, row, outcome);
            ++result.rows;
            if (!outcome.error.empty())
                ++result.failedRows;
            if (progress && result.rows % kProgressInterval == 0)
                progress(result.rows);
        }
    } catch (const OutputError&) {
        throw;
    } catch (const std::exception& error) {
        // A read error or a malformed line: what was written stays, marked as unfinished.
        result.usageError = error.what();
        result.interrupted = headerWritten;
        if (headerWritten)
            writeInterruption(writer, result.usageError);
    }
    writer.flush();
    if (progress)
        progress(result.rows);
    return result;
}

} // namespace vimora::cli
