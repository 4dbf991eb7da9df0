#include "VisitPlausibility.h"

#include "Measures.h"

namespace vimora {

namespace {

bool outside(double value, double lowest, double highest) {
    return value < lowest || value > highest;
}

} // namespace

ImplausibleFigures implausibleFigures(double age, double weight, double height, double index) {
    return {age > kOldestPlausibleAge, outside(weight, kLightestPlausibleWeight, kHeaviestPlausibleWeight),
            outside(height, kLowestPlausibleHeight, kHighestPlausibleHeight),
            outside(index, kLowestPlausibleIndex, kHighestPlausibleIndex)};
}

std::optional<std::string> implausibility(double height, double index, char decimalSeparator) {
    std::string reasons;
    const auto add = [&](const std::string& reason) {
        reasons += reasons.empty() ? reason : " et " + reason;
    };
    if (outside(height, kLowestPlausibleHeight, kHighestPlausibleHeight)) {
        add("une taille de " + displayNumber(height, decimalSeparator) + " m, hors de " +
            displayNumber(kLowestPlausibleHeight, decimalSeparator) + " à " +
            displayNumber(kHighestPlausibleHeight, decimalSeparator) + " m");
    }
    if (outside(index, kLowestPlausibleIndex, kHighestPlausibleIndex)) {
        add("un IMC de " + displayNumber(index, decimalSeparator) + ", hors de " +
            displayNumber(kLowestPlausibleIndex, decimalSeparator) + " à " +
            displayNumber(kHighestPlausibleIndex, decimalSeparator));
    }
    if (reasons.empty())
        return std::nullopt;
    return "Mesure invraisemblable : " + reasons + ".";
}

} // namespace vimora
