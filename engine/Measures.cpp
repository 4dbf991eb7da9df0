#include "Measures.h"

#include "EngineError.h"
#include "ExtendedPrecision.h"

#include <array>
#include <cmath>

namespace vimora {

double storeDouble(long double value) {
    const auto stored = static_cast<double>(value);
    if (std::isinf(stored))
        throw EngineError(kOverflowMessage);
    return stored;
}

namespace {

// Truncation toward zero of an extended value without truncl's switch of the rounding mode:
// adding and removing 2^63 rounds to a whole number, which is then stepped toward zero.
// From 2^63 on an extended value has no fraction bits; a zero keeps its sign. The step is
// chosen by index rather than by a branch, as a fraction rounds up as often as down, and the sign
// by a comparison rather than copysign, which reads it through the x87's slow status word.
long double truncate(long double value) {
    constexpr long double kNoFraction = 9223372036854775808.0L;
    const long double magnitude = std::fabs(value);
    if (value == 0 || !(magnitude < kNoFraction))
        return value;
    const long double nearest = (magnitude + kNoFraction) - kNoFraction;
    const std::array<long double, 2> wholes{nearest, nearest - 1};
    const long double whole = wholes[nearest > magnitude ? 1 : 0];
    return value < 0 ? -whole : whole;
}

} // namespace

double bodyMassIndex(double weight, double height) {
    const long double heightSquared = static_cast<long double>(height) * height;
    const long double weightTimes100 = static_cast<long double>(weight) * 100;
    if (heightSquared == 0)
        throw EngineError(weightTimes100 == 0 ? kInvalidOperationMessage : kDivisionByZeroMessage);
    return storeDouble(truncate(weightTimes100 / heightSquared) / 100);
}

double normalWeight(double threshold, double height) {
    // Exactly threshold × height × height × 100, each product rounded to extended.
    long double weight = static_cast<long double>(threshold) * height;
    weight *= height;
    weight *= 100;
    return storeDouble(truncate(weight) / 100);
}

WeightDifferences weightDifferences(double weight, double maximumWeight, double minimumWeight) {
    auto wholeKilograms = [](double from, double to) {
        // When the difference of the doubles is exact (its rounding error, found by TwoSum, is
        // zero), the extended difference is that same double, and truncating it is exact in
        // either format: the double path gives the same bits without the slower x87 arithmetic.
        const double difference = from - to;
        const double fromPart = difference + to;
        const double roundingError = (from - fromPart) + (-to - (difference - fromPart));
        if (roundingError == 0 && std::isfinite(difference))
            return std::trunc(difference);
        return storeDouble(truncate(static_cast<long double>(from) - to));
    };
    WeightDifferences differences;
    differences.aboveMaximum = wholeKilograms(weight, maximumWeight);
    differences.aboveMinimum = wholeKilograms(weight, minimumWeight);
    differences.belowMaximum = wholeKilograms(maximumWeight, weight);
    differences.belowMinimum = wholeKilograms(minimumWeight, weight);
    return differences;
}

} // namespace vimora
