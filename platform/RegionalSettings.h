#pragma once

// The user's regional settings, read from the process locale, and the one process-wide decimal
// separator that every conversion between numbers and text reads.
namespace vimora::platform {

/// The decimal separator of every number the program shows, whatever the regional settings: the
/// main window makes it DecimalSeparator when it is created, and the charts write with it.
inline constexpr char kShownDecimalSeparator = ',';

/// Starts as the regional decimal symbol (initialiseRegionalSettings); the main window sets it
/// to kShownDecimalSeparator when it is created.
extern char DecimalSeparator;

/// Adopts the user's locale for the process and sets DecimalSeparator to its decimal symbol,
/// or "." when the locale has no single-byte one. Runs once, first thing at start-up.
void initialiseRegionalSettings();

} // namespace vimora::platform
