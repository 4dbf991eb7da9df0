#pragma once

#include <QFileDevice>
#include <QString>

#include <optional>

class QSaveFile;

namespace vimora::platform {

/// Why a file could not be written: the device's error and its text.
struct WriteFailure {
    QFileDevice::FileError error = QFileDevice::NoError;
    QString reason;
};

/// Ends the writing of `file` (open, its content written) and replaces the target with it only
/// when all of it reached the disk, the final flush included. Otherwise the write is cancelled:
/// the target stays as it was, no temporary file remains, and the failure says why. Every file
/// the program writes ends through here.
std::optional<WriteFailure> commitWhole(QSaveFile& file);

} // namespace vimora::platform
