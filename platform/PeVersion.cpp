#include "FileVersion.h"

#include <array>

// Reads the version resource of a PE image without loading it: headers, section table, the
// three levels of the resource directory (type, name, language), then VS_VERSIONINFO. Every
// offset comes from the file, so each read is bounds-checked.
namespace vimora::platform {

namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t kHighBit = 0x80000000;
constexpr std::size_t kFixedFileInfoSize = 52;

class Image {
public:
    explicit Image(std::span<const unsigned char> bytes)
        : m_bytes(bytes) {}

    std::optional<std::uint32_t> u16(std::uint64_t offset) const { return read(offset, 2); }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const { return read(offset, 4); }
    bool contains(std::uint64_t offset, std::uint64_t size) const {
        return offset <= m_bytes.size() && size <= m_bytes.size() - offset;
    }

private:
    std::optional<std::uint32_t> read(std::uint64_t offset, unsigned size) const {
        if (!contains(offset, size)) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (unsigned i = size; i-- > 0;) {
            value = value << 8 | m_bytes[offset + i];
        }
        return value;
    }

    std::span<const unsigned char> m_bytes;
};

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

class PeReader {
public:
    explicit PeReader(std::span<const unsigned char> bytes)
        : m_image(bytes) {}

    std::optional<FileVersion> fileVersion() {
        const std::optional<std::uint64_t> resources = resourceDirectory();
        if (!resources) {
            return std::nullopt;
        }
        m_resources = *resources;
        const auto names = subdirectory(m_resources, kRtVersion);
        const auto languages = names ? subdirectory(*names) : std::nullopt;
        const auto dataEntry = languages ? leaf(*languages) : std::nullopt;
        if (!dataEntry) {
            return std::nullopt;
        }
        const auto dataRva = m_image.u32(*dataEntry);
        const auto dataSize = m_image.u32(*dataEntry + 4);
        const auto data = dataRva ? fileOffset(*dataRva) : std::nullopt;
        if (!data || !dataSize || !m_image.contains(*data, *dataSize)) {
            return std::nullopt;
        }
        return fixedFileInfo(*data, *dataSize);
    }

private:
    // File offset of the resource directory, after reading the headers and the section table.
    std::optional<std::uint64_t> resourceDirectory() {
        const auto mz = m_image.u16(0);
        const auto peOffset = m_image.u32(0x3C);
        if (mz != 0x5A4D || !peOffset || m_image.u32(*peOffset) != 0x00004550) {
            return std::nullopt;
        }
        const std::uint64_t coff = *peOffset + 4;
        const auto sectionCount = m_image.u16(coff + 2);
        const auto optionalSize = m_image.u16(coff + 16);
        const std::uint64_t optional = coff + 20;
        const auto magic = m_image.u16(optional);
        if (!sectionCount || !optionalSize || !magic) {
            return std::nullopt;
        }
        std::uint64_t directories = 0;
        if (*magic == 0x10B) {
            directories = optional + 96; // PE32
        } else if (*magic == 0x20B) {
            directories = optional + 112; // PE32+
        } else {
            return std::nullopt;
        }
        const auto directoryCount = m_image.u32(directories - 4);
        const std::uint64_t resourceEntry = directories + std::uint64_t{2} * 8;
        if (!directoryCount || *directoryCount < 3 || resourceEntry + 8 > optional + *optionalSize) {
            return std::nullopt;
        }
        const std::uint64_t table = optional + *optionalSize;
        for (std::uint32_t i = 0; i < *sectionCount; ++i) {
            const std::uint64_t header = table + i * 40ULL;
            const auto virtualAddress = m_image.u32(header + 12);
            const auto rawSize = m_image.u32(header + 16);
            const auto rawOffset = m_image.u32(header + 20);
            if (!virtualAddress || !rawSize || !rawOffset) {
                return std::nullopt;
            }
            m_sections[m_sectionCount++] = {*virtualAddress, *rawSize, *rawOffset};
            if (m_sectionCount == m_sections.size()) {
                break;
            }
        }
        const auto resourceRva = m_image.u32(resourceEntry);
        if (!resourceRva || *resourceRva == 0) {
            return std::nullopt;
        }
        return fileOffset(*resourceRva);
    }

    std::optional<std::uint64_t> fileOffset(std::uint32_t rva) const {
        for (std::size_t i = 0; i < m_sectionCount; ++i) {
            const Section& section = m_sections[i];
            if (rva >= section.virtualAddress && rva - section.virtualAddress < section.rawSize) {
                return std::uint64_t{section.rawOffset} + (rva - section.virtualAddress);
            }
        }
        return std::nullopt;
    }

    // The OffsetToData of the directory's entry with that numeric id, or of its first entry.
    std::optional<std::uint32_t> entry(std::uint64_t directory, std::optional<std::uint32_t> id) const {
        const auto named = m_image.u16(directory + 12);
        const auto numbered = m_image.u16(directory + 14);
        if (!named || !numbered) {
            return std::nullopt;
        }
        const std::uint32_t count = *named + *numbered;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t item = directory + 16 + i * 8ULL;
            const auto name = m_image.u32(item);
            const auto offset = m_image.u32(item + 4);
            if (!name || !offset) {
                return std::nullopt;
            }
            if (!id || ((*name & kHighBit) == 0 && *name == *id)) {
                return *offset;
            }
        }
        return std::nullopt;
    }

    std::optional<std::uint64_t> subdirectory(std::uint64_t directory,
                                              std::optional<std::uint32_t> id = std::nullopt) const {
        const auto offset = entry(directory, id);
        if (!offset || (*offset & kHighBit) == 0) {
            return std::nullopt;
        }
        return m_resources + (*offset & ~kHighBit);
    }

    std::optional<std::uint64_t> leaf(std::uint64_t directory) const {
        const auto offset = entry(directory, std::nullopt);
        if (!offset || (*offset & kHighBit) != 0) {
            return std::nullopt;
        }
        return m_resources + *offset;
    }

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO" in UTF-16, padding to
    // a 32-bit boundary, then VS_FIXEDFILEINFO.
    std::optional<FileVersion> fixedFileInfo(std::uint64_t block, std::uint32_t size) const {
        constexpr std::string_view key = "VS_VERSION_INFO";
        const auto valueLength = m_image.u16(block + 2);
        const std::uint64_t value = block + ((6 + 2 * (key.size() + 1) + 3) & ~std::uint64_t{3});
        if (!valueLength || *valueLength < kFixedFileInfoSize || value - block + kFixedFileInfoSize > size) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i <= key.size(); ++i) {
            const char expected = i < key.size() ? key[i] : '\0';
            if (m_image.u16(block + 6 + 2 * i) != static_cast<std::uint32_t>(expected)) {
                return std::nullopt;
            }
        }
        const auto signature = m_image.u32(value);
        const auto mostSignificant = m_image.u32(value + 8);
        const auto leastSignificant = m_image.u32(value + 12);
        if (signature != kFixedFileInfoSignature || !mostSignificant || !leastSignificant) {
            return std::nullopt;
        }
        return FileVersion{static_cast<std::uint16_t>(*mostSignificant >> 16),
                           static_cast<std::uint16_t>(*mostSignificant & 0xFFFF),
                           static_cast<std::uint16_t>(*leastSignificant >> 16),
                           static_cast<std::uint16_t>(*leastSignificant & 0xFFFF)};
    }

    Image m_image;
    // Windows loads at most 96 sections.
    std::array<Section, 96> m_sections{};
    std::size_t m_sectionCount = 0;
    std::uint64_t m_resources = 0;
};

} // namespace

std::optional<FileVersion> readPeFileVersion(std::span<const unsigned char> image) {
    return PeReader(image).fileVersion();
}

} // namespace vimora::platform
