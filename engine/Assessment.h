#pragma once

#include "Bands.h"
#include "Measures.h"
#include "ReferenceThresholds.h"

#include <optional>
#include <string>
#include <string_view>

// The whole "Calculer" command as one pure function. It runs the steps in order and stops at
// the first that fails, saying how far it got, so that a caller shows exactly what the command
// shows: nothing when reading fails, the index alone when the bounds fail, everything else.
namespace vimora {

/// The three measures as the user typed them.
struct PatientTexts {
    std::string_view age;
    std::string_view weight;
    std::string_view height;
};

struct Measures {
    double age;
    double weight;
    double height;
};

struct WeightBounds {
    double maximumWeight;
    double minimumWeight;
    WeightDifferences differences;
};

/// How far a calculation got: nothing, the index, the weight bounds, or everything.
enum class Stage { Nothing, Index, Bounds, Complete };

/// One run of the command: the inputs, the stage reached, and what each stage computed.
struct Calculation {
    Sex sex = Sex::Male;
    std::string ageText;
    std::string weightText;
    std::string heightText;

    Stage reached = Stage::Nothing;
    std::string error; ///< UTF-8 message of the error that stopped it; empty when complete

    Measures measures{}; ///< from Stage::Index on
    double index = 0;
    std::string indexText;

    ReferenceThresholds thresholds{};
    std::optional<int> referenceRow; ///< child table row (quarter years of age); none for an adult

    WeightBounds bounds{}; ///< from Stage::Bounds on
    std::string maximumWeightText;
    std::string minimumWeightText;

    BandResult band; ///< from Stage::Complete
    std::string summary;

    bool complete() const { return reached == Stage::Complete; }
};

/// Runs the command for one patient. Never throws an EngineError: its message is in error.
Calculation calculate(Sex sex, const PatientTexts& texts, char decimalSeparator);

/// The same into an earlier calculation, whose texts keep their storage, so that a list of
/// patients is assessed without allocating for each. As in a new one, only what the stages
/// reached computed is meaningful.
void calculate(Calculation& calculation, Sex sex, const PatientTexts& texts, char decimalSeparator);

/// Writes into `line` the line that the copy command puts on the clipboard, built from the
/// fields' texts.
void writeSummaryLine(std::string& line, std::string_view age, std::string_view weight,
                      std::string_view height, std::string_view index);

} // namespace vimora
