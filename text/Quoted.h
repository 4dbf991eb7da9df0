#pragma once

#include <QString>

namespace vimora::text {

/// « text »: a file, a base or a word named in a message, between French guillemets.
QString quoted(const QString& text);

} // namespace vimora::text
