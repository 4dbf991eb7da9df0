#include "Measures.h"

#include "EngineError.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

namespace vimora {

static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 80-bit extended format (64-bit significand)");
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round each result to double");

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
    const auto stored = static_cast<double>(value);
    if (std::isinf(stored))
        throw EngineError(kOverflowMessage);
    return stored;
}

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

// strtold reads the decimal point of the current C locale, which the toolkit sets from the
// user's settings; the normalised text always uses ".", so read it in the "C" locale.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

// A text accepted as a measure, in its parts.
struct Decimal {
    bool negative;
    std::string_view integerDigits;
    std::string_view fractionDigits;
    bool negativeExponent;
    std::string_view exponentDigits;
};

constexpr std::array<long double, 28> kPowersOfTen{
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
    1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
constexpr std::size_t kMaxDigits = 19;

// Up to 19 significant digits are a whole number below 2^64, exact in the extended format, and
// so is every power of ten up to 10^27 (5^27 < 2^64): one multiplication or division of the two
// then rounds the decimal value once, exactly as a full conversion does. Other texts get none.
std::optional<long double> exactExtended(const Decimal& decimal) {
    constexpr std::size_t kMaxExponentDigits = 4;

    std::uint64_t digits = 0;
    std::size_t significant = 0;
    for (std::string_view run : {decimal.integerDigits, decimal.fractionDigits}) {
        for (char digit : run) {
            if (significant == 0 && digit == '0')
                continue;
            if (++significant > kMaxDigits)
                return std::nullopt;
            digits = digits * 10 + static_cast<std::uint64_t>(digit - '0');
        }
    }
    if (decimal.exponentDigits.size() > kMaxExponentDigits)
        return std::nullopt;
    long exponent = 0;
    for (char digit : decimal.exponentDigits)
        exponent = exponent * 10 + (digit - '0');
    if (decimal.negativeExponent)
        exponent = -exponent;
    exponent -= static_cast<long>(decimal.fractionDigits.size());
    if (exponent < -27 || exponent > 27)
        return digits == 0 ? std::optional<long double>(0.0L) : std::nullopt;

    const auto whole = static_cast<long double>(digits);
    const long double magnitude = exponent >= 0 ? whole * kPowersOfTen[static_cast<std::size_t>(exponent)]
                                                : whole / kPowersOfTen[static_cast<std::size_t>(-exponent)];
    return decimal.negative ? -magnitude : magnitude;
}

// Any other accepted text is rewritten in the C syntax, so that glibc rounds its exact decimal
// value to the extended format in one step, however many digits or exponent digits it has.
long double roundedExtended(const Decimal& decimal) {
    std::string normalised;
    normalised.reserve(decimal.integerDigits.size() + decimal.fractionDigits.size() +
                       decimal.exponentDigits.size() + 6);
    if (decimal.negative)
        normalised += '-';
    normalised.append(decimal.integerDigits.empty() ? "0" : decimal.integerDigits);
    normalised += '.';
    normalised.append(decimal.fractionDigits);
    if (!decimal.exponentDigits.empty()) {
        normalised += decimal.negativeExponent ? "e-" : "e+";
        normalised.append(decimal.exponentDigits);
    }
    return strtold_l(normalised.c_str(), nullptr, cLocale());
}

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

// Takes the parts of a measure's text one at a time, from the left.
class MeasureScanner {
public:
    explicit MeasureScanner(std::string_view text)
        : m_text(text) {}

    bool atEnd() const { return m_position == m_text.size(); }

    bool take(char c) {
        if (atEnd() || m_text[m_position] != c)
            return false;
        ++m_position;
        return true;
    }

    void skipSpaces() {
        while (take(' ')) {
        }
    }

    /// Whether a sign was taken and it was "-".
    bool takeSign() {
        if (take('-'))
            return true;
        take('+');
        return false;
    }

    std::string_view takeDigits() {
        const std::size_t start = m_position;
        while (!atEnd() && isDigit(m_text[m_position]))
            ++m_position;
        return m_text.substr(start, m_position - start);
    }

private:
    std::string_view m_text;
    std::size_t m_position = 0;
};

// Spaces, an optional sign, digits with at most one separator, an optional exponent, spaces;
// nothing for any other text.
std::optional<Decimal> readDecimal(std::string_view text, char decimalSeparator) {
    MeasureScanner scanner(text);
    scanner.skipSpaces();
    Decimal decimal{};
    decimal.negative = scanner.takeSign();
    decimal.integerDigits = scanner.takeDigits();
    const bool hasSeparator = scanner.take(decimalSeparator);
    if (hasSeparator)
        decimal.fractionDigits = scanner.takeDigits();
    if (decimal.integerDigits.empty() && !hasSeparator)
        return std::nullopt;
    if (scanner.take('E') || scanner.take('e')) {
        decimal.negativeExponent = scanner.takeSign();
        decimal.exponentDigits = scanner.takeDigits();
    }
    scanner.skipSpaces();
    if (!scanner.atEnd())
        return std::nullopt;
    return decimal;
}

// Digits with at most one separator and nothing else: nearly every measure typed. At most 19
// characters hold at most 19 digits, a whole number below 2^64 and so exact in the extended
// format, as the power of ten is: the one division rounds the decimal value once, the very
// operation exactExtended does for these texts.
std::optional<double> parsePlainDecimal(std::string_view text, char decimalSeparator) {
    if (text.size() > kMaxDigits)
        return std::nullopt;
    std::uint64_t digits = 0;
    std::size_t fractionDigits = 0;
    bool hasSeparator = false;
    for (const char c : text) {
        if (isDigit(c)) {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            fractionDigits += hasSeparator ? 1 : 0;
        } else if (c == decimalSeparator && !hasSeparator) {
            hasSeparator = true;
        } else {
            return std::nullopt;
        }
    }
    if (text.empty())
        return std::nullopt;
    return static_cast<double>(static_cast<long double>(digits) / kPowersOfTen[fractionDigits]);
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

double parseMeasure(std::string_view text, char decimalSeparator) {
    const std::optional<double> plain = parsePlainDecimal(text, decimalSeparator);
    return plain ? *plain : general::parseMeasure(text, decimalSeparator);
}

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

double general::parseMeasure(std::string_view text, char decimalSeparator) {
    const std::optional<Decimal> read = readDecimal(text, decimalSeparator);
    if (!read)
        throwNotANumber(text);
    const Decimal& decimal = *read;
    const std::optional<long double> exact = exactExtended(decimal);
    const long double extended = exact ? *exact : roundedExtended(decimal);
    if (std::isinf(extended))
        throw EngineError(kOverflowMessage);
    const double value = storeDouble(extended);
    // "-0" is zero, not a negative measure.
    return value == 0 ? 0.0 : value;
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
