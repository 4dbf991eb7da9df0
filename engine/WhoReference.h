#pragma once

#include "ReferenceThresholds.h"

#include <optional>
#include <string>
#include <string_view>

// The WHO's view of a child's corpulence, beside the program's own thresholds (which alone
// decide the result band): the z-score of the body-mass index for sex and age against the WHO
// Child Growth Standards (2006) under five years and the WHO Growth Reference (2007) from five to
// nineteen years, and its percentile.
namespace vimora {

inline constexpr double kDaysPerYear = 365.25;
inline constexpr double kDaysPerMonth = 30.4375;
inline constexpr double kWhoStandardEnd = 1826.25; ///< days: under this, the 2006 standard by day
inline constexpr double kWhoReferenceEnd = 229;    ///< months: from this on, no z-score

/// What the WHO says of one index. Both figures are unrounded: round them only to show them.
struct WhoScore {
    double z;          ///< the LMS z-score, restricted beyond ±3 as the WHO does
    double percentile; ///< 100·Φ(z)
};

/// The WHO z-score and percentile of `bmi` (kg/m²) at `ageDays` days since birth (fractional
/// allowed; from an age in years, years × kDaysPerYear). Under kWhoStandardEnd days the 2006
/// standard is read at the nearest whole day (halves up); from 60 months (days / kDaysPerMonth)
/// the 2007 reference, its L, M and S interpolated linearly between the whole months around the
/// age. None from kWhoReferenceEnd months, for a negative age, or for an index that is not
/// positive: a missing value, not an error.
std::optional<WhoScore> whoBmiForAge(Sex sex, double ageDays, double bmi);

/// The index (kg/m²) at `z` for this sex and age, from the L, M and S that whoBmiForAge() reads
/// there and with the same straight lines beyond ±3: the WHO's curve of that z, on which an index
/// of z-score `z` lies. None where whoBmiForAge() gives none.
std::optional<double> whoBmiAtZ(Sex sex, double ageDays, double z);

/// The z-score to the hundredth with a decimal comma: "-1,23", "0,00", never "-0,00". Halves
/// of the binary value go away from zero.
std::string whoZText(double z);

/// The percentile to the tenth with a decimal comma, as computed: "9,4", "0,0", "100,0".
/// Halves go up.
std::string whoPercentileText(double percentile);

/// The percentile for the screen and paper: as whoPercentileText, but "> 99,9" for what would
/// show as 100,0 and "< 0,1" for what would show as 0,0.
std::string whoPercentileDisplay(double percentile);

/// Whether the z-score, as shown to the hundredth, lies beyond ±5: a value the WHO asks to
/// check, marked with kWhoCheckText.
bool whoValueToCheck(double z);

inline constexpr std::string_view kWhoCheckText = "valeur à vérifier";

} // namespace vimora
