#include "Quoted.h"

namespace vimora::text {

QString quoted(const QString& text) {
    return QStringLiteral("« %1 »").arg(text);
}

} // namespace vimora::text
