#include "platform/SystemErrors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

// The common errors read in French inside the command's French messages; others by their number,
// never in the system's English.
TEST(SystemErrorText, CommonErrorsAreFrench) {
    const struct {
        int error;
        const char* text;
    } cases[] = {{ENOSPC, "plus de place sur le disque"},
                 {EACCES, "permission refusée"},
                 {EPERM, "permission refusée"},
                 {EPIPE, "la sortie a été fermée (tube rompu)"},
                 {EROFS, "système de fichiers en lecture seule"},
                 {ENOENT, "fichier introuvable"}};
    for (const auto& c : cases)
        EXPECT_EQ(vimora::platform::systemErrorText(c.error), c.text) << std::strerror(c.error);
    EXPECT_EQ(vimora::platform::systemErrorText(ENOMEM), "mémoire insuffisante");
    EXPECT_EQ(vimora::platform::systemErrorText(4000), "erreur du système n° 4000");
}

} // namespace
