#include "Bands.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

namespace vimora {

namespace {

// A limit of a band's test: one of the patient's thresholds, or a fixed index. The fixed limits
// are extended values: 34.9L and 39.9L lie just above the doubles nearest them, so an index of
// 34,90 is still below 34.9.
struct Limit {
    enum class Kind { Upper, Lower, Obesity, Fixed };
    Kind kind;
    long double fixed = 0;

    long double value(const ReferenceThresholds& thresholds) const {
        switch (kind) {
        case Kind::Upper:
            return thresholds.upperThreshold;
        case Kind::Lower:
            return thresholds.lowerThreshold;
        case Kind::Obesity:
            return thresholds.obesityThreshold;
        case Kind::Fixed:
            break;
        }
        return fixed;
    }
};

constexpr Limit kUpper{Limit::Kind::Upper};
constexpr Limit kLower{Limit::Kind::Lower};
constexpr Limit kObesity{Limit::Kind::Obesity};
constexpr Limit fixedLimit(long double value) {
    return {Limit::Kind::Fixed, value};
}

enum class Objective { Loss, Gain, StableAdult, StableChild };

struct AssessmentBand {
    std::optional<Limit> atLeast; ///< the index reaches this limit
    std::optional<Limit> below;   ///< the index stays below this limit
    std::string_view band;
    Colour background;
    std::string_view advice;
    Objective objective;

    bool holds(long double index, const ReferenceThresholds& thresholds) const {
        return (!atLeast || index >= atLeast->value(thresholds)) &&
               (!below || index < below->value(thresholds));
    }
};

constexpr std::string_view kLowCalorie = "Régime hypocalorique avec suivi médical.";
constexpr std::string_view kNoDiet = "Pas de régime particulier à réaliser.";
constexpr std::string_view kEnriched = "Régime enrichi avec suivi médical.";

constexpr std::array<AssessmentBand, 10> kAdultBands{{
    {kUpper, kObesity, "Surcharge pondérale.", Colour::Purple, kLowCalorie, Objective::Loss},
    {kObesity, fixedLimit(34.9L), "Obésité grade I", Colour::Red, kLowCalorie, Objective::Loss},
    {fixedLimit(34.9L), fixedLimit(39.9L), "Obésité grade II", Colour::Red, kLowCalorie, Objective::Loss},
    {fixedLimit(39.9L), std::nullopt, "Obésité grade III", Colour::Red, kLowCalorie, Objective::Loss},
    {kLower, kUpper, "Corpulence normale.", Colour::Teal, kNoDiet, Objective::StableAdult},
    {fixedLimit(17), kLower, "Insuffisance pondérale grade I", Colour::Desktop, kEnriched, Objective::Gain},
    {fixedLimit(16), fixedLimit(17), "Insuffisance pondérale grade II", Colour::Desktop, kEnriched,
     Objective::Gain},
    {fixedLimit(13), fixedLimit(16), "Insuffisance pondérale grade III", Colour::Desktop, kEnriched,
     Objective::Gain},
    {fixedLimit(10), fixedLimit(13), "Insuffisance pondérale grade IV", Colour::Desktop, kEnriched,
     Objective::Gain},
    {std::nullopt, fixedLimit(10), "Insuffisance pondérale grade V", Colour::Desktop, kEnriched,
     Objective::Gain},
}};

constexpr std::array<AssessmentBand, 4> kChildBands{{
    {kUpper, kObesity, "Obésité degré 1", Colour::Purple, kLowCalorie, Objective::Loss},
    {kObesity, std::nullopt, "Obésité degré 2", Colour::Red, kLowCalorie, Objective::Loss},
    {kLower, kUpper, "Corpulence normale.", Colour::Teal, kNoDiet, Objective::StableChild},
    {std::nullopt, kLower, "Insuffisance pondérale.", Colour::Desktop, kEnriched, Objective::Gain},
}};

std::span<const AssessmentBand> bandTable(double age) {
    return isAdult(age) ? std::span<const AssessmentBand>(kAdultBands)
                        : std::span<const AssessmentBand>(kChildBands);
}

void writeRangeObjective(std::string& objective, std::string_view verb, double from, double to,
                         char decimalSeparator) {
    constexpr std::size_t kLongest = 64; // the verb, two numbers of at most 22 characters, the rest
    objective.reserve(kLongest);
    objective.assign(verb);
    appendDisplayNumber(objective, from, decimalSeparator);
    objective.append(" à ");
    appendDisplayNumber(objective, to, decimalSeparator);
    objective.append(" Kg !");
}

void writeObjective(std::string& text, Objective objective, const WeightDifferences& differences,
                    char decimalSeparator) {
    switch (objective) {
    case Objective::Loss:
        writeRangeObjective(text, "Perdre de ", differences.aboveMaximum, differences.aboveMinimum,
                            decimalSeparator);
        return;
    case Objective::Gain:
        writeRangeObjective(text, "Prendre de ", differences.belowMinimum, differences.belowMaximum,
                            decimalSeparator);
        return;
    case Objective::StableAdult:
        text.assign("Rester avec un poids stable !");
        return;
    case Objective::StableChild:
        break;
    }
    text.assign("Rester avec un poids adapté à la croissance !");
}

} // namespace

void assessBand(BandResult& result, double age, double index, const ReferenceThresholds& thresholds,
                const WeightDifferences& differences, char decimalSeparator) {
    const std::span<const AssessmentBand> bands = bandTable(age);
    // A later holding row wins, so the rows are tried from the last; the limits make the rows of
    // each table exclusive and complete, so exactly one holds.
    const auto last = std::find_if(bands.rbegin(), bands.rend(),
                                   [&](const AssessmentBand& band) { return band.holds(index, thresholds); });
    const AssessmentBand& holding = last != bands.rend() ? *last : bands.back();
    result.band.assign(holding.band);
    result.background = holding.background;
    result.textColour = Colour::Window;
    result.advice.assign(holding.advice);
    writeObjective(result.objective, holding.objective, differences, decimalSeparator);
}

std::vector<BandSpan> bandSpans(double age, const ReferenceThresholds& thresholds) {
    std::vector<BandSpan> spans;
    for (const AssessmentBand& band : bandTable(age)) {
        BandSpan span{std::nullopt, std::nullopt, band.band, band.background};
        if (band.atLeast)
            span.from = static_cast<double>(band.atLeast->value(thresholds));
        if (band.below)
            span.to = static_cast<double>(band.below->value(thresholds));
        if (!span.from || !span.to || *span.from < *span.to)
            spans.push_back(span);
    }
    std::sort(spans.begin(), spans.end(), [](const BandSpan& a, const BandSpan& b) {
        return a.from ? b.from && *a.from < *b.from : b.from.has_value();
    });
    return spans;
}

} // namespace vimora
