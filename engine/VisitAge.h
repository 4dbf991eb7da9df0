#pragma once

#include <chrono>
#include <string>

// The age of a patient at a visit, from the two dates, in years counted in whole months: the
// completed calendar months between birth and visit, plus the elapsed share of the current month,
// divided by 12 and truncated (never rounded) to hundredths. The month-th anniversary of a birth
// is the same day of the month that many months later, or that month's last day when it has no
// such day (born 31 January: one month on 29 February 2020; born 29 February: one year on 28
// February of a common year). The share of the current month is the days elapsed since the last
// anniversary reached divided by the days from that anniversary to the next one. So a tenth
// birthday is 10,00, 2 years and 3 months is 2,25, and the day before a sixth birthday is 5,99.
// The text is what the window assesses, exactly as if it had been typed.
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
