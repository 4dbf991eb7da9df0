#include "SafeWrite.h"

#include "WholeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace vimora::records {

namespace {

QString failure(const QString& path, const platform::WriteFailure& why) {
    const QString reason = why.error == QFileDevice::OpenError
                               ? QStringLiteral("il ne peut pas être créé à cet endroit")
                               : QStringLiteral("l'écriture a échoué (disque plein ou erreur du disque)");
    return QStringLiteral(
               "Le fichier « %1 » n'a pas été écrit : %2 (%3). Un fichier de ce nom qui existait déjà "
               "est resté tel quel.")
        .arg(QDir::toNativeSeparators(path), reason, why.reason);
}

} // namespace

std::optional<QString> writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& write) {
    const bool replacing = QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, {file.error(), file.errorString()});
    // A new file is for its owner alone; one that is replaced keeps its permissions.
    if (!replacing)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!write(file)) {
        const platform::WriteFailure why{file.error(), file.errorString()};
        file.cancelWriting();
        return failure(path, why);
    }
    if (const std::optional<platform::WriteFailure> why = platform::commitWhole(file))
        return failure(path, *why);
    return std::nullopt;
}

std::optional<QString> copyFileSafely(QIODevice& source, const QString& path) {
    return writeFileSafely(path, [&](QIODevice& out) {
        constexpr qint64 kChunk = qint64(1) << 20;
        while (!source.atEnd()) {
            const QByteArray bytes = source.read(kChunk);
            if (bytes.isEmpty() || out.write(bytes) != bytes.size())
                return false;
        }
        return true;
    });
}

} // namespace vimora::records
