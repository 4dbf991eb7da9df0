#pragma once

#include <chrono>
#include <string>

// The age of a patient at a visit, from the two dates: the days between them divided by 365.25,
// truncated (never rounded) to hundredths, so a child one day short of 10 years is 9,99. The text
// is what the window assesses, exactly as if it had been typed.
namespace vimora {

using Date = std::chrono::year_month_day;

inline constexpr int kOldestBirthYears = 130; ///< a birth date further back is refused

struct VisitAge {
    long hundredths = 0; ///< 1042 for 10,42 years
    std::string text;    ///< "10,42": always two decimals, with the decimal separator
};

/// The age on `visit` of a patient born on `birth`. Throws EngineError with the French message
/// when the visit is before the birth, the visit or the birth is after `today`, or the birth is
/// more than 130 years before `today`. Invalid dates are refused too.
VisitAge visitAge(Date birth, Date visit, Date today, char decimalSeparator);

/// The checks of visitAge() on a birth date alone (a patient's form): throws EngineError.
void checkBirthDate(Date birth, Date today);

} // namespace vimora
