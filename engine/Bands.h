#pragma once

#include "Measures.h"
#include "ReferenceThresholds.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The result bands: what the index means for this patient, the dietary advice and the
// objective in kilograms, with the colour that marks the band.
namespace vimora {

/// The colours of the result fields, by what they mean; the window chooses the pixels (the
/// system colours from its palette).
enum class Colour {
    Window,         ///< the system colour of an edit field's background
    WindowText,     ///< the system colour of an edit field's text
    InfoBackground, ///< the system colour of tooltips, behind a computed index
    Desktop,        ///< the system colour of the desktop, behind the underweight bands
    Purple,         ///< the first band above the normal range
    Red,            ///< the obesity bands
    Teal,           ///< the normal band
};

/// What the result fields show for one patient.
struct BandResult {
    std::string band;
    Colour background = Colour::Window;
    Colour textColour = Colour::WindowText;
    std::string advice;
    std::string objective;
};

inline bool isAdult(double age) {
    return age > kAdultAge;
}

/// Judges the index with the adult bands (age above 18) or the child bands, into `result`,
/// whose texts keep their storage.
void assessBand(BandResult& result, double age, double index, const ReferenceThresholds& thresholds,
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
