#include "WholeFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cerrno>

namespace vimora::platform {

std::optional<WriteFailure> commitWhole(QSaveFile& file) {
    // Qt 6.4's commit() flushes the last buffered bytes itself but loses that flush's error (a full
    // disk, a size limit), and would replace the target with a truncated file. So flush first and
    // look at the device's error, which also keeps any earlier write's failure.
    if (file.flush() && file.error() == QFileDevice::NoError) {
        if (file.commit())
            return std::nullopt;
        return WriteFailure{file.error(), file.errorString()};
    }
    WriteFailure failure{file.error(), file.errorString()};
    // A write cut short by a full disk leaves Qt without errno: it only reports a write error.
    const QStorageInfo disk(QFileInfo(file.fileName()).absolutePath());
    if (failure.error != QFileDevice::ResourceError && disk.isValid() &&
        disk.bytesAvailable() < disk.blockSize())
        failure = {QFileDevice::ResourceError, qt_error_string(ENOSPC)};
    else if (failure.error == QFileDevice::NoError)
        failure.error = QFileDevice::WriteError;
    file.cancelWriting();
    file.commit(); // removes the temporary file; the target is untouched
    return failure;
}

} // namespace vimora::platform
