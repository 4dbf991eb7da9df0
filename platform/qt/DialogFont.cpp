#include "DialogFont.h"

namespace vimora::platform {

QFont dialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans Condensed")});
    font.setPixelSize(11);
    return font;
}

} // namespace vimora::platform
