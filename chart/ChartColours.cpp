#include "ChartColours.h"

#include <QGuiApplication>

namespace vimora::chart {

QColor bandColour(Colour colour) {
    switch (colour) {
    case Colour::Desktop:
        return {0, 78, 152};
    case Colour::Purple:
        return {128, 0, 128};
    case Colour::Red:
        return {255, 0, 0};
    case Colour::Teal:
        return {0, 128, 128};
    case Colour::Window:
    case Colour::WindowText:
    case Colour::InfoBackground:
        break;
    }
    return toQColor(colour, QGuiApplication::palette());
}

QColor toQColor(Colour colour, const QPalette& palette) {
    switch (colour) {
    case Colour::Window:
        return palette.color(QPalette::Base);
    case Colour::WindowText:
        return palette.color(QPalette::Text);
    case Colour::InfoBackground:
        return palette.color(QPalette::ToolTipBase);
    case Colour::Desktop:
    case Colour::Purple:
    case Colour::Red:
    case Colour::Teal:
        break;
    }
    return bandColour(colour);
}

QColor paleColour(const QColor& colour) {
    constexpr double kStrength = 0.13;
    auto wash = [](int component) {
        return qRound(255 - (255 - component) * kStrength);
    };
    return {wash(colour.red()), wash(colour.green()), wash(colour.blue())};
}

} // namespace vimora::chart
