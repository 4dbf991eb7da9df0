#include "DialogFont.h"

#include <QFontDatabase>

namespace vimora::platform {

QFont dialogFont() {
    // Only a face that is installed is asked for: a missing first choice would have the font
    // database look up its fallbacks at every start.
    const QString wanted = QStringLiteral("MS Sans Serif");
    QFont font(QFontDatabase::hasFamily(wanted) ? wanted : QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(11);
    return font;
}

} // namespace vimora::platform
