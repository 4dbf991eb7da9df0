#include "platform/Paths.h"

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vimora::platform {

namespace {

// Whether the two paths name one file, links followed.
bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace

std::string directoryPart(std::string_view path) {
    return std::string(path.substr(0, path.rfind(kPathSeparator) + 1));
}

std::string fileNamePart(std::string_view path) {
    return std::string(path.substr(path.rfind(kPathSeparator) + 1));
}

std::string executablePath() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string executableDirectory() {
    return directoryPart(executablePath());
}

std::string fullCommandPath(const std::string& argument0) {
    namespace fs = std::filesystem;
    if (argument0.empty())
        return argument0;
    if (argument0.find(kPathSeparator) != std::string::npos) {
        std::error_code error;
        const fs::path absolute = fs::absolute(argument0, error);
        return error ? argument0 : absolute.lexically_normal().string();
    }
    const char* searchPath = std::getenv("PATH");
    std::string_view directories = searchPath != nullptr ? searchPath : "";
    while (!directories.empty()) {
        const std::size_t end = std::min(directories.find(':'), directories.size());
        const std::string directory(directories.substr(0, end));
        directories.remove_prefix(std::min(end + 1, directories.size()));
        const std::string candidate =
            (directory.empty() ? std::string(".") : directory) + kPathSeparator + argument0;
        if (access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate))
            return fullCommandPath(candidate);
    }
    return argument0;
}

std::string commandPath(const std::string& argument0) {
    const std::string executable = executablePath();
    std::string full = fullCommandPath(argument0);
    return executable.empty() || sameFile(full, executable) ? full : executable;
}

std::string systemLibraryDirectory() {
    std::string directory = "/usr/lib";
    void* libc = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (libc == nullptr) {
        return directory;
    }
    link_map* map = nullptr;
    if (dlinfo(libc, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) {
        const std::string library = map->l_name;
        const auto separator = library.rfind(kPathSeparator);
        if (separator != std::string::npos && separator > 0) {
            directory = library.substr(0, separator);
        }
    }
    dlclose(libc);
    return directory;
}

std::string temporaryPath() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

} // namespace vimora::platform
