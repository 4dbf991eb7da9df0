#pragma once

#include "Bands.h"
#include "Measures.h"
#include "ReferenceThresholds.h"

#include <string>
#include <string_view>

// The whole "Calculer" command as one pure function, and its steps for callers that show each
// result as soon as it is known (the window does, so that a failure leaves what it leaves).
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

/// Converts age, weight and height in that order; a negative age is refused right after it
/// is converted.
Measures parseMeasures(const PatientTexts& texts, char decimalSeparator);

struct WeightBounds {
    double maximumWeight;
    double minimumWeight;
    WeightDifferences differences;
};

WeightBounds weightBounds(const Measures& measures, const ReferenceThresholds& thresholds);

/// The line that the copy command puts on the clipboard, built from the fields' texts.
std::string summaryLine(std::string_view age, std::string_view weight, std::string_view height,
                        std::string_view index);

struct Assessment {
    std::string index;
    std::string maximumWeight;
    std::string minimumWeight;
    BandResult band;
    std::string summary;
};

/// Everything the window shows for one patient. Throws EngineError as the command would fail.
Assessment assess(Sex sex, const PatientTexts& texts, char decimalSeparator);

} // namespace vimora
