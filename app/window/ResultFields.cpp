#include "ResultFields.h"

#include "FieldColours.h"
#include "engine/Assessment.h"

#include <QLineEdit>
#include <QPlainTextEdit>

void ResultFields::show(const vimora::Calculation& calculation) const {
    using vimora::Colour;
    using vimora::Stage;
    if (calculation.reached >= Stage::Index) {
        setFieldBackground(*index, Colour::InfoBackground);
        index->setText(QString::fromStdString(calculation.indexText));
        setFieldColours(*band, Colour::Window, Colour::WindowText);
    }
    if (calculation.reached >= Stage::Bounds) {
        maximumWeight->setText(QString::fromStdString(calculation.maximumWeightText));
        minimumWeight->setText(QString::fromStdString(calculation.minimumWeightText));
    }
    if (!calculation.complete())
        return;
    const vimora::BandResult& result = calculation.band;
    setFieldColours(*band, result.background, result.textColour);
    band->setText(QString::fromStdString(result.band));
    advice->setText(QString::fromStdString(result.advice));
    objective->setText(QString::fromStdString(result.objective));
    summary->setPlainText(QString::fromStdString(calculation.summary));
}

void ResultFields::clear() const {
    setFieldBackground(*index, vimora::Colour::Window);
    setFieldColours(*band, vimora::Colour::Window, vimora::Colour::WindowText);
    for (QLineEdit* field : {index, maximumWeight, minimumWeight, band, advice, objective})
        field->clear();
    summary->clear();
}
