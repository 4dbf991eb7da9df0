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
    case ENOTDIR:
        return "un élément du chemin n'est pas un répertoire";
    case EFBIG:
        return "fichier trop grand";
    case EDQUOT:
        return "quota de disque dépassé";
    case ENAMETOOLONG:
        return "nom de fichier trop long";
    default:
        return std::strerror(error);
    }
}

} // namespace vimora::platform
