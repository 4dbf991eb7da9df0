#include "Measures.h"

#include "EngineError.h"
#include "ExtendedPrecision.h"
#include "GeneralConversions.h"

#include <array>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace vimora {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void throwNotANumber(std::string_view text) {
    throw EngineError(
        std::string("'").append(text).append("' n'est pas une valeur en virgule flottante correcte"));
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

} // namespace

double parseMeasure(std::string_view text, char decimalSeparator) {
    const std::optional<double> plain = parsePlainDecimal(text, decimalSeparator);
    return plain ? *plain : general::parseMeasure(text, decimalSeparator);
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

} // namespace vimora
