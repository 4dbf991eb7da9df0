#pragma once

#include <optional>
#include <string>

// A visit whose figures are possible to compute but unlikely for a person: the records ask for a
// confirmation before storing it (and the import names it as a warning). The window itself still
// computes whatever it is given.
namespace vimora {

inline constexpr double kLowestPlausibleHeight = 0.30;
inline constexpr double kHighestPlausibleHeight = 2.50;
inline constexpr double kLowestPlausibleIndex = 8;
inline constexpr double kHighestPlausibleIndex = 100;

/// The French reason why a height (metres) and index are implausible, or nothing when they are
/// plausible.
std::optional<std::string> implausibility(double height, double index, char decimalSeparator);

} // namespace vimora
