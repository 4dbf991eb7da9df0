#pragma once

#include <optional>
#include <string_view>

// The index thresholds against which a patient is judged: one fixed set for adults, and for
// children and adolescents a reference table by sex and quarter year of age.
namespace vimora {

enum class Sex { Male, Female };

/// The sex as a list or a file writes it: "M", "F", "Masculin" or "Féminin", its é composed,
/// decomposed or written e, in any letter case; the text is UTF-8.
std::optional<Sex> parseSex(std::string_view text);

struct ReferenceThresholds {
    double upperThreshold;   ///< at or above: above the normal range
    double lowerThreshold;   ///< below: underweight
    double obesityThreshold; ///< at or above: obesity (degree 2 for a child)

    friend bool operator==(const ReferenceThresholds&, const ReferenceThresholds&) = default;
};

inline constexpr double kAdultAge = 18; ///< older than this (strictly) is an adult
inline constexpr ReferenceThresholds kAdultThresholds{24.90, 18.50, 30.00};

/// The child table's row for an age of 18 or less, in quarter years of age (0 at birth, 72 at
/// 18): the row of the last completed quarter year. None for an adult. The age must not be
/// negative.
std::optional<int> referenceRow(double age);

/// Adults get the fixed thresholds; an age of 18 or less uses the table row of the last
/// completed quarter year. The age must not be negative.
ReferenceThresholds lookupReferenceThresholds(Sex sex, double age);

/// Throws EngineError for a negative age, which has no reference row.
void checkAge(double age);

} // namespace vimora
