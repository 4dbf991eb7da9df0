#pragma once

#include <string>

// Where the program and the system keep their files.
namespace vimora::platform {

inline constexpr char kPathSeparator = '/';

/// The root of the system's drive: the last resort for files when there is no temporary directory.
inline constexpr const char* kSystemDriveRoot = "/";

/// The full path of the running executable (/proc/self/exe), or empty if it cannot be read.
std::string GetModuleFileName();

/// The system library directory: the one the C library was loaded from.
std::string GetSystemDirectory();

/// The temporary directory: $TMPDIR when it is set, else /tmp. It may not exist.
std::string GetTempPath();

} // namespace vimora::platform
