#pragma once

#include "Chart.h"
#include "WhoChart.h"
#include "engine/Assessment.h"

#include <memory>

namespace vimora::chart {

/// The chart of a complete calculation: the child's chart of their sex with the patient's
/// point, on the curves chosen, or the adult scale.
std::unique_ptr<Chart> chartFor(const Calculation& calculation, Curves curves = Curves::Reference);

} // namespace vimora::chart
