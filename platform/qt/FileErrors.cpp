#include "FileErrors.h"

#include "platform/SystemErrors.h"

#include <QFileDevice>
#include <QFileInfo>

#include <cerrno>

namespace vimora::platform {

QString fileErrorText(const QFileDevice& file, int error) {
    // Qt opens a directory, then refuses it without errno.
    if (!file.fileName().isEmpty() && QFileInfo(file.fileName()).isDir())
        error = EISDIR;
    if (error != 0)
        return QString::fromStdString(systemErrorText(error));
    switch (file.error()) {
    case QFileDevice::ReadError:
        return QStringLiteral("erreur de lecture");
    case QFileDevice::WriteError:
        return QStringLiteral("erreur d'écriture");
    case QFileDevice::ResourceError:
        return QStringLiteral("plus de place sur le disque ou trop de fichiers ouverts");
    case QFileDevice::PermissionsError:
        return QString::fromStdString(systemErrorText(EACCES));
    case QFileDevice::OpenError:
        return QStringLiteral("le fichier ne peut pas être ouvert");
    case QFileDevice::RemoveError:
        return QStringLiteral("le fichier ne peut pas être supprimé");
    case QFileDevice::RenameError:
        return QStringLiteral("le fichier ne peut pas être renommé");
    case QFileDevice::CopyError:
        return QStringLiteral("le fichier ne peut pas être copié");
    case QFileDevice::PositionError:
    case QFileDevice::ResizeError:
        return QStringLiteral("le fichier ne peut pas être parcouru ni redimensionné");
    case QFileDevice::AbortError:
        return QStringLiteral("l'opération a été interrompue");
    case QFileDevice::TimeOutError:
        return QStringLiteral("délai dépassé");
    default:
        return QStringLiteral("erreur inconnue du système de fichiers");
    }
}

} // namespace vimora::platform
