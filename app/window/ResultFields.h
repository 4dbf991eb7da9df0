#pragma once

namespace vimora {
struct Calculation;
}

class QLineEdit;
class QPlainTextEdit;

// The window's result fields and the hidden summary field: what a calculation shows there, and
// clearing them for the next patient.
class ResultFields {
public:
    QLineEdit* index = nullptr;
    QLineEdit* maximumWeight = nullptr;
    QLineEdit* minimumWeight = nullptr;
    QLineEdit* band = nullptr;
    QLineEdit* advice = nullptr;
    QLineEdit* objective = nullptr;
    QPlainTextEdit* summary = nullptr;

    /// Shows each stage the calculation reached: the index on the info background (the band
    /// field's colours reset), then the weight bounds, then the band in its colours, the advice,
    /// the objective and the summary line. Fields of the stages not reached keep what they showed.
    void show(const vimora::Calculation& calculation) const;

    /// Empties every field and gives them back their system colours.
    void clear() const;
};
