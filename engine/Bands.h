#pragma once

#include "Measures.h"
#include "ReferenceThresholds.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The result bands: what the index means for this patient, the dietary advice and the
// objective in kilograms, with the colour that marks the band.
namespace vimora {

/// A colour as the window describes it: an RGB value (0x00BBGGRR) or a system colour (high byte
/// 0xFF, low byte the system colour index). The window maps system colours to its palette.
struct Colour {
    std::uint32_t value;

    static constexpr Colour rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return {std::uint32_t(red) | std::uint32_t(green) << 8 | std::uint32_t(blue) << 16};
    }
    static constexpr Colour system(std::uint8_t index) { return {0xFF000000u | index}; }

    constexpr bool isSystem() const { return (value & 0xFF000000u) == 0xFF000000u; }
    constexpr std::uint8_t systemIndex() const { return std::uint8_t(value & 0xFF); }
    constexpr std::uint8_t red() const { return std::uint8_t(value & 0xFF); }
    constexpr std::uint8_t green() const { return std::uint8_t(value >> 8 & 0xFF); }
    constexpr std::uint8_t blue() const { return std::uint8_t(value >> 16 & 0xFF); }

    friend constexpr bool operator==(Colour, Colour) = default;
};

inline constexpr Colour kColorBackground = Colour::system(1); ///< the desktop colour
inline constexpr Colour kColorWindow = Colour::system(5);
inline constexpr Colour kColorWindowText = Colour::system(8);
inline constexpr Colour kColorBtnFace = Colour::system(15);
inline constexpr Colour kColorInfoBk = Colour::system(24);

inline constexpr Colour kPurple = Colour::rgb(128, 0, 128);
inline constexpr Colour kRed = Colour::rgb(255, 0, 0);
inline constexpr Colour kTeal = Colour::rgb(0, 128, 128);

/// What the result fields show for one patient.
struct BandResult {
    std::string band;
    Colour background;
    Colour textColour;
    std::string advice;
    std::string objective;
};

inline bool isAdult(double age) {
    return age > kAdultAge;
}

/// Judges the index with the adult bands (age above 18) or the child bands.
BandResult assessBand(double age, double index, const ReferenceThresholds& thresholds,
                      const WeightDifferences& differences, char decimalSeparator);

/// One band of a table as a stretch of the index scale: from `from` (reached) to `to` (not
/// reached), either end open.
struct BandSpan {
    std::optional<double> from;
    std::optional<double> to;
    std::string_view band;
    Colour background;
};

/// The bands of the table that judges this age, in increasing order of index, with the
/// thresholds' limits; an empty band (a child's first year has no degree 1 of obesity) is left out.
std::vector<BandSpan> bandSpans(double age, const ReferenceThresholds& thresholds);

} // namespace vimora
