#include "SystemErrors.h"

#include <cerrno>
#include <cstring>

namespace vimora::platform {

std::string systemErrorText(int error) {
    switch (error) {
    case ENOENT:
        return "fichier introuvable";
    case EACCES:
    case EPERM:
        return "permission refusée";
    case ENOSPC:
        return "plus de place sur le disque";
    case EPIPE:
        return "la sortie a été fermée (tube rompu)";
    case EROFS:
        return "système de fichiers en lecture seule";
    case EISDIR:
        return "c'est un répertoire";
    case EIO:
        return "erreur d'entrée-sortie";
    default:
        return std::strerror(error);
    }
}

} // namespace vimora::platform
