#pragma once

#include <cstdint>

// The platform's beep. Qt has a single system beep, so every beep type sounds the same.
namespace vimora::platform {

/// The beep type of the default sound.
inline constexpr std::uint32_t kDefaultBeep = 0;

/// Plays the default beep whatever the type (QApplication::beep); a no-op when no application
/// object exists or the platform has no bell.
void messageBeep(std::uint32_t type);

/// How many beeps the process has asked for so far; lets tests hear the program.
std::uint64_t beepCount();

} // namespace vimora::platform
