#include "platform/FileVersion.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vimora::platform {

namespace {

// A file mapped read-only for as long as the object lives.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return;
        }
        struct stat status {};
        if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
            void* address =
                mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (address != MAP_FAILED) {
                m_bytes = {static_cast<const unsigned char*>(address),
                           static_cast<std::size_t>(status.st_size)};
            }
        }
        close(fd);
    }
    ~MappedFile() {
        if (!m_bytes.empty()) {
            munmap(const_cast<unsigned char*>(m_bytes.data()), m_bytes.size());
        }
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const unsigned char> bytes() const { return m_bytes; }

private:
    std::span<const unsigned char> m_bytes;
};

bool startsWith(std::span<const unsigned char> bytes, std::string_view magic) {
    return bytes.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin(),
                      [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
}

// The name of the file a path finally names, after every symbolic link.
std::string resolvedFileName(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return {};
    }
    const std::string full = resolved;
    std::free(resolved);
    return full.substr(full.rfind('/') + 1);
}

} // namespace

std::optional<FileVersion> fileVersion(const std::string& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    const MappedFile file(path);
    if (startsWith(file.bytes(), "MZ")) {
        return readPeFileVersion(file.bytes());
    }
    if (startsWith(file.bytes(), "\x7F"
                                 "ELF")) {
        return parseSharedObjectVersion(resolvedFileName(path));
    }
    return std::nullopt;
}

std::optional<FileVersion> parseSharedObjectVersion(std::string_view fileName) {
    const auto suffix = fileName.rfind(".so.");
    if (suffix == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = fileName.substr(suffix + 4);
    std::array<std::uint16_t, 4> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto dot = rest.find('.');
        const std::string_view digits = rest.substr(0, dot);
        if (digits.empty() || digits.size() > 5) {
            return std::nullopt;
        }
        std::uint32_t number = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            number = number * 10 + static_cast<std::uint32_t>(c - '0');
        }
        if (number > 0xFFFF) {
            return std::nullopt;
        }
        fields[i] = static_cast<std::uint16_t>(number);
        if (dot == std::string_view::npos) {
            return FileVersion{fields[0], fields[1], fields[2], fields[3]};
        }
        rest.remove_prefix(dot + 1);
    }
    return std::nullopt;
}

} // namespace vimora::platform
