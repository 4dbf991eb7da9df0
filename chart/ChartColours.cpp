#include "ChartColours.h"

#include <QGuiApplication>

namespace vimora::chart {

QColor toQColor(Colour colour, const QPalette& palette) {
    if (!colour.isSystem())
        return {colour.red(), colour.green(), colour.blue()};
    switch (colour.systemIndex()) {
    case kColorWindow.systemIndex():
        return palette.color(QPalette::Base);
    case kColorWindowText.systemIndex():
        return palette.color(QPalette::Text);
    case kColorBtnFace.systemIndex():
        return palette.color(QPalette::Button);
    case kColorInfoBk.systemIndex():
        return palette.color(QPalette::ToolTipBase);
    case kColorBackground.systemIndex():
    default:
        return {0, 78, 152};
    }
}

QColor bandColour(Colour colour) {
    // The band colours need no palette, so they can be known before the application exists.
    if (!colour.isSystem() || colour == kColorBackground)
        return toQColor(colour, QPalette());
    return toQColor(colour, QGuiApplication::palette());
}

QColor paleColour(const QColor& colour) {
    constexpr double kStrength = 0.13;
    auto wash = [](int component) {
        return qRound(255 - (255 - component) * kStrength);
    };
    return {wash(colour.red()), wash(colour.green()), wash(colour.blue())};
}

} // namespace vimora::chart
