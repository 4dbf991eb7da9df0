#pragma once

#include <string>

// Where the program and the system keep their files.
namespace vimora::platform {

inline constexpr char kPathSeparator = '/';

/// The root of the system's drive: the last resort for files when there is no temporary directory.
inline constexpr const char* kSystemDriveRoot = "/";

/// The full path of the running executable (/proc/self/exe), or empty if it cannot be read.
std::string GetModuleFileName();

/// The full path of the program as started with `argument0` (argv[0]): a path with a separator is
/// made absolute against the current directory, a bare name is looked for along $PATH as the
/// shell did. Links are not resolved; a name not found stays as it is.
std::string FullCommandPath(const std::string& argument0);

/// The system library directory: the one the C library was loaded from.
std::string GetSystemDirectory();

/// The temporary directory: $TMPDIR when it is set, else /tmp. It may not exist.
std::string GetTempPath();

} // namespace vimora::platform
