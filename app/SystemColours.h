#pragma once

#include "Bands.h"

#include <QColor>
#include <QPalette>

/// The pixels of an engine colour: the band colours as RGB, the system colours from the palette
/// (the desktop colour, which has no palette role, as a fixed dark blue).
QColor toQColor(vimora::Colour colour, const QPalette& palette);
