#pragma once

#include <optional>
#include <string>
#include <string_view>

// Plain file operations. None of them ever writes through a symbolic link or into an existing file
// of another user, and the files they create are readable and writable by their owner only: the
// temporary directory is shared between users.
namespace vimora::platform {

/// True when `path` names something that exists and is not a directory (links followed).
bool fileExists(const std::string& path);

/// True when `path` names a regular file (links followed): never a FIFO or a device, which could
/// block whoever opens them.
bool regularFileExists(const std::string& path);

/// True when `path` names an existing directory (links followed).
bool directoryExists(const std::string& path);

enum class NewFile { Created, NameTaken, Failed };

/// Creates the empty file `path` only if nothing has that name yet, and closes it.
NewFile createNewFile(const std::string& path);

/// Creates an empty file with a new unique name that begins with `prefix` in `directory`, and
/// closes it. Its path, or nothing.
std::optional<std::string> createUniqueFile(const std::string& directory, const std::string& prefix);

/// Removes the file `path` if it is a regular file or a symbolic link (the link itself, never what
/// it points to). True when something was removed.
bool deleteFile(const std::string& path);

/// Appends `bytes` to the file `path`, creating it if there is none. Fails, writing nothing, when
/// `path` is a symbolic link or not a regular file of this user.
bool appendToFile(const std::string& path, std::string_view bytes);

} // namespace vimora::platform
