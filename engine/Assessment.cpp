#include "Assessment.h"

#include "EngineError.h"

namespace vimora {

namespace {

Measures parseMeasures(const PatientTexts& texts, char decimalSeparator) {
    Measures measures{};
    measures.age = parseMeasure(texts.age, decimalSeparator);
    // A negative age has no reference row: it is refused before the next field is read.
    checkAge(measures.age);
    measures.weight = parseMeasure(texts.weight, decimalSeparator);
    measures.height = parseMeasure(texts.height, decimalSeparator);
    return measures;
}

WeightBounds weightBounds(const Measures& measures, const ReferenceThresholds& thresholds) {
    WeightBounds bounds{};
    bounds.maximumWeight = normalWeight(thresholds.upperThreshold, measures.height);
    bounds.minimumWeight = normalWeight(thresholds.lowerThreshold, measures.height);
    bounds.differences = weightDifferences(measures.weight, bounds.maximumWeight, bounds.minimumWeight);
    return bounds;
}

// A figure as the window shows it, written into the calculation's own text.
void show(std::string& text, double value, char decimalSeparator) {
    text.clear();
    appendDisplayNumber(text, value, decimalSeparator);
}

// The steps in the command's order; each records its results and the stage it completes.
void run(Calculation& calculation, char decimalSeparator) {
    calculation.measures = parseMeasures(
        {calculation.ageText, calculation.weightText, calculation.heightText}, decimalSeparator);
    calculation.index = bodyMassIndex(calculation.measures.weight, calculation.measures.height);
    show(calculation.indexText, calculation.index, decimalSeparator);
    calculation.reached = Stage::Index;

    calculation.thresholds = lookupReferenceThresholds(calculation.sex, calculation.measures.age);
    calculation.referenceRow = referenceRow(calculation.measures.age);
    calculation.bounds = weightBounds(calculation.measures, calculation.thresholds);
    show(calculation.maximumWeightText, calculation.bounds.maximumWeight, decimalSeparator);
    show(calculation.minimumWeightText, calculation.bounds.minimumWeight, decimalSeparator);
    calculation.reached = Stage::Bounds;

    assessBand(calculation.band, calculation.measures.age, calculation.index, calculation.thresholds,
               calculation.bounds.differences, decimalSeparator);
    writeSummaryLine(calculation.summary, calculation.ageText, calculation.weightText, calculation.heightText,
                     calculation.indexText);
    calculation.reached = Stage::Complete;
}

} // namespace

Calculation calculate(Sex sex, const PatientTexts& texts, char decimalSeparator) {
    Calculation calculation;
    calculate(calculation, sex, texts, decimalSeparator);
    return calculation;
}

void calculate(Calculation& calculation, Sex sex, const PatientTexts& texts, char decimalSeparator) {
    calculation.sex = sex;
    calculation.ageText = texts.age;
    calculation.weightText = texts.weight;
    calculation.heightText = texts.height;
    calculation.reached = Stage::Nothing;
    calculation.error.clear();
    try {
        run(calculation, decimalSeparator);
    } catch (const EngineError& error) {
        calculation.error = error.message();
    }
}

void writeSummaryLine(std::string& line, std::string_view age, std::string_view weight,
                      std::string_view height, std::string_view index) {
    constexpr std::size_t kFixedText = 64;
    line.reserve(kFixedText + age.size() + weight.size() + height.size() + index.size());
    line.assign("Age : ").append(age);
    line.append(" ans  Poids : ").append(weight);
    line.append(" Kg  Taille : ").append(height);
    line.append(" m  IMC : ").append(index);
    line.append(" Kg/m²");
}

} // namespace vimora
