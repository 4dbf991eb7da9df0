#pragma once

#include <string>
#include <string_view>

// Measures, the body-mass index and the weight bounds.
//
// All arithmetic runs in the 80-bit extended format and each stored result is rounded to a
// double; the truncation steps depend on it (81 kg at 1,8 m is 24,99, not 25). Reading a measure
// is in MeasureReading.cpp, showing a number in NumberText.cpp, the arithmetic in Measures.cpp.
namespace vimora {

static_assert(sizeof(long double) > sizeof(double),
              "the assessment needs long double to be the 80-bit extended format");

/// The decimal separator of every number the program writes or reads, whatever the regional
/// settings: the comma of French text.
inline constexpr char kDecimalSeparator = ',';

/// Converts a measure typed by the user: spaces, an optional sign, digits with at most one
/// decimal separator, an optional exponent, spaces. The exact decimal value is rounded once to
/// the extended format, then stored as a double. Throws EngineError on any other text, and on a
/// value that does not fit in a double.
double parseMeasure(std::string_view text, char decimalSeparator);

/// A double as shown to the user: 15 significant digits, halves away from zero, no trailing
/// zeros; fixed notation from 0.0001 up to 15 integer digits, else scientific (1E-5, 1,5E20).
std::string displayNumber(double value, char decimalSeparator);

/// Appends displayNumber(value) to `text`, which keeps its storage: a calculation writes its
/// figures without a string for each.
void appendDisplayNumber(std::string& text, double value, char decimalSeparator);

/// Weight over height squared, truncated toward zero to hundredths.
double bodyMassIndex(double weight, double height);

/// The weight at which a patient of this height reaches the threshold, truncated to hundredths.
double normalWeight(double threshold, double height);

/// Whole kilograms between the weight and the two normal-weight bounds, truncated toward zero.
struct WeightDifferences {
    double aboveMaximum = 0;
    double aboveMinimum = 0;
    double belowMaximum = 0;
    double belowMinimum = 0;
};

WeightDifferences weightDifferences(double weight, double maximumWeight, double minimumWeight);

} // namespace vimora
