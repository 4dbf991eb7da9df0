#pragma once

#include <string>

// The operating system's name and version, as the platform reports them.
namespace vimora::platform {

struct OsVersion {
    std::string name;
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
};

/// The kernel's name and the first three numbers of its release (uname: "Linux", 6.1.0 for
/// "6.1.0-13-amd64"); numbers it does not give are 0.
OsVersion osVersion();

} // namespace vimora::platform
