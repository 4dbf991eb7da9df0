#pragma once

#include <string>
#include <string_view>

// The conversions of measures and numbers for any text and any double. parseMeasure() and
// displayNumber() take a fast path for the common short values and fall back on these. They are
// declared apart for the engine's tests and fuzzer, which hold the fast paths to them bit for bit
// over random samples: no test through the window or calculate() could reach that many values.
namespace vimora::general {

double parseMeasure(std::string_view text, char decimalSeparator);
std::string displayNumber(double value, char decimalSeparator);

} // namespace vimora::general
