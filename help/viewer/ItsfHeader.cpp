#include "ItsfHeader.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace vimora::help {

namespace {

using Guid = std::array<unsigned char, 16>;

// {7C01FD10-7BAA-11D0-9E0C-00A0C922E6EC} and {7C01FD11-7BAA-11D0-9E0C-00A0C922E6EC} as stored.
constexpr Guid kFirstGuid{0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                          0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};
constexpr Guid kSecondGuid{0x11, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                           0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};

constexpr std::size_t kHeaderLength = 0x60;
constexpr std::size_t kFirstGuidAt = 0x18;
constexpr std::size_t kSecondGuidAt = 0x28;
constexpr std::uint64_t kSectionTableLength = 0x18;
constexpr std::uint32_t kSectionTableMark = 0x01FE;

std::uint64_t readLittleEndian(std::span<const unsigned char> bytes, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8U | bytes[at + i];
    return value;
}

bool holds(std::span<const unsigned char> bytes, std::size_t at, std::span<const unsigned char> expected) {
    return at + expected.size() <= bytes.size() &&
           std::equal(expected.begin(), expected.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

bool holds(std::span<const unsigned char> bytes, std::size_t at, std::string_view expected) {
    return holds(bytes, at, {reinterpret_cast<const unsigned char*>(expected.data()), expected.size()});
}

} // namespace

bool repairItsfHeader(std::span<unsigned char> file) {
    if (file.size() < kHeaderLength || !holds(file, kSecondGuidAt, kFirstGuid))
        return false;
    std::copy(kSecondGuid.begin(), kSecondGuid.end(), file.begin() + kSecondGuidAt);
    return true;
}

std::string itsfHeaderFault(std::span<const unsigned char> file) {
    if (file.size() < kHeaderLength)
        return "shorter than its header";
    if (!holds(file, 0, "ITSF"))
        return "no ITSF signature";
    const auto field32 = [file](std::size_t at) {
        return readLittleEndian(file, at, 4);
    };
    const auto field64 = [file](std::size_t at) {
        return readLittleEndian(file, at, 8);
    };
    if (field32(0x04) != 3 || field32(0x08) != kHeaderLength || field32(0x0C) != 1)
        return "not a version 3 header";
    if (!holds(file, kFirstGuidAt, kFirstGuid))
        return "wrong first GUID";
    if (!holds(file, kSecondGuidAt, kSecondGuid))
        return "wrong second GUID";
    const std::uint64_t tableAt = field64(0x38);
    const std::uint64_t directoryAt = field64(0x48);
    const std::uint64_t directoryLength = field64(0x50);
    const std::uint64_t contentAt = field64(0x58);
    if (tableAt != kHeaderLength || field64(0x40) != kSectionTableLength)
        return "section table not right after the header";
    if (directoryAt != tableAt + kSectionTableLength || directoryLength == 0 ||
        contentAt != directoryAt + directoryLength || contentAt > file.size())
        return "directory and content not where the header places them";
    if (field32(tableAt) != kSectionTableMark || field64(tableAt + 8) != file.size())
        return "section table does not give the file's size";
    if (!holds(file, directoryAt, "ITSP"))
        return "no directory (ITSP) where the header places it";
    return {};
}

} // namespace vimora::help
