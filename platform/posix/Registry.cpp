#include "Registry.h"

#include "Paths.h"
#include "RegistryFile.h"

#include <cstdlib>
#include <fstream>

namespace vimora::platform {

namespace {

// Far more than any registration needs; a larger file (or a device) is not a registry file.
constexpr std::size_t kMaxRegistryFileSize = 1 << 20;

std::string readRegistryFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kMaxRegistryFileSize) {
            return {};
        }
    }
    return bytes;
}

} // namespace

std::string RegistryFilePath() {
    const char* named = std::getenv("VIMORA_REGISTRY");
    if (named != nullptr && *named != '\0') {
        return named;
    }
    const std::string program = GetModuleFileName();
    return program.substr(0, program.rfind(kPathSeparator) + 1) + "registry.reg";
}

std::optional<std::string> RegQueryString(std::string_view root, std::string_view subKey,
                                          std::string_view name) {
    const RegistryFile file = RegistryFile::parse(readRegistryFile(RegistryFilePath()));
    return file.readString(std::string(root) + '\\' + std::string(subKey), name);
}

} // namespace vimora::platform
