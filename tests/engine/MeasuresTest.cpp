#include "engine/Measures.h"
#include "Errors.h"
#include "engine/Assessment.h"
#include "engine/EngineError.h"
#include "engine/GeneralConversions.h"

#include "NamedRows.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <random>
#include <string>
#include <tuple>

using namespace vimora;

namespace {

std::string errorOf(const auto& action) {
    return testcommon::errorOf<EngineError>(action);
}

std::string parseError(const std::string& text) {
    return errorOf([&] { parseMeasure(text, ','); });
}

struct Accepted {
    const char* name;
    const char* text;
    double value;
};

class ParseAccepted : public testing::TestWithParam<Accepted> {};

TEST_P(ParseAccepted, GivesTheDoubleOfTheDecimalText) {
    const double value = parseMeasure(GetParam().text, ',');
    EXPECT_EQ(value, GetParam().value) << GetParam().text;
    EXPECT_FALSE(std::signbit(value) && value == 0) << "negative zero from " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ParseAccepted,
    testing::Values(Accepted{"Integer", "80", 80}, Accepted{"Decimal", "1,75", 1.75},
                    Accepted{"NearestDouble", "1,8", 1.8}, Accepted{"LeadingSeparator", ",5", 0.5},
                    Accepted{"TrailingSeparator", "5,", 5}, Accepted{"SeparatorAlone", ",", 0},
                    Accepted{"SeparatorAndExponent", ",E", 0}, Accepted{"Spaces", "  1,75  ", 1.75},
                    Accepted{"PlusSign", "+2", 2}, Accepted{"MinusSign", "-2,5", -2.5},
                    Accepted{"MinusZero", "-0", 0}, Accepted{"Exponent", "1,5E2", 150},
                    Accepted{"LowerExponent", "15e-1", 1.5}, Accepted{"SignedExponent", "2E+1", 20},
                    Accepted{"EmptyExponent", "3E", 3}, Accepted{"EmptySignedExponent", "3e-", 3},
                    Accepted{"LeadingZeros", "080", 80}, Accepted{"TrailingZeros", "5,250", 5.25},
                    Accepted{"Underflow", "1E-99999", 0}, Accepted{"NegativeUnderflow", "-1E-99999", 0},
                    // 2^-1074 is the smallest denormal; far below the double range is zero.
                    Accepted{"LongDigitRun", "0,00000000000000000000000000000000000000000000000000001",
                             1e-53},
                    Accepted{"HugeExponentCancelled", "0,000000000000000000001E21", 1}),
    vimora::test::RowName());

TEST(ParseMeasure, RejectsEverythingOutsideTheGrammarWithTheFieldsWholeText) {
    for (const char* text : {"", "   ", "+", "-", "1.75", "1,7,5", "1 75", "- 1", "abc", "1,75kg", "E5",
                             "1E5E", "1e 5", "1 000", "inf", "nan", "0x10"}) {
        EXPECT_EQ(parseError(text), std::string("'").append(text).append(
                                        "' n'est pas une valeur en virgule flottante correcte"))
            << "text: [" << text << "]";
    }
}

TEST(ParseMeasure, UsesTheSeparatorItIsGiven) {
    EXPECT_EQ(parseMeasure("1.75", '.'), 1.75);
    EXPECT_EQ(errorOf([] { parseMeasure("1,75", '.'); }),
              "'1,75' n'est pas une valeur en virgule flottante correcte");
}

TEST(ParseMeasure, ValuesBeyondTheDoubleRangeOverflow) {
    EXPECT_EQ(parseError("1E309"), kOverflowMessage);
    EXPECT_EQ(parseError("-1E309"), kOverflowMessage);
    EXPECT_EQ(parseError("1E99999999999999999999"), kOverflowMessage);
    EXPECT_EQ(parseError(std::string(400, '9')), kOverflowMessage);
    EXPECT_EQ(parseMeasure("1,7976931348623157E308", ','), 1.7976931348623157e308);
}

TEST(ParseMeasure, RoundsTheExactDecimalValueOnceToExtended) {
    // Halfway between two doubles but not between two extended values: the extended rounding
    // decides, then the double rounding of that extended value.
    EXPECT_EQ(parseMeasure("9007199254740993", ','), 9007199254740992.0);
    // Correct rounding to double would give 2^53 + 2 here; extended first keeps 2^53 + 1.
    EXPECT_EQ(parseMeasure("9007199254740993,0000000000000000000001", ','), 9007199254740992.0);
}

// Short texts take a fast exact path, others glibc's full conversion; both must round the
// decimal value once to extended and then to double.
TEST(ParseMeasure, AgreesWithTheFullConversionOnRandomTexts) {
    std::mt19937_64 random(20261207);
    const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    for (int sample = 0; sample < 200000; ++sample) {
        std::string integer, fraction;
        for (std::size_t n = random() % 12; n > 0; --n)
            integer += static_cast<char>('0' + random() % 10);
        for (std::size_t n = random() % 14; n > 0; --n)
            fraction += static_cast<char>('0' + random() % 10);
        const int exponent = static_cast<int>(random() % 71) - 35;
        const std::string text = integer + "," + fraction + "E" + std::to_string(exponent);
        const std::string cText =
            (integer.empty() ? "0" : integer) + "." + fraction + "e" + std::to_string(exponent);
        const double expected = static_cast<double>(strtold_l(cText.c_str(), nullptr, cLocale));
        ASSERT_EQ(parseMeasure(text, ','), expected) << text;
    }
    freelocale(cLocale);
}

struct Shown {
    const char* name;
    double value;
    const char* text;
};

class DisplayNumber : public testing::TestWithParam<Shown> {};

TEST_P(DisplayNumber, FollowsTheGeneralFormat) {
    EXPECT_EQ(displayNumber(GetParam().value, ','), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DisplayNumber,
    testing::Values(Shown{"Zero", 0, "0"}, Shown{"NegativeZero", -0.0, "0"}, Shown{"Whole", 80, "80"},
                    Shown{"TwoDecimals", 22.85, "22,85"}, Shown{"OneAndAHalf", 1.5, "1,5"},
                    Shown{"Negative", -3.75, "-3,75"}, Shown{"SmallestFixed", 0.0001, "0,0001"},
                    Shown{"BelowFixed", 0.00001, "1E-5"}, Shown{"Scientific", 1.5e20, "1,5E20"},
                    Shown{"FifteenIntegerDigits", 123456789012345.0, "123456789012345"},
                    Shown{"SixteenIntegerDigits", 1234567890123456.0, "1,23456789012346E15"},
                    Shown{"RoundsUpToPowerOfTen", 999999999999999.9, "1E15"},
                    Shown{"FifteenDigitsOfAThird", 1.0 / 3, "0,333333333333333"},
                    Shown{"NearestDoubleOfPointOne", 0.1, "0,1"},
                    Shown{"NegativeScientific", -2.5e-7, "-2,5E-7"},
                    // Exact ties at the 16th digit round away from zero, not to even.
                    Shown{"TieAwayFromZero", 123456789012344.5, "123456789012345"},
                    Shown{"NegativeTie", -123456789012344.5, "-123456789012345"},
                    Shown{"Largest", 1.7976931348623157e308, "1,79769313486232E308"},
                    Shown{"Smallest", 4.9406564584124654e-324, "4,94065645841247E-324"}),
    vimora::test::RowName());

// The fast paths of parseMeasure, displayNumber and the differences against the general ones:
// the same bits and texts on the boundary cases above and on a large random sample.
std::uint64_t bitsOf(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

void expectSameParse(const std::string& text) {
    double fast = 0;
    double general = 0;
    const std::string fastError = errorOf([&] { fast = parseMeasure(text, ','); });
    const std::string generalError = errorOf([&] { general = general::parseMeasure(text, ','); });
    ASSERT_EQ(fastError, generalError) << text;
    ASSERT_EQ(bitsOf(fast), bitsOf(general)) << text;
}

void expectSameDisplay(double value) {
    ASSERT_EQ(displayNumber(value, ','), general::displayNumber(value, ',')) << std::hexfloat << value;
}

TEST(FastPaths, AgreeWithTheGeneralConversions) {
    std::mt19937_64 random(20261208);
    auto digits = [&](std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += static_cast<char>('0' + random() % 10);
        return text;
    };
    for (const char* text : {"80", "1,75", ",", ",5", "5,", "080", "0", "0,0", "9007199254740993",
                             "9999999999999999999", "99999999999999999999", "1844674407370955161",
                             "18446744073709551615", "0,000000000000000001", "1,8", "56,655", "", "1,7,5"})
        expectSameParse(text);
    for (int sample = 0; sample < 100000; ++sample) {
        const std::size_t integerDigits = random() % 12;
        const std::string integer = digits(integerDigits);
        const std::string text =
            random() % 4 == 0 ? integer : integer + "," + digits(random() % (20 - integerDigits));
        expectSameParse(text);
    }

    for (const double value : {0.01, 0.0099999999999999985, 0.005, 1e13, 9999999999999.99, 9999999999999.998,
                               0.1, 22.85, 26.12, 76.25, 100.0, 99.995, 1e15, 123456789012344.5, -3.75, -0.0})
        expectSameDisplay(value);
    for (int sample = 0; sample < 100000; ++sample) {
        const double hundredths = static_cast<double>(random() % 2'000'000'000'000'000ULL) / 100;
        const double scaled =
            std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 120) - 90);
        for (const double value :
             {hundredths, std::nextafter(hundredths, 0.0), std::nextafter(hundredths, 1e300), -hundredths,
              scaled, std::trunc(scaled)})
            expectSameDisplay(value);
        // What the engine shows: indices, weight bounds and differences of random patients.
        const double weight = static_cast<double>(random() % 30000) / 100;
        const double height = static_cast<double>(random() % 250 + 1) / 100;
        const double maximum = normalWeight(24.9, height);
        const double minimum = normalWeight(18.5, height);
        expectSameDisplay(bodyMassIndex(weight, height));
        expectSameDisplay(maximum);
        const WeightDifferences differences = weightDifferences(weight, maximum, minimum);
        for (const auto& [difference, from, to] : {std::tuple{differences.aboveMaximum, weight, maximum},
                                                   std::tuple{differences.belowMinimum, minimum, weight}}) {
            const auto exact = static_cast<double>(std::truncl(static_cast<long double>(from) - to));
            ASSERT_EQ(bitsOf(difference), bitsOf(exact)) << from << " - " << to;
            expectSameDisplay(difference);
        }
    }
}

TEST(BodyMassIndex, TruncatesTheExtendedQuotientToHundredths) {
    EXPECT_EQ(bodyMassIndex(70, 1.75), 22.85);
    EXPECT_EQ(bodyMassIndex(80, 1.75), 26.12);
    EXPECT_EQ(bodyMassIndex(80, 2), 20);
    EXPECT_EQ(bodyMassIndex(0, 1.75), 0);
    EXPECT_EQ(bodyMassIndex(80, -1.75), 26.12);
    // In extended precision 8100 / 1.8² lies just below 2500; doubles would give 25.
    EXPECT_EQ(bodyMassIndex(81, 1.8), 24.99);
    EXPECT_EQ(bodyMassIndex(40.5, 1.8), 12.49);
    // Quotients on both sides of 2^63, the first with fraction bits, the second without.
    EXPECT_EQ(bodyMassIndex(90000000000000000.25, 1), 90000000000000000.0);
    EXPECT_EQ(bodyMassIndex(1e17, 1), 1e17);
    EXPECT_EQ(bodyMassIndex(0.0049, 1), 0);
    EXPECT_TRUE(std::signbit(bodyMassIndex(-0.0049, 1)));
}

TEST(BodyMassIndex, ReportsTheArithmeticErrors) {
    EXPECT_EQ(errorOf([] { bodyMassIndex(70, 0); }), kDivisionByZeroMessage);
    EXPECT_EQ(errorOf([] { bodyMassIndex(0, 0); }), kInvalidOperationMessage);
    EXPECT_EQ(errorOf([] { bodyMassIndex(70, 1e-160); }), kOverflowMessage);
}

TEST(WeightBounds, FollowTheStatedOrderOfOperations) {
    EXPECT_EQ(normalWeight(24.9, 1.75), 76.25);
    EXPECT_EQ(normalWeight(18.5, 1.75), 56.65);
    EXPECT_EQ(normalWeight(24.9, 1.8), 80.67);
    EXPECT_EQ(normalWeight(20, 2), 80);
    EXPECT_EQ(errorOf([] { normalWeight(24.9, 1e160); }), kOverflowMessage);
}

TEST(WeightBounds, DifferencesAreWholeKilogramsTowardZero) {
    const WeightDifferences differences = weightDifferences(80, 76.25, 56.65);
    EXPECT_EQ(differences.aboveMaximum, 3);
    EXPECT_EQ(differences.aboveMinimum, 23);
    EXPECT_EQ(differences.belowMaximum, -3);
    EXPECT_EQ(differences.belowMinimum, -23);

    const WeightDifferences almost = weightDifferences(56.66, 76.25, 56.65);
    EXPECT_TRUE(std::signbit(almost.belowMinimum));
    EXPECT_EQ(almost.belowMinimum, 0);
    EXPECT_EQ(displayNumber(almost.belowMinimum, ','), "0");
}

TEST(Measures, AgeWeightHeightAreConvertedInThatOrder) {
    EXPECT_EQ(calculate(Sex::Male, {"", "", ""}, ',').error,
              "'' n'est pas une valeur en virgule flottante correcte");
    EXPECT_EQ(calculate(Sex::Male, {"35", "8O", "1.75"}, ',').error,
              "'8O' n'est pas une valeur en virgule flottante correcte");
    EXPECT_EQ(calculate(Sex::Male, {"35", "80", "1.75"}, ',').error,
              "'1.75' n'est pas une valeur en virgule flottante correcte");
}

TEST(Measures, NegativeAgeIsRefusedBeforeTheWeightIsRead) {
    EXPECT_EQ(calculate(Sex::Male, {"-1", "x", "1,75"}, ',').error, kNegativeAgeMessage);
    EXPECT_EQ(calculate(Sex::Male, {"-0", "80", "1,75"}, ',').measures.age, 0);
}

TEST(ErrorReportText, AppendsAFullStopAfterALetterOnly) {
    EXPECT_EQ(withFinalFullStop("Débordement en virgule flottante"), "Débordement en virgule flottante.");
    EXPECT_EQ(withFinalFullStop("Fini."), "Fini.");
    EXPECT_EQ(withFinalFullStop("Fini !"), "Fini !");
    EXPECT_EQ(withFinalFullStop("(x)"), "(x)");
    EXPECT_EQ(withFinalFullStop("fin "), "fin ");
    EXPECT_EQ(withFinalFullStop("'x'"), "'x'");
    EXPECT_EQ(withFinalFullStop("zéro é"), "zéro é.");
    EXPECT_EQ(withFinalFullStop(""), "");
}

} // namespace
