#include "SafeWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace vimora::records {

namespace {

QString failure(const QString& path, const QSaveFile& file) {
    const QString reason = file.error() == QFileDevice::OpenError
                               ? QStringLiteral("il ne peut pas être créé à cet endroit")
                               : QStringLiteral("l'écriture a échoué (disque plein ou erreur du disque)");
    return QStringLiteral(
               "Le fichier « %1 » n'a pas été écrit : %2 (%3). Un fichier de ce nom qui existait déjà "
               "est resté tel quel.")
        .arg(QDir::toNativeSeparators(path), reason, file.errorString());
}

} // namespace

std::optional<QString> writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& write) {
    const bool replacing = QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, file);
    // A new file is for its owner alone; one that is replaced keeps its permissions.
    if (!replacing)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const bool written = write(file);
    // commit() flushes too, but Qt 6.4 loses that flush's error and renames a short file over the
    // target: flush first and look at the device's error.
    if (!written || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString message = failure(path, file);
        file.cancelWriting();
        return message;
    }
    if (!file.commit())
        return failure(path, file);
    return std::nullopt;
}

} // namespace vimora::records
