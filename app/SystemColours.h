#pragma once

#include "ChartColours.h"

// The window's colours come from the one mapping that the charts use too.
using vimora::chart::toQColor;
