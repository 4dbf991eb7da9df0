#pragma once

// The user's regional settings, read from the process locale, and the process-wide decimal
// separator of the main window's conversions.
namespace vimora::platform {

/// Starts as the regional decimal symbol (initialiseRegionalSettings); the main window sets it
/// to the engine's comma when it is created. Only the main window's key filter and calculation,
/// and the help support's start-up log before them, read it; everything else uses the engine's
/// constant.
extern char DecimalSeparator;

/// Adopts the user's locale for the process and sets DecimalSeparator to its decimal symbol,
/// or "." when the locale has no single-byte one. Runs once, first thing at start-up.
void initialiseRegionalSettings();

} // namespace vimora::platform
