#pragma once

#include <cfloat>
#include <limits>

// The engine computes in the 80-bit extended format and stores each result as a double.
namespace vimora {

static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 80-bit extended format (64-bit significand)");
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round each result to double");

/// Rounds an extended value to the double it is stored as; throws EngineError for a finite value
/// beyond the double range, an overflow as the x87 store instruction reports it.
double storeDouble(long double value);

} // namespace vimora
