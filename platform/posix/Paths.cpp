#include "Paths.h"

#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace vimora::platform {

std::string GetModuleFileName() {
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

std::string GetSystemDirectory() {
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

std::string GetTempPath() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

} // namespace vimora::platform
