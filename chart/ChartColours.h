#pragma once

#include "Bands.h"

#include <QColor>
#include <QPalette>

// The one translation of the engine's colours into pixels, shared by the main window's result
// fields and every chart.
namespace vimora::chart {

/// The band colours as RGB, the system colours from the palette (the desktop colour, which has
/// no palette role, as a fixed dark blue).
QColor toQColor(Colour colour, const QPalette& palette);

/// A band's colour: the band colours need no palette, so they are known before the application
/// exists.
QColor bandColour(Colour colour);

/// The band colour washed out, for the zones behind the curves.
QColor paleColour(const QColor& colour);

} // namespace vimora::chart
