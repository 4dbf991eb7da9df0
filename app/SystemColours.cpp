#include "SystemColours.h"

QColor toQColor(vimora::Colour colour, const QPalette& palette) {
    if (!colour.isSystem())
        return QColor(colour.red(), colour.green(), colour.blue());
    switch (colour.systemIndex()) {
    case vimora::kColorWindow.systemIndex():
        return palette.color(QPalette::Base);
    case vimora::kColorWindowText.systemIndex():
        return palette.color(QPalette::Text);
    case vimora::kColorBtnFace.systemIndex():
        return palette.color(QPalette::Button);
    case vimora::kColorInfoBk.systemIndex():
        return palette.color(QPalette::ToolTipBase);
    case vimora::kColorBackground.systemIndex():
    default:
        return QColor(0, 78, 152);
    }
}
