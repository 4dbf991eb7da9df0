#include "Assessment.h"

namespace vimora {

Measures parseMeasures(const PatientTexts& texts, char decimalSeparator) {
    Measures measures{};
    measures.age = parseMeasure(texts.age, decimalSeparator);
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

std::string summaryLine(std::string_view age, std::string_view weight, std::string_view height,
                        std::string_view index) {
    std::string line;
    line.reserve(64 + age.size() + weight.size() + height.size() + index.size());
    line.append("Age : ").append(age);
    line.append(" ans  Poids : ").append(weight);
    line.append(" Kg  Taille : ").append(height);
    line.append(" m  IMC : ").append(index);
    line.append(" Kg/m²");
    return line;
}

Assessment assess(Sex sex, const PatientTexts& texts, char decimalSeparator) {
    const Measures measures = parseMeasures(texts, decimalSeparator);
    const double index = bodyMassIndex(measures.weight, measures.height);
    const ReferenceThresholds thresholds = lookupReferenceThresholds(sex, measures.age);
    const WeightBounds bounds = weightBounds(measures, thresholds);

    Assessment assessment;
    assessment.index = displayNumber(index, decimalSeparator);
    assessment.maximumWeight = displayNumber(bounds.maximumWeight, decimalSeparator);
    assessment.minimumWeight = displayNumber(bounds.minimumWeight, decimalSeparator);
    assessment.band = assessBand(measures.age, index, thresholds, bounds.differences, decimalSeparator);
    assessment.summary = summaryLine(texts.age, texts.weight, texts.height, assessment.index);
    return assessment;
}

} // namespace vimora
