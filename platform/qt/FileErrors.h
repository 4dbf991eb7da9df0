#pragma once

#include <QString>

class QFileDevice;

// Qt's file errors in French: Qt words them in English ("file to open is a directory"), and a user
// reads only French.
namespace vimora::platform {

/// Why `file` failed, in French, for a message ("fichier introuvable"). `error` is errno read right
/// after the failing call (set it to 0 before the call): when Qt's call set none, Qt's kind of
/// error tells the reason.
QString fileErrorText(const QFileDevice& file, int error);

} // namespace vimora::platform
