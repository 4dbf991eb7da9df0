#pragma once

#include "engine/Bands.h"

class QLineEdit;

// The engine's colours on an edit field, the system ones taken from the application's palette
// for that field: the one way the window and the chart dialog colour their result fields.

/// Sets the field's background colour.
void setFieldBackground(QLineEdit& field, vimora::Colour background);

/// Sets the field's background and text colours.
void setFieldColours(QLineEdit& field, vimora::Colour background, vimora::Colour text);
