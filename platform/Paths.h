#pragma once

#include <string>
#include <string_view>

// Where the program and the system keep their files.
namespace vimora::platform {

inline constexpr char kPathSeparator = '/';

/// The root of the system's drive: the last resort for files when there is no temporary directory.
inline constexpr const char* kSystemDriveRoot = "/";

/// The directory part of `path` with its final separator ("/opt/vimora/" for "/opt/vimora/vimora"),
/// or empty when it has no separator.
std::string directoryPart(std::string_view path);

/// The part of `path` after its last separator.
std::string fileNamePart(std::string_view path);

/// The full path of the running executable (/proc/self/exe), or empty if it cannot be read.
std::string executablePath();

/// The directory of the running executable with its final separator, or empty if it is unknown.
std::string executableDirectory();

/// The full path of the program as started with `argument0` (argv[0]): a path with a separator is
/// made absolute against the current directory, a bare name is looked for along $PATH as the
/// shell did. Links are not resolved; a name not found stays as it is.
std::string fullCommandPath(const std::string& argument0);

/// Argument 0 as the running executable's full path: fullCommandPath when that names the running
/// executable (a link to it included), else executablePath, whatever the starter put there.
std::string commandPath(const std::string& argument0);

/// The system library directory: the one the C library was loaded from.
std::string systemLibraryDirectory();

/// The temporary directory: $TMPDIR when it is set, else /tmp. It may not exist.
std::string temporaryPath();

} // namespace vimora::platform
