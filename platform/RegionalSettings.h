#pragma once

// The user's regional settings, read from the process locale, and the one process-wide decimal
// separator that every conversion between numbers and text reads.
namespace vimora::platform {

/// Starts as the regional decimal symbol (initialiseRegionalSettings); the main window sets it
/// to the engine's comma when it is created. Only the main window's conversions and what runs
/// before it read it; everything else writes with the engine's constant.
extern char DecimalSeparator;

/// Adopts the user's locale for the process and sets DecimalSeparator to its decimal symbol,
/// or "." when the locale has no single-byte one. Runs once, first thing at start-up.
void initialiseRegionalSettings();

} // namespace vimora::platform
