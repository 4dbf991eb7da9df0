#pragma once

#include <cstdint>

// The binary interface between the program and its help viewer engine, which is loaded at run
// time: the entry point "HtmlHelpA", its command numbers and the desktop window handle. It stands
// for the platform's HTML Help interface, hence its namespace.
namespace vimora::platform {

using WindowHandle = void*;

/// The entry point's signature: owner window, help file (may be null), command, command data.
/// It returns the viewer window it acted on, or null.
using HtmlHelpFunction = WindowHandle (*)(WindowHandle owner, const char* file, std::uint32_t command,
                                          std::uintptr_t data);

inline constexpr const char* kHtmlHelpEntryName = "HtmlHelpA";
inline constexpr std::uint32_t kHhDisplayTopic = 0;
inline constexpr std::uint32_t kHhCloseAll = 18;

/// The desktop as an owner: the viewer reads it as "no owner", so its window is top-level.
inline WindowHandle desktopWindow() {
    // A fixed value that the program and the viewer library both know; never dereferenced.
    return reinterpret_cast<WindowHandle>(std::uintptr_t{1}); // NOLINT(performance-no-int-to-ptr)
}

} // namespace vimora::platform
