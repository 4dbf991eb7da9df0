#pragma once

#include "chart/WhoChart.h"
#include "engine/Assessment.h"

#include <QDialog>

#include <functional>
#include <memory>

class PatientSheet;
class QComboBox;

namespace Ui {
class CorpulenceDialog;
}

// "Courbe de corpulence": the chart of the last complete calculation with the patient on it, the
// band, advice and objective as the window shows them, and the name and remark that go on the
// printed sheet (kept nowhere else).
class CorpulenceDialog : public QDialog {
    Q_OBJECT

public:
    explicit CorpulenceDialog(vimora::Calculation calculation, QWidget* parent = nullptr);
    ~CorpulenceDialog() override;

    /// The sheet as it would be printed now, with the name and remark typed.
    PatientSheet sheet() const;

private:
    void print();

    std::unique_ptr<Ui::CorpulenceDialog> m_ui;
    vimora::Calculation m_calculation;
};

/// The children's curves of the chart dialogs and the sheets: the last chosen during this run,
/// the reference table's at first. Kept in memory only: the program writes no settings.
vimora::chart::Curves rememberedCurves();

/// Offers the choice of curves in `box` (the reference table's first, the WHO's second), set to
/// the remembered one; a choice is remembered, then given to `show`.
void offerCurves(QComboBox& box, const std::function<void(vimora::chart::Curves)>& show);

/// Answers true when there is a complete calculation; else says that one is needed first.
bool haveCalculation(QWidget* parent, const vimora::Calculation* calculation);

/// The menu commands. Without a complete calculation each says that one is needed first.
void showCorpulenceChart(QWidget* parent, const vimora::Calculation* calculation);
void printPatientSheet(QWidget* parent, const vimora::Calculation* calculation);
