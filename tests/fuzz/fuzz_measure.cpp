// The measure conversion and the whole assessment on arbitrary texts. Besides the sanitizers,
// it checks that a failure is always the engine's own error, that the fast paths give the same
// bits and texts as the general conversions, that an accepted text gives a finite double, and
// that a shown number reads back to itself.

#include "engine/Assessment.h"
#include "engine/EngineError.h"
#include "engine/GeneralConversions.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

using namespace vimora;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

std::optional<double> parsed(std::string_view text, double (*parse)(std::string_view, char)) {
    try {
        return parse(text, ',');
    } catch (const EngineError&) {
        return std::nullopt;
    }
}

void checkMeasure(std::string_view text) {
    // The fast path and the general conversion agree to the bit, and on refusing.
    const std::optional<double> value = parsed(text, parseMeasure);
    const std::optional<double> general = parsed(text, general::parseMeasure);
    check(value.has_value() == general.has_value());
    if (!value)
        return;
    check(std::bit_cast<std::uint64_t>(*value) == std::bit_cast<std::uint64_t>(*general));
    check(std::isfinite(*value));
    check(!(*value == 0 && std::signbit(*value)));
    const std::string shown = displayNumber(*value, ',');
    check(shown == general::displayNumber(*value, ','));
    check(displayNumber(parseMeasure(shown, ','), ',') == shown);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkMeasure(input);

    // Three texts separated by ";" for age, weight and height.
    const std::size_t first = input.find(';');
    const std::size_t second = first == std::string_view::npos ? first : input.find(';', first + 1);
    if (second == std::string_view::npos)
        return 0;
    const PatientTexts texts{input.substr(0, first), input.substr(first + 1, second - first - 1),
                             input.substr(second + 1)};
    for (const Sex sex : {Sex::Male, Sex::Female}) {
        const Calculation calculation = calculate(sex, texts, ',');
        check(calculation.complete() == calculation.error.empty());
        check(!calculation.complete() || (!calculation.indexText.empty() && !calculation.band.band.empty()));
    }
    return 0;
}
