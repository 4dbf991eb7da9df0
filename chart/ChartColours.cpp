#include "ChartColours.h"

#include <QGuiApplication>

#include <optional>

namespace vimora::chart {

namespace {

// The colours that are the same on every system; the others are system colours.
std::optional<QColor> fixedColour(Colour colour) {
    switch (colour) {
    case Colour::Desktop: // the desktop colour has no palette role: a fixed dark blue
        return QColor(0, 78, 152);
    case Colour::Purple:
        return QColor(128, 0, 128);
    case Colour::Red:
        return QColor(255, 0, 0);
    case Colour::Teal:
        return QColor(0, 128, 128);
    case Colour::Window:
    case Colour::WindowText:
    case Colour::InfoBackground:
        break;
    }
    return std::nullopt;
}

QPalette::ColorRole systemRole(Colour colour) {
    switch (colour) {
    case Colour::WindowText:
        return QPalette::Text;
    case Colour::InfoBackground:
        return QPalette::ToolTipBase;
    default:
        return QPalette::Base;
    }
}

} // namespace

const QColor kInk(40, 40, 40);
const QColor kWarningColour(176, 0, 0);
const QColor kLowerColour = *fixedColour(Colour::Desktop);
const QColor kUpperColour = *fixedColour(Colour::Purple);
const QColor kObesityColour = *fixedColour(Colour::Red);

QColor toQColor(Colour colour, const QPalette& palette) {
    return fixedColour(colour).value_or(palette.color(systemRole(colour)));
}

QColor bandColour(Colour colour) {
    if (const std::optional<QColor> fixed = fixedColour(colour))
        return *fixed;
    return QGuiApplication::palette().color(systemRole(colour));
}

QColor paleColour(const QColor& colour, int depth) {
    constexpr double kStrength = 0.13;
    constexpr double kDepthStep = 0.07;
    const double strength = kStrength + kDepthStep * depth;
    auto wash = [strength](int component) {
        return qRound(255 - (255 - component) * strength);
    };
    return {wash(colour.red()), wash(colour.green()), wash(colour.blue())};
}

} // namespace vimora::chart
