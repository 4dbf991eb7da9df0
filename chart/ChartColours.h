#pragma once

#include "engine/Bands.h"

#include <QColor>
#include <QPalette>

// The one translation of the engine's colours into pixels, shared by the main window's result
// fields and every chart.
namespace vimora::chart {

/// Any colour of the result fields: the band colours as RGB, the system colours from the
/// palette.
QColor toQColor(Colour colour, const QPalette& palette);

/// A band's colour, for drawing on white paper: the band colours as RGB; the system colours
/// (which mark no band) from the application's palette.
QColor bandColour(Colour colour);

/// The band colour washed out, for the zones behind the curves; each `depth` step a little less,
/// so that the grades of one colour stand apart.
QColor paleColour(const QColor& colour, int depth = 0);

/// The colour of frames and texts: dark, never the pure black of the patient's point.
extern const QColor kInk;

/// The one colour of warnings and of the reasons a field is refused, in the windows and on the
/// sheets: a deep red, apart from the obesity band's pure red.
extern const QColor kWarningColour;

/// The children's thresholds' colours: the band colours of the results that begin at them.
extern const QColor kLowerColour;   ///< below it: underweight
extern const QColor kUpperColour;   ///< from it: obesity degree 1
extern const QColor kObesityColour; ///< from it: obesity degree 2

} // namespace vimora::chart
