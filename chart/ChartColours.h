#pragma once

#include "Bands.h"

#include <QColor>
#include <QPalette>

// The one translation of the engine's colours into screen colours, shared by the main window's
// result field and every chart.
namespace vimora::chart {

/// RGB values as they are; system colours from the palette, the desktop colour (which has no
/// palette role) as a fixed dark blue.
QColor toQColor(Colour colour, const QPalette& palette);

/// A band's colour, for drawings that have no palette of their own.
QColor bandColour(Colour colour);

/// The band colour washed out, for the zones behind the curves.
QColor paleColour(const QColor& colour);

} // namespace vimora::chart
