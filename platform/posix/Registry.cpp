#include "platform/Registry.h"

#include "platform/Paths.h"
#include "platform/RegistryFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vimora::platform {

namespace {

// Far more than any registration needs; a larger file is not a registry file.
constexpr std::size_t kMaxRegistryFileSize = 1 << 20;

// The bytes of a regular file; empty for anything else. Opened without blocking, so that a FIFO or
// a device at the path cannot hold up the start of the program.
std::string readRegistryFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    struct stat status {};
    std::string bytes;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        std::array<char, 4096> buffer{};
        for (;;) {
            const ssize_t count = read(fd, buffer.data(), buffer.size());
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count == 0) {
                break;
            }
            bytes.append(buffer.data(), static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
            if (count < 0 || bytes.size() > kMaxRegistryFileSize) {
                bytes.clear();
                break;
            }
        }
    }
    close(fd);
    return bytes;
}

} // namespace

std::string registryFilePath() {
    const char* named = std::getenv("VIMORA_REGISTRY");
    if (named != nullptr && *named != '\0') {
        return named;
    }
    return executableDirectory() + "registry.reg";
}

std::optional<std::string> readRegistryString(std::string_view root, std::string_view subKey,
                                              std::string_view name) {
    const RegistryFile file = RegistryFile::parse(readRegistryFile(registryFilePath()));
    return file.readString(std::string(root) + '\\' + std::string(subKey), name);
}

} // namespace vimora::platform
