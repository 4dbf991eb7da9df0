#include "ItsfHeader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

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
constexpr std::size_t kDirectoryAtField = 0x48;
constexpr std::size_t kDirectoryLengthField = 0x50;

// The directory header (ITSP) and, after it, chunks of one size: listing chunks (PMGL), linked
// in a chain by their previous and next chunk numbers, and index chunks (PMGI).
constexpr std::size_t kDirectoryHeaderLength = 0x54;
constexpr std::size_t kChunkSizeField = 0x10;
constexpr std::size_t kFirstListingField = 0x20;
constexpr std::size_t kLastListingField = 0x24;
constexpr std::size_t kChunkCountField = 0x2C;
constexpr std::size_t kPreviousChunkField = 0x0C;
constexpr std::size_t kNextChunkField = 0x10;
constexpr std::uint64_t kListingHeaderLength = 0x14;
constexpr std::uint64_t kNoChunk = 0xFFFFFFFF;

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

struct Directory {
    std::size_t at = 0;
    std::uint64_t chunkSize = 0;
    std::uint64_t chunkCount = 0;
};

// The directory where the header places it, when its chunks fill it exactly; why not otherwise.
std::optional<Directory> directoryOf(std::span<const unsigned char> file, std::string& fault) {
    if (file.size() < kHeaderLength) {
        fault = "shorter than its header";
        return std::nullopt;
    }
    const std::uint64_t at = readLittleEndian(file, kDirectoryAtField, 8);
    const std::uint64_t length = readLittleEndian(file, kDirectoryLengthField, 8);
    if (at > file.size() || length > file.size() - at || length < kDirectoryHeaderLength ||
        !holds(file, at, "ITSP")) {
        fault = "no directory (ITSP) where the header places it";
        return std::nullopt;
    }
    const auto field32 = [file, at](std::size_t field) {
        return readLittleEndian(file, at + field, 4);
    };
    if (field32(0x04) != 1 || field32(0x08) != kDirectoryHeaderLength) {
        fault = "not a version 1 directory header";
        return std::nullopt;
    }
    const Directory directory{at, field32(kChunkSizeField), field32(kChunkCountField)};
    if (directory.chunkSize < kListingHeaderLength ||
        kDirectoryHeaderLength + directory.chunkSize * directory.chunkCount != length) {
        fault = "directory chunks do not fill the directory";
        return std::nullopt;
    }
    return directory;
}

struct ListingChunks {
    std::span<const unsigned char> file;
    Directory directory;

    std::size_t at(std::uint64_t chunk) const {
        return directory.at + kDirectoryHeaderLength + chunk * directory.chunkSize;
    }
    bool isListing(std::uint64_t chunk) const {
        return chunk < directory.chunkCount && holds(file, at(chunk), "PMGL");
    }
    std::uint64_t previous(std::uint64_t chunk) const {
        return readLittleEndian(file, at(chunk) + kPreviousChunkField, 4);
    }
    std::uint64_t next(std::uint64_t chunk) const {
        return readLittleEndian(file, at(chunk) + kNextChunkField, 4);
    }
    std::uint64_t recorded(std::size_t field) const {
        return readLittleEndian(file, directory.at + field, 4);
    }
};

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

bool repairFirstListingChunk(std::span<unsigned char> file) {
    std::string fault;
    const std::optional<Directory> directory = directoryOf(file, fault);
    if (!directory)
        return false;
    const ListingChunks chunks{file, *directory};
    std::optional<std::uint64_t> head;
    for (std::uint64_t chunk = 0; chunk < directory->chunkCount; ++chunk) {
        if (!chunks.isListing(chunk) || chunks.previous(chunk) != kNoChunk)
            continue;
        if (head)
            return false;
        head = chunk;
    }
    if (!head || chunks.recorded(kFirstListingField) == *head)
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        file[directory->at + kFirstListingField + i] = static_cast<unsigned char>(*head >> (8 * i));
    return true;
}

std::string directoryFault(std::span<const unsigned char> file) {
    std::string fault;
    const std::optional<Directory> directory = directoryOf(file, fault);
    if (!directory)
        return fault;
    const ListingChunks chunks{file, *directory};
    std::uint64_t listings = 0;
    for (std::uint64_t chunk = 0; chunk < directory->chunkCount; ++chunk)
        listings += chunks.isListing(chunk) ? 1 : 0;

    std::vector<bool> visited(directory->chunkCount);
    std::uint64_t chunk = chunks.recorded(kFirstListingField);
    if (!chunks.isListing(chunk) || chunks.previous(chunk) != kNoChunk)
        return "the first listing chunk (PMGL) recorded is not the head of the chain";
    std::uint64_t visits = 0;
    for (;;) {
        visited[chunk] = true;
        ++visits;
        const std::uint64_t next = chunks.next(chunk);
        if (next == kNoChunk)
            break;
        if (!chunks.isListing(next) || visited[next])
            return "the chain of listing chunks (PMGL) leads out of them or back to one";
        chunk = next;
    }
    if (chunk != chunks.recorded(kLastListingField))
        return "the chain of listing chunks (PMGL) does not end at the last one recorded";
    if (visits != listings)
        return "the chain of listing chunks (PMGL) leaves some of them out";
    return {};
}

} // namespace vimora::help
