#include "platform/Files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vimora::platform {

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

} // namespace

bool fileExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool regularFileExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

NewFile createNewFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnly);
    if (fd < 0) {
        return errno == EEXIST ? NewFile::NameTaken : NewFile::Failed;
    }
    close(fd);
    return NewFile::Created;
}

std::optional<std::string> createUniqueFile(const std::string& directory, const std::string& prefix) {
    std::string path = directory + '/' + prefix + "XXXXXX";
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    close(fd);
    return path;
}

bool deleteFile(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !(S_ISREG(status.st_mode) || S_ISLNK(status.st_mode))) {
        return false;
    }
    return unlink(path.c_str()) == 0;
}

bool appendToFile(const std::string& path, std::string_view bytes) {
    // O_NONBLOCK: a FIFO planted at the path must not hang the caller.
    const int fd =
        open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kOwnerOnly);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    bool written = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid();
    while (written && !bytes.empty()) {
        const ssize_t count = write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        written = count > 0;
        if (written) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
        }
    }
    return close(fd) == 0 && written;
}

} // namespace vimora::platform
