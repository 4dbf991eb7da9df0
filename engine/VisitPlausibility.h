#pragma once

#include <optional>
#include <string>

// Figures that are possible to compute but unlikely for a person: the chart and the sheet warn of
// them, the records ask for a confirmation before storing such a visit (and the import names it
// as a warning). The window itself still computes whatever it is given.
namespace vimora {

inline constexpr double kOldestPlausibleAge = 130;
inline constexpr double kLightestPlausibleWeight = 0.3;
inline constexpr double kHeaviestPlausibleWeight = 700;
inline constexpr double kLowestPlausibleHeight = 0.30;
inline constexpr double kHighestPlausibleHeight = 2.50;
inline constexpr double kLowestPlausibleIndex = 8;
inline constexpr double kHighestPlausibleIndex = 100;

/// Which figures of a calculation (years, kilograms, metres, index) are implausible.
struct ImplausibleFigures {
    bool age = false;
    bool weight = false;
    bool height = false;
    bool index = false;

    bool any() const { return age || weight || height || index; }
};
ImplausibleFigures implausibleFigures(double age, double weight, double height, double index);

/// The French reason why a height (metres) and index are implausible, or nothing when they are
/// plausible.
std::optional<std::string> implausibility(double height, double index, char decimalSeparator);

} // namespace vimora
