#include "Measures.h"

#include "EngineError.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace vimora {

static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 80-bit extended format (64-bit significand)");

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void throwNotANumber(std::string_view text) {
    throw EngineError(
        std::string("'").append(text).append("' n'est pas une valeur en virgule flottante correcte"));
}

// Rounds an extended value to the double it is stored as; a finite value beyond the double
// range is an overflow, as the x87 store instruction reports it.
double storeDouble(long double value) {
    const double stored = static_cast<double>(value);
    if (std::isinf(stored))
        throw EngineError(kOverflowMessage);
    return stored;
}

// Truncation toward zero of an extended value without truncl's switch of the rounding mode:
// adding and removing 2^63 rounds to a whole number, which is then stepped toward zero.
// From 2^63 on an extended value has no fraction bits.
long double truncate(long double value) {
    constexpr long double kNoFraction = 9223372036854775808.0L;
    const long double magnitude = std::fabs(value);
    if (!(magnitude < kNoFraction))
        return value;
    long double whole = (magnitude + kNoFraction) - kNoFraction;
    if (whole > magnitude)
        whole -= 1;
    return std::copysign(whole, value);
}

// strtold reads the decimal point of the current C locale, which the toolkit sets from the
// user's settings; the normalised text always uses ".", so read it in the "C" locale.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

} // namespace

double parseMeasure(std::string_view text, char decimalSeparator) {
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size && text[i] == ' ')
        ++i;

    // The accepted text is rewritten in the C syntax, so that glibc rounds the exact decimal
    // value to the extended format in one step, however many digits or exponent digits it has.
    std::string normalised;
    normalised.reserve(size + 4);
    if (i < size && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            normalised += '-';
        ++i;
    }
    const std::size_t integerStart = i;
    while (i < size && isDigit(text[i]))
        ++i;
    const bool hasIntegerDigits = i > integerStart;
    normalised.append(hasIntegerDigits ? text.substr(integerStart, i - integerStart) : "0");

    bool hasSeparator = false;
    if (i < size && text[i] == decimalSeparator) {
        hasSeparator = true;
        ++i;
        const std::size_t fractionStart = i;
        while (i < size && isDigit(text[i]))
            ++i;
        normalised += '.';
        normalised.append(text.substr(fractionStart, i - fractionStart));
    }
    if (!hasIntegerDigits && !hasSeparator)
        throwNotANumber(text);

    if (i < size && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        char exponentSign = '+';
        if (i < size && (text[i] == '+' || text[i] == '-'))
            exponentSign = text[i++];
        const std::size_t exponentStart = i;
        while (i < size && isDigit(text[i]))
            ++i;
        if (i > exponentStart) {
            normalised += 'e';
            normalised += exponentSign;
            normalised.append(text.substr(exponentStart, i - exponentStart));
        }
    }
    while (i < size && text[i] == ' ')
        ++i;
    if (i != size)
        throwNotANumber(text);

    const long double extended = strtold_l(normalised.c_str(), nullptr, cLocale());
    if (std::isinf(extended))
        throw EngineError(kOverflowMessage);
    const double value = storeDouble(extended);
    // "-0" is zero, not a negative measure.
    return value == 0 ? 0.0 : value;
}

std::string displayNumber(double value, char decimalSeparator) {
    if (value == 0)
        return "0";

    constexpr int kSignificant = 15;
    std::array<char, 800> buffer;
    const double magnitude = std::fabs(value);
    // The shortest text that reads back as the same normal double is, when it has at most 15
    // digits, also the exact value rounded to 15 digits: it lies within half a unit of the
    // double's last place, much nearer than half a step of the 15th digit.
    auto printed =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude, std::chars_format::scientific);
    std::string_view text(buffer.data(), static_cast<std::size_t>(printed.ptr - buffer.data()));
    std::size_t exponentMark = text.find('e');
    const std::size_t shortestDigits = exponentMark == 1 ? 1 : exponentMark - 1;
    std::string digits;
    digits.reserve(kSignificant + 1);
    auto digitAt = [&](std::size_t position) {
        return text[position == 0 ? 0 : position + 1];
    };
    bool roundUp = false;
    if (shortestDigits <= kSignificant && magnitude >= std::numeric_limits<double>::min()) {
        for (std::size_t position = 0; position < shortestDigits; ++position)
            digits += digitAt(position);
    } else {
        // 17 correctly rounded digits tell the rounding at the 15th digit apart, except when
        // they end in "50": then only the exact expansion (at most 767 digits) says on which
        // side of the half the value lies.
        printed = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                std::chars_format::scientific, kSignificant + 1);
        text = std::string_view(buffer.data(), static_cast<std::size_t>(printed.ptr - buffer.data()));
        if (digitAt(kSignificant) == '5' && digitAt(kSignificant + 1) == '0') {
            printed = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::scientific, 766);
            text = std::string_view(buffer.data(), static_cast<std::size_t>(printed.ptr - buffer.data()));
        }
        exponentMark = text.find('e');
        roundUp = digitAt(kSignificant) >= '5';
        for (std::size_t position = 0; position < kSignificant; ++position)
            digits += digitAt(position);
    }
    int exponent = 0;
    std::from_chars(text.data() + exponentMark + (text[exponentMark + 1] == '+' ? 2 : 1),
                    text.data() + text.size(), exponent);

    if (roundUp) {
        std::size_t position = kSignificant;
        while (position > 0 && digits[position - 1] == '9')
            digits[--position] = '0';
        if (position == 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        } else {
            ++digits[position - 1];
        }
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string result;
    if (value < 0)
        result += '-';
    if (exponent >= -4 && exponent < kSignificant) {
        if (exponent < 0) {
            result += '0';
            result += decimalSeparator;
            result.append(static_cast<std::size_t>(-exponent - 1), '0');
            result += digits;
        } else {
            const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= integerDigits) {
                result += digits;
                result.append(integerDigits - digits.size(), '0');
            } else {
                result.append(digits, 0, integerDigits);
                result += decimalSeparator;
                result.append(digits, integerDigits);
            }
        }
    } else {
        result += digits[0];
        if (digits.size() > 1) {
            result += decimalSeparator;
            result.append(digits, 1);
        }
        result += 'E';
        result += std::to_string(exponent);
    }
    return result;
}

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
