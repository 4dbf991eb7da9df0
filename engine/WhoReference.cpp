#include "WhoReference.h"

#include "Measures.h"
#include "engine/who/WhoTables.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace vimora {

namespace {

who::Lms interpolate(const who::Lms& low, const who::Lms& high, double fraction) {
    return {low.l + fraction * (high.l - low.l), low.m + fraction * (high.m - low.m),
            low.s + fraction * (high.s - low.s)};
}

// The index at `z` standard deviations on the LMS curve.
double atZ(const who::Lms& lms, double z) {
    return lms.m * std::pow(1 + z * lms.l * lms.s, 1 / lms.l);
}

double lmsZ(const who::Lms& lms, double bmi) {
    // expm1 keeps the precision where L is close to zero and the power close to one.
    return std::expm1(lms.l * std::log(bmi / lms.m)) / (lms.l * lms.s);
}

// Beyond ±3 the WHO replaces the curve's tail by a straight line through its values at ±3,
// whose step per unit of z is the distance between ±2 and ±3.
double restrictedZ(const who::Lms& lms, double bmi) {
    const double z = lmsZ(lms, bmi);
    if (z > 3) {
        const double sd3 = atZ(lms, 3);
        return 3 + (bmi - sd3) / (sd3 - atZ(lms, 2));
    }
    if (z < -3) {
        const double sdMinus3 = atZ(lms, -3);
        return -3 + (bmi - sdMinus3) / (atZ(lms, -2) - sdMinus3);
    }
    return z;
}

// A whole number of hundredths or tenths as a decimal with a comma: (-123, 2) is "-1,23". A
// negative zero has no sign.
std::string fixedText(long double units, int decimals) {
    std::array<char, 400> digits; // the largest double counts 311 digits of hundredths
    const long double magnitude = std::fabs(units);
    const auto [end, error] =
        magnitude < 1e18L
            ? std::to_chars(digits.begin(), digits.end(), static_cast<long long>(magnitude))
            : std::to_chars(digits.begin(), digits.end(), magnitude, std::chars_format::fixed, 0);
    const auto length = static_cast<int>(end - digits.begin());
    std::string text;
    if (units < 0)
        text += '-';
    if (length <= decimals)
        text.append(1, '0').append(1, kDecimalSeparator).append(std::size_t(decimals - length), '0');
    else
        text.append(digits.begin(), end - decimals).append(1, kDecimalSeparator);
    text.append(end - std::min(length, decimals), end);
    return text;
}

// Scaling a double by 100 or 10 in the extended format is exact, so the rounding sees the
// binary value itself.
long double hundredths(double z) {
    return std::roundl(static_cast<long double>(z) * 100);
}

// The L, M and S that apply at this age, or none where the WHO gives no z-score.
std::optional<who::Lms> lmsAt(Sex sex, double ageDays) {
    if (!(ageDays >= 0))
        return std::nullopt;
    const std::size_t table = sex == Sex::Male ? 0 : 1;
    if (ageDays < kWhoStandardEnd)
        return who::kByDay[table][static_cast<std::size_t>(std::floor(ageDays + 0.5))];
    const double months = ageDays / kDaysPerMonth;
    if (!(months < kWhoReferenceEnd))
        return std::nullopt;
    const double month = std::floor(months);
    const std::size_t row = static_cast<std::size_t>(month) - who::kFirstMonth;
    const double fraction = months - month;
    const who::MonthTable& byMonth = who::kByMonth[table];
    return fraction == 0 ? byMonth[row] : interpolate(byMonth[row], byMonth[row + 1], fraction);
}

} // namespace

std::optional<WhoScore> whoBmiForAge(Sex sex, double ageDays, double bmi) {
    if (!(bmi > 0) || !std::isfinite(bmi))
        return std::nullopt;
    const std::optional<who::Lms> lms = lmsAt(sex, ageDays);
    if (!lms)
        return std::nullopt;
    const double z = restrictedZ(*lms, bmi);
    return WhoScore{z, 50 * std::erfc(-z / std::sqrt(2.0))};
}

std::optional<double> whoBmiAtZ(Sex sex, double ageDays, double z) {
    const std::optional<who::Lms> lms = lmsAt(sex, ageDays);
    if (!lms || !std::isfinite(z))
        return std::nullopt;
    if (z > 3) {
        const double sd3 = atZ(*lms, 3);
        return sd3 + (z - 3) * (sd3 - atZ(*lms, 2));
    }
    if (z < -3) {
        const double sdMinus3 = atZ(*lms, -3);
        return sdMinus3 + (z + 3) * (atZ(*lms, -2) - sdMinus3);
    }
    return atZ(*lms, z);
}

std::string whoZText(double z) {
    return fixedText(hundredths(z), 2);
}

std::string whoPercentileText(double percentile) {
    return fixedText(std::roundl(static_cast<long double>(percentile) * 10), 1);
}

std::string whoPercentileDisplay(double percentile) {
    const long double tenths = std::roundl(static_cast<long double>(percentile) * 10);
    if (tenths >= 1000)
        return "> 99,9";
    if (tenths <= 0)
        return "< 0,1";
    return fixedText(tenths, 1);
}

bool whoValueToCheck(double z) {
    return std::fabs(hundredths(z)) > 500;
}

} // namespace vimora
