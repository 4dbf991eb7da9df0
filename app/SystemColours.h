#pragma once

#include "Bands.h"

#include <QColor>
#include <QPalette>

/// The window's colour for an engine Colour: RGB values as they are, system colours from the
/// palette (the desktop colour, which has no palette role, as a fixed dark blue).
QColor toQColor(vimora::Colour colour, const QPalette& palette);
