#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Version records of files: the fixed version record in the version resource of a Windows (PE)
// image, and for an ELF shared object the version in its file name after ".so.", the platform's
// own convention.
namespace vimora::platform {

/// A file version, most significant field first.
struct FileVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t release = 0;
    std::uint16_t build = 0;

    bool operator==(const FileVersion&) const = default;
};

/// The version of the file at `path` (symbolic links followed), or nothing when it has none.
std::optional<FileVersion> fileVersion(const std::string& path);

/// The file version of the VS_FIXEDFILEINFO record (signature 0xFEEF04BD) in the RT_VERSION
/// resource of a PE32 or PE32+ image, or nothing when the image has none or is damaged.
std::optional<FileVersion> readPeFileVersion(std::span<const unsigned char> image);

/// The one to four numbers after the last ".so." of a shared object's file name, missing ones 0
/// ("libvimorahelp.so.1.0.0" is 1.0.0.0); nothing for any other name.
std::optional<FileVersion> parseSharedObjectVersion(std::string_view fileName);

} // namespace vimora::platform
