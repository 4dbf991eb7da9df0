#include "Measures.h"

#include "GeneralConversions.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace vimora {

namespace {

constexpr int kSignificantDigits = 15;

// A positive value's digits rounded to 15 significant ones, halves away from zero, without
// trailing zeros, and the power of ten of the first digit.
struct SignificantDigits {
    std::string digits; // at most 15: held in the string's own small buffer
    int exponent;
};

SignificantDigits significantDigits(double magnitude) {
    std::array<char, 800> buffer;
    auto print = [&](std::optional<int> precision) {
        const auto printed = precision ? std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                                       magnitude, std::chars_format::scientific, *precision)
                                       : std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                                       magnitude, std::chars_format::scientific);
        return std::string_view(buffer.data(), static_cast<std::size_t>(printed.ptr - buffer.data()));
    };
    // The shortest text that reads back as the same normal double is, when it has at most 15
    // digits, also the exact value rounded to 15 digits: it lies within half a unit of the
    // double's last place, much nearer than half a step of the 15th digit.
    std::string_view text = print(std::nullopt);
    std::size_t digitCount = text.find('e');
    digitCount = digitCount == 1 ? 1 : digitCount - 1;
    bool roundUp = false;
    if (digitCount > kSignificantDigits || magnitude < std::numeric_limits<double>::min()) {
        // 17 correctly rounded digits tell the rounding at the 15th digit apart, except when
        // they end in "50": then only the exact expansion (at most 767 digits) says on which
        // side of the half the value lies.
        text = print(kSignificantDigits + 1);
        if (text[kSignificantDigits + 1] == '5' && text[kSignificantDigits + 2] == '0')
            text = print(766);
        roundUp = text[kSignificantDigits + 1] >= '5';
        digitCount = kSignificantDigits;
    }

    SignificantDigits result{{}, 0};
    result.digits += text[0];
    result.digits.append(text.substr(2, digitCount - 1));
    const std::size_t exponentMark = text.find('e');
    std::from_chars(text.data() + exponentMark + (text[exponentMark + 1] == '+' ? 2 : 1),
                    text.data() + text.size(), result.exponent);

    std::string& digits = result.digits;
    if (roundUp) {
        std::size_t position = digits.size();
        while (position > 0 && digits[position - 1] == '9')
            digits[--position] = '0';
        if (position == 0) {
            digits.assign(1, '1');
            ++result.exponent;
        } else {
            ++digits[position - 1];
        }
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    return result;
}

// The number of hundredths that a value shows, when it is the double nearest to a whole number
// of hundredths from 0,01 to below 10^13, as every index, weight bound and difference of a
// usual patient is. That double lies within half a unit in its last place of the number, less
// than a quarter of a unit of its 15th significant digit, so rounding it to 15 digits gives the
// number back: it shows as the hundredths without trailing zeros.
std::optional<std::int64_t> shownHundredths(double magnitude) {
    if (!(magnitude >= 0.01 && magnitude < 1e13))
        return std::nullopt;
    const auto hundredths = static_cast<std::int64_t>(std::rint(magnitude * 100));
    if (static_cast<double>(hundredths) / 100 != magnitude)
        return std::nullopt;
    return hundredths;
}

// The text of a number of hundredths, written from the end of the buffer.
std::string_view hundredthsText(std::array<char, 24>& buffer, bool negative, std::uint64_t hundredths,
                                char decimalSeparator) {
    std::size_t start = buffer.size();
    const std::uint64_t cents = hundredths % 100;
    if (cents != 0) {
        if (cents % 10 != 0)
            buffer[--start] = static_cast<char>('0' + cents % 10);
        buffer[--start] = static_cast<char>('0' + cents / 10);
        buffer[--start] = decimalSeparator;
    }
    std::uint64_t whole = hundredths / 100;
    do {
        buffer[--start] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (negative)
        buffer[--start] = '-';
    return {buffer.data() + start, buffer.size() - start};
}

} // namespace

std::string displayNumber(double value, char decimalSeparator) {
    std::string text;
    appendDisplayNumber(text, value, decimalSeparator);
    return text;
}

void appendDisplayNumber(std::string& text, double value, char decimalSeparator) {
    const std::optional<std::int64_t> hundredths = shownHundredths(std::fabs(value));
    if (!hundredths) {
        text.append(general::displayNumber(value, decimalSeparator));
        return;
    }
    std::array<char, 24> buffer{};
    text.append(hundredthsText(buffer, value < 0, static_cast<std::uint64_t>(*hundredths), decimalSeparator));
}

std::string general::displayNumber(double value, char decimalSeparator) {
    if (value == 0)
        return "0";
    const auto [digits, exponent] = significantDigits(std::fabs(value));

    std::string result;
    if (value < 0)
        result += '-';
    if (exponent >= -4 && exponent < kSignificantDigits) {
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

} // namespace vimora
