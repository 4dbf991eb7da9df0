#include "SystemErrors.h"

#include <cerrno>

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
    case EEXIST:
        return "le fichier existe déjà";
    case EBUSY:
        return "le fichier est occupé";
    case ETXTBSY:
        return "le fichier est en cours d'exécution";
    case ELOOP:
        return "trop de liens symboliques";
    case EMFILE:
    case ENFILE:
        return "trop de fichiers ouverts";
    case ENOMEM:
        return "mémoire insuffisante";
    case EBADF:
        return "la sortie ou le fichier est fermé";
    case ENXIO:
    case ENODEV:
        return "aucun périphérique ne répond";
    case EXDEV:
        return "le fichier est sur un autre système de fichiers";
    case ENOTEMPTY:
        return "le répertoire n'est pas vide";
    case EINVAL:
        return "opération impossible sur ce fichier";
    case EAGAIN:
        return "ressource momentanément indisponible";
    case ETIMEDOUT:
        return "délai dépassé";
    case ESTALE:
        return "le fichier a disparu du serveur de fichiers";
    default:
        // Never the system's own English words: a user reads only French.
        return "erreur du système n° " + std::to_string(error);
    }
}

} // namespace vimora::platform
