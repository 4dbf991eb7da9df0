#include "VisitAge.h"

#include "EngineError.h"

#include <algorithm>

namespace vimora {

namespace {

using std::chrono::sys_days;

Date yearsBefore(Date date, int years) {
    const Date earlier = date - std::chrono::years(years);
    // 29 February of a year that has none: its last day of February.
    return earlier.ok() ? earlier : Date(earlier.year() / earlier.month() / std::chrono::last);
}

// The `months`-th monthly anniversary of `birth`, on the last day of a month too short for it.
Date anniversary(Date birth, long months) {
    const Date later = Date(birth.year() / birth.month() / 1) + std::chrono::months(months);
    const std::chrono::day last = (later.year() / later.month() / std::chrono::last).day();
    return later.year() / later.month() / std::min(birth.day(), last);
}

long daysBetween(Date from, Date to) {
    return (sys_days(to) - sys_days(from)).count();
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

    long months = (int(visit.year()) - int(birth.year())) * 12L +
                  (long(unsigned(visit.month())) - long(unsigned(birth.month())));
    if (anniversary(birth, months) > visit)
        --months;
    const Date reached = anniversary(birth, months);
    const long elapsed = daysBetween(reached, visit);
    const long monthDays = daysBetween(reached, anniversary(birth, months + 1));
    // (months + elapsed / monthDays) / 12 years, in hundredths, exact in integers.
    VisitAge age;
    age.hundredths = 100 * (months * monthDays + elapsed) / (12 * monthDays);
    const long fraction = age.hundredths % 100;
    age.text = std::to_string(age.hundredths / 100) + decimalSeparator + char('0' + fraction / 10) +
               char('0' + fraction % 10);
    return age;
}

} // namespace vimora
