#include "SystemColours.h"

QColor toQColor(vimora::Colour colour, const QPalette& palette) {
    using vimora::Colour;
    switch (colour) {
    case Colour::Window:
        return palette.color(QPalette::Base);
    case Colour::WindowText:
        return palette.color(QPalette::Text);
    case Colour::InfoBackground:
        return palette.color(QPalette::ToolTipBase);
    case Colour::Desktop:
        return {0, 78, 152};
    case Colour::Purple:
        return {128, 0, 128};
    case Colour::Red:
        return {255, 0, 0};
    case Colour::Teal:
        break;
    }
    return {0, 128, 128};
}
