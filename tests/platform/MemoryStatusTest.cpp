#include "platform/MemoryStatus.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <string>

namespace {

// MemTotal of /proc/meminfo, in bytes; 0 when it cannot be read.
std::uint64_t meminfoTotalBytes() {
    std::ifstream in("/proc/meminfo");
    std::string label;
    std::uint64_t kilobytes = 0;
    while (in >> label >> kilobytes) {
        if (label == "MemTotal:") {
            return kilobytes * 1024;
        }
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return 0;
}

TEST(MemoryStatus, IsTheMachines) {
    const vimora::platform::MemoryStatus status = vimora::platform::memoryStatus();
    const std::uint64_t total = meminfoTotalBytes();
    ASSERT_GT(total, 0U);
    EXPECT_EQ(status.totalPhys, total);
    EXPECT_GT(status.availPhys, 0U);
    EXPECT_LE(status.availPhys, status.totalPhys);
    EXPECT_LE(status.memoryLoad, 100U);
}

} // namespace
