#pragma once

#include <optional>
#include <string>
#include <string_view>

// The registry, read only. On this platform it is a registry file in the registry editor's export
// format (RegistryFile.h): the file named by the environment variable VIMORA_REGISTRY when it is
// set, else "registry.reg" in the executable's directory.
namespace vimora::platform {

inline constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";

/// The registry file this process reads.
std::string registryFilePath();

/// The text value `name` ("" for the default value) of the key `subKey` under `root`, exactly as
/// stored; nothing when the registry file is missing or malformed, or the key or value is absent.
std::optional<std::string> readRegistryString(std::string_view root, std::string_view subKey,
                                              std::string_view name);

} // namespace vimora::platform
