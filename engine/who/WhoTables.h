#pragma once

#include <array>

// The WHO's L, M and S of the body-mass index by sex and age, generated at build time from the
// tables beside this file. Index 0 is boys, 1 girls.
namespace vimora::who {

struct Lms {
    double l; ///< Box-Cox power
    double m; ///< median
    double s; ///< coefficient of variation
};

inline constexpr int kLastDay = 1826;  ///< the 2006 standard: days 0 to kLastDay
inline constexpr int kFirstMonth = 60; ///< the 2007 reference: months kFirstMonth to kLastMonth
inline constexpr int kLastMonth = 229;

using DayTable = std::array<Lms, kLastDay + 1>;
using MonthTable = std::array<Lms, kLastMonth - kFirstMonth + 1>;

extern const std::array<DayTable, 2> kByDay;
extern const std::array<MonthTable, 2> kByMonth;

} // namespace vimora::who
