#include "FieldColours.h"

#include "chart/ChartColours.h"

#include <QApplication>
#include <QLineEdit>

namespace {

void setColour(QLineEdit& field, QPalette::ColorRole role, vimora::Colour colour) {
    QPalette palette = field.palette();
    palette.setColor(role, vimora::chart::toQColor(colour, QApplication::palette(&field)));
    field.setPalette(palette);
}

} // namespace

void setFieldBackground(QLineEdit& field, vimora::Colour background) {
    setColour(field, QPalette::Base, background);
}

void setFieldColours(QLineEdit& field, vimora::Colour background, vimora::Colour text) {
    setColour(field, QPalette::Base, background);
    setColour(field, QPalette::Text, text);
}
