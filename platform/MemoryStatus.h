#pragma once

#include <cstdint>

// The machine's memory status: its physical memory and how much of it is in use. The sizes are
// 64-bit so that a machine with 4 GB or more is not reported as 4 GB less one byte.
namespace vimora::platform {

struct MemoryStatus {
    /// Approximate share of physical memory in use, 0 to 100.
    std::uint32_t memoryLoad = 0;
    /// Total physical memory in bytes.
    std::uint64_t totalPhys = 0;
    /// Physical memory available to new work without swapping, in bytes.
    std::uint64_t availPhys = 0;
};

/// Reads the current memory status (sysinfo, and MemAvailable from /proc/meminfo when the kernel
/// reports it). Never fails: what cannot be read stays 0.
MemoryStatus memoryStatus();

} // namespace vimora::platform
