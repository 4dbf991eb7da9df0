#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vimora::platform {

namespace {

#if defined(__x86_64__)
constexpr std::uint16_t kMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr std::uint16_t kMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr std::uint16_t kMachine = EM_386;
#elif defined(__arm__)
constexpr std::uint16_t kMachine = EM_ARM;
#elif defined(__riscv)
constexpr std::uint16_t kMachine = EM_RISCV;
#else
#error "The ELF machine of this processor is not known here"
#endif

constexpr unsigned char kClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char kDataEncoding = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

std::string loaderError() {
    const char* message = dlerror();
    return message != nullptr ? message : "unknown loader error";
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t count = pread(fd, bytes, size, static_cast<off_t>(offset));
        if (count <= 0)
            return false;
        bytes += count;
        size -= static_cast<std::size_t>(count);
        offset += static_cast<std::uint64_t>(count);
    }
    return true;
}

// Whether `count` bytes at `offset` lie inside a file of `size` bytes.
bool inside(std::uint64_t offset, std::uint64_t count, std::uint64_t size) {
    return offset <= size && count <= size - offset;
}

// The loader maps the segments that the program headers describe without checking them against
// the file: touching a page beyond the end of a file cut short raises SIGBUS. A library must
// therefore be a whole shared object of this machine before it is loaded.
bool isLoadableSharedObject(const std::string& file) {
    const FileDescriptor fd(open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (fd.get() < 0 || fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const auto size = static_cast<std::uint64_t>(status.st_size);
    ElfW(Ehdr) header{};
    if (!readAt(fd.get(), &header, sizeof header, 0))
        return false;
    const unsigned char* ident = header.e_ident;
    if (ident[EI_MAG0] != ELFMAG0 || ident[EI_MAG1] != ELFMAG1 || ident[EI_MAG2] != ELFMAG2 ||
        ident[EI_MAG3] != ELFMAG3 || ident[EI_CLASS] != kClass || ident[EI_DATA] != kDataEncoding ||
        ident[EI_VERSION] != EV_CURRENT || header.e_type != ET_DYN || header.e_machine != kMachine ||
        header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0 ||
        !inside(header.e_phoff, std::uint64_t{header.e_phnum} * sizeof(ElfW(Phdr)), size))
        return false;
    std::vector<ElfW(Phdr)> programHeaders(header.e_phnum);
    if (!readAt(fd.get(), programHeaders.data(), programHeaders.size() * sizeof(ElfW(Phdr)), header.e_phoff))
        return false;
    return std::ranges::all_of(programHeaders, [size](const ElfW(Phdr) & segment) {
        return inside(segment.p_offset, segment.p_filesz, size);
    });
}

} // namespace

LibraryHandle loadLibrary(const std::string& path, std::string& error) {
    // dlopen searches the library path for a bare file name; "./" keeps it the file that was named.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    if (!isLoadableSharedObject(file)) {
        error = file + ": not a whole shared object of this machine";
        return nullptr;
    }
    LibraryHandle library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        error = loaderError();
    }
    return library;
}

void* librarySymbol(LibraryHandle library, const char* name, std::string& error) {
    dlerror();
    void* address = dlsym(library, name);
    if (address == nullptr) {
        error = loaderError();
    }
    return address;
}

void freeLibrary(LibraryHandle library) {
    dlclose(library);
}

} // namespace vimora::platform
