#include "VisitAge.h"

#include "EngineError.h"

namespace vimora {

namespace {

using std::chrono::sys_days;

// 365.25 days a year is 1461 days every 4 years: the age in hundredths of a year is exact in
// integers, with no rounding of a quotient to undo.
constexpr long kDaysInFourYears = 1461;

Date yearsBefore(Date date, int years) {
    const Date earlier = date - std::chrono::years(years);
    // 29 February of a year that has none: its last day of February.
    return earlier.ok() ? earlier : Date(earlier.year() / earlier.month() / std::chrono::last);
}

} // namespace

void checkBirthDate(Date birth, Date today) {
    if (!birth.ok())
        throw EngineError("La date de naissance n'est pas une date valide");
    if (birth > today)
        throw EngineError("La date de naissance est dans le futur");
    if (birth < yearsBefore(today, kOldestBirthYears))
        throw EngineError("La date de naissance remonte à plus de 130 ans");
}

VisitAge visitAge(Date birth, Date visit, Date today, char decimalSeparator) {
    checkBirthDate(birth, today);
    if (!visit.ok())
        throw EngineError("La date de la consultation n'est pas une date valide");
    if (visit > today)
        throw EngineError("La date de la consultation est dans le futur");
    if (visit < birth)
        throw EngineError("La date de la consultation précède la date de naissance");

    const long days = (sys_days(visit) - sys_days(birth)).count();
    VisitAge age;
    age.hundredths = days * 400 / kDaysInFourYears;
    const long fraction = age.hundredths % 100;
    age.text = std::to_string(age.hundredths / 100) + decimalSeparator + char('0' + fraction / 10) +
               char('0' + fraction % 10);
    return age;
}

} // namespace vimora
