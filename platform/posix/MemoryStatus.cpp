#include "platform/MemoryStatus.h"

#include <sys/sysinfo.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

namespace vimora::platform {

namespace {

// MemAvailable counts reclaimable caches as available, as the platform's own figure does;
// sysinfo's freeram does not.
std::optional<std::uint64_t> availableFromMeminfo() {
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> result;
    std::array<char, 256> line{};
    while (std::fgets(line.data(), static_cast<int>(line.size()), file) != nullptr) {
        unsigned long long kilobytes = 0;
        if (std::sscanf(line.data(), "MemAvailable: %llu kB", &kilobytes) == 1) {
            result = static_cast<std::uint64_t>(kilobytes) * 1024;
            break;
        }
    }
    std::fclose(file);
    return result;
}

} // namespace

MemoryStatus memoryStatus() {
    MemoryStatus status;
    struct sysinfo info {};
    if (sysinfo(&info) != 0) {
        return status;
    }
    const std::uint64_t unit = info.mem_unit == 0 ? 1 : info.mem_unit;
    status.totalPhys = static_cast<std::uint64_t>(info.totalram) * unit;
    status.availPhys = availableFromMeminfo().value_or(
        (static_cast<std::uint64_t>(info.freeram) + static_cast<std::uint64_t>(info.bufferram)) * unit);
    if (status.availPhys > status.totalPhys) {
        status.availPhys = status.totalPhys;
    }
    if (status.totalPhys > 0) {
        const std::uint64_t used = status.totalPhys - status.availPhys;
        status.memoryLoad = static_cast<std::uint32_t>(
            std::lround(100.0 * static_cast<double>(used) / static_cast<double>(status.totalPhys)));
    }
    return status;
}

} // namespace vimora::platform
