#include "VisitPlausibility.h"

#include "Measures.h"

namespace vimora {

std::optional<std::string> implausibility(double height, double index, char decimalSeparator) {
    std::string reasons;
    const auto add = [&](const std::string& reason) {
        reasons += reasons.empty() ? reason : " et " + reason;
    };
    if (height < kLowestPlausibleHeight || height > kHighestPlausibleHeight) {
        add("une taille de " + displayNumber(height, decimalSeparator) + " m, hors de " +
            displayNumber(kLowestPlausibleHeight, decimalSeparator) + " à " +
            displayNumber(kHighestPlausibleHeight, decimalSeparator) + " m");
    }
    if (index < kLowestPlausibleIndex || index > kHighestPlausibleIndex) {
        add("un IMC de " + displayNumber(index, decimalSeparator) + ", hors de " +
            displayNumber(kLowestPlausibleIndex, decimalSeparator) + " à " +
            displayNumber(kHighestPlausibleIndex, decimalSeparator));
    }
    if (reasons.empty())
        return std::nullopt;
    return "Mesure invraisemblable : " + reasons + ".";
}

} // namespace vimora
