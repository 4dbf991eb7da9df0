#include "WholeFile.h"

#include "platform/SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cerrno>
#include <list>
#include <mutex>

#include <sys/stat.h>

namespace vimora::platform {

namespace {

std::mutex& guardsMutex() {
    static std::mutex mutex;
    return mutex;
}

std::list<WriteGuard>& guards() {
    static std::list<WriteGuard> all;
    return all;
}

std::optional<QString> guardedReason(const QString& path) {
    const std::scoped_lock lock(guardsMutex());
    for (const WriteGuard& guard : guards()) {
        if (std::optional<QString> reason = guard(path))
            return reason;
    }
    return std::nullopt;
}

bool diskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

// What a failed device says, with the errno of the failing call read at once.
WriteFailure failureOf(const QFileDevice& file, int error, bool replaceable) {
    WriteFailure failure;
    failure.systemError = error;
    failure.replaceable = replaceable;
    if (file.error() == QFileDevice::OpenError || file.error() == QFileDevice::PermissionsError)
        failure.kind = WriteFailure::Kind::NotCreated;
    else if (file.error() == QFileDevice::ResourceError || diskFull(error))
        failure.kind = WriteFailure::Kind::DiskFull;
    return failure;
}

// A write cut short by a full disk leaves Qt without errno: it only reports a write error.
void tellFullDisk(WriteFailure& failure, const QString& path) {
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (failure.kind == WriteFailure::Kind::WriteFailed && disk.isValid() &&
        disk.bytesAvailable() < disk.blockSize())
        failure.kind = WriteFailure::Kind::DiskFull;
}

std::optional<WriteFailure> writeReplacing(const QString& path,
                                           const std::function<bool(QIODevice&)>& write) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failureOf(file, errno, true);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Qt 6.4's commit() flushes the last buffered bytes itself but loses that flush's error (a full
    // disk, a size limit), and would replace the target with a truncated file. So flush first and
    // look at the device's error, which also keeps any earlier write's failure.
    if (write(file) && file.flush() && file.error() == QFileDevice::NoError) {
        if (file.commit())
            return std::nullopt;
        return failureOf(file, errno, true);
    }
    WriteFailure failure = failureOf(file, errno, true);
    tellFullDisk(failure, path);
    file.cancelWriting();
    file.commit(); // removes the temporary file; the target is untouched
    return failure;
}

// A pipe or a device is written as it is, and never replaced by an ordinary file.
std::optional<WriteFailure> writeInto(const QString& path, const std::function<bool(QIODevice&)>& write) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return failureOf(file, errno, false);
    const bool written = write(file);
    const int writeError = errno;
    if (written && file.error() == QFileDevice::NoError) {
        file.close();
        if (file.error() == QFileDevice::NoError)
            return std::nullopt;
        return failureOf(file, errno, false);
    }
    WriteFailure failure = failureOf(file, writeError, false);
    file.close();
    return failure;
}

} // namespace

QString WriteFailure::message(const QString& path) const {
    if (kind == Kind::Guarded)
        return reason;
    const QString file = QStringLiteral("« %1 »").arg(QDir::toNativeSeparators(path));
    if (kind == Kind::NotAFile) {
        return QStringLiteral("%1 n'est pas un fichier (c'est un dossier, une socket ou un périphérique de "
                              "blocs) : rien n'y a été écrit.")
            .arg(file);
    }
    QString reason;
    switch (kind) {
    case Kind::NotCreated:
        reason = QStringLiteral("le dossier n'existe pas ou n'accepte pas de nouveau fichier");
        break;
    case Kind::DiskFull:
        reason = QStringLiteral("le disque est plein");
        break;
    default:
        reason = QStringLiteral("l'écriture a échoué");
        break;
    }
    if (systemError != 0 && !(kind == Kind::DiskFull && diskFull(systemError)))
        reason += QStringLiteral(" (%1)").arg(QString::fromStdString(systemErrorText(systemError)));
    return QStringLiteral("Le fichier %1 n'a pas été écrit : %2. %3")
        .arg(file, reason,
             replaceable ? QStringLiteral("Un fichier de ce nom qui existait déjà est resté tel quel.")
                         : QStringLiteral("Ce qui a pu y être écrit est incomplet."));
}

std::optional<WriteFailure> writeWholeFile(const QString& path,
                                           const std::function<bool(QIODevice&)>& write) {
    if (std::optional<QString> reason = guardedReason(path))
        return WriteFailure{WriteFailure::Kind::Guarded, 0, true, *reason};
    struct stat target {};
    if (::stat(QFile::encodeName(path).constData(), &target) == 0) {
        if (S_ISFIFO(target.st_mode) || S_ISCHR(target.st_mode))
            return writeInto(path, write);
        if (!S_ISREG(target.st_mode))
            return WriteFailure{WriteFailure::Kind::NotAFile, 0, false, {}};
    }
    return writeReplacing(path, write);
}

std::shared_ptr<const void> guardWrites(WriteGuard guard) {
    const std::scoped_lock lock(guardsMutex());
    const auto kept = guards().insert(guards().end(), std::move(guard));
    return {nullptr, [kept](const void*) {
                const std::scoped_lock lock(guardsMutex());
                guards().erase(kept);
            }};
}

} // namespace vimora::platform
