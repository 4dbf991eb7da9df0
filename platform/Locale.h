#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

// The user's locale as the process has adopted it (initialiseRegionalSettings): its Windows
// locale identifier, its date and time formats, and the single-byte code page of the program's
// texts (Windows-1252).
namespace vimora::platform {

inline constexpr std::uint32_t kLocaleNeutral = 0x0000;
inline constexpr std::uint32_t kLocaleInvariant = 0x007F;

/// The Windows locale identifier (LCID) of the process's numeric locale.
std::uint32_t userDefaultLcid();

/// The LCID of a locale name such as "fr_FR.UTF-8" or "de_CH@euro", from a table of common
/// locales: kLocaleInvariant for "C" and "POSIX" (with or without a code set), kLocaleNeutral for
/// a locale the table does not hold.
std::uint32_t lcidForLocaleName(std::string_view name);

inline std::uint32_t primaryLangId(std::uint32_t lcid) {
    return lcid & 0x3FF;
}
inline std::uint32_t subLangId(std::uint32_t lcid) {
    return (lcid & 0xFFFF) >> 10;
}

/// A date in the user's short date format (strftime "%x").
std::string formatShortDate(std::time_t time);

/// A time of day in the user's long time format, with seconds (strftime "%X").
std::string formatLongTime(std::time_t time);

/// The platform's UTF-8 text in Windows-1252: "?" for each character that code page lacks and for
/// each byte that is not UTF-8.
std::string toAnsi(std::string_view text);

} // namespace vimora::platform
