#pragma once

#include "csv/CsvReader.h"
#include "csv/CsvWriter.h"
#include "engine/Assessment.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// The batch assessment: every row of a patient list goes through the same engine call as the
// window's "Calculer" command and comes out with the texts the window would show.
namespace vimora::cli {

inline constexpr std::array<std::string_view, 4> kInputColumns{"sexe", "age", "poids", "taille"};

/// One input row, as read (after unquoting).
struct PatientRow {
    std::string_view sex;
    std::string_view age;
    std::string_view weight;
    std::string_view height;
};

/// What the command is asked for beyond the window's texts.
struct BatchOptions {
    bool whoScores = false; ///< --oms: the WHO z-score and percentile of each child
};

/// What the window shows for one patient, or the text of the error report it would show.
struct RowOutcome {
    Calculation calculation; ///< complete when error is empty
    std::string error;
    std::string whoZ;          ///< empty unless asked for, and for adults, ages past 19 and errors
    std::string whoPercentile; ///< to the tenth as computed ("100,0" can appear); empty with whoZ
};

/// Assesses the patient into `outcome`, whose texts keep their storage from row to row.
void assessRow(const PatientRow& row, RowOutcome& outcome, const BatchOptions& options = {});

/// A column of the output: its name in the header and its text in a patient's row.
struct OutputColumn {
    std::string_view name;
    std::string_view (*text)(const PatientRow& row, const RowOutcome& outcome);
};

/// The input fields as read, then the window's texts, empty when the patient could not be
/// assessed, then the error.
extern const std::array<OutputColumn, 12> kOutputColumns;

/// With --oms, after the error: the WHO z-score and percentile.
extern const std::array<OutputColumn, 2> kWhoColumns;

/// The output row: the text of every column.
void writeRow(csv::CsvWriter& writer, const PatientRow& row, const RowOutcome& outcome,
              const BatchOptions& options = {});

struct BatchResult {
    std::size_t rows = 0;       ///< patient rows written
    std::size_t failedRows = 0; ///< of which with an error
    std::string usageError;     ///< why the input could not be read to its end, if it could not
    bool interrupted = false;   ///< the usage error came after rows had begun to be written

    /// 0 every row assessed, 1 some row failed, 2 the input was unusable.
    int exitStatus() const;
};

/// Called now and then with the number of rows done.
using ProgressFunction = std::function<void(std::size_t rows)>;

/// Reads the header and every row and writes the output. A fault of the input before the
/// output header leaves the output empty; after it, the rows written stay and a last row whose
/// error says where reading stopped marks the output as incomplete. Throws csv::OutputError.
BatchResult runBatch(csv::CsvReader& reader, csv::CsvWriter& writer, const ProgressFunction& progress = {},
                     const BatchOptions& options = {});

} // namespace vimora::cli
