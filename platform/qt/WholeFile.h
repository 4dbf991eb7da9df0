#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

// Every file the program and its commands write (exports, copies of the records, PDF sheets) goes
// through writeWholeFile(): a file is written whole or not at all, and a failure is never reported
// as success.
namespace vimora::platform {

/// Why a file was not written.
struct WriteFailure {
    enum class Kind {
        NotAFile,    ///< a directory, socket or block device: refused, nothing written
        NotCreated,  ///< the folder is missing or refuses the file
        DiskFull,    ///< no room left on the disk
        WriteFailed, ///< any other failed write, flush, sync or close
        Guarded,     ///< a file a guard keeps (guardWrites()): refused, nothing written
    };
    Kind kind = Kind::WriteFailed;
    int systemError = 0;     ///< errno when known, for the system's own reason
    bool replaceable = true; ///< an ordinary file, left as it was; false for a pipe or device
    QString reason;          ///< for Guarded: the guard's French reason
    /// The French message, one per kind, naming `path`.
    QString message(const QString& path) const;
};

/// Writes `path` with what `write` puts on the device it is given (`write` returns false when it
/// failed on its own account):
/// - an ordinary file, new or existing, through a temporary file beside it that replaces it only
///   once all of it reached the disk, the final flush and sync included; it ends with mode 0600, as
///   all we write is health data;
/// - a FIFO or character device directly, as a shell redirection would, never replaced;
/// - a directory, socket or block device is refused.
std::optional<WriteFailure> writeWholeFile(const QString& path, const std::function<bool(QIODevice&)>& write);

/// Says why `path` must not be written (French), or nothing.
using WriteGuard = std::function<std::optional<QString>(const QString& path)>;
/// While the handle returned lives, writeWholeFile() asks `guard` first: an open patient records
/// file is never written over, whatever command or dialog names it.
std::shared_ptr<const void> guardWrites(WriteGuard guard);

} // namespace vimora::platform
