#pragma once

#include "ResultFields.h"
#include "engine/Assessment.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class FocusChain;
class PatientRecords;
class QPushButton;
class QRadioButton;

namespace vimora {
class TAboutBox;
}

namespace vimora::help {
class HelpEngineLoader;
}

namespace Ui {
class TfrmVimora;
}

// The main window: the patient's sex and measures on the left, the assessment on the right,
// the commands in the menu, the tool bar and the two push buttons. The window wires its form to
// the specified handlers, the input fields' key filter (InputKeyFilter), the tab stops
// (FocusChain) and the result fields (ResultFields). Every command runs through runCommand,
// which shows whatever error escapes it in the application's error report.
class TfrmVimora : public QMainWindow {
    Q_OBJECT

public:
    /// `helpEngine` opens and closes the help windows; it outlives the window.
    explicit TfrmVimora(const vimora::help::HelpEngineLoader& helpEngine, QWidget* parent = nullptr);
    ~TfrmVimora() override;

    /// The calculation whose results the window shows, while it shows them (none at start, after
    /// "Effacer" and after a calculation that failed).
    const vimora::Calculation* lastCompleteCalculation() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void chooseSex();
    void tlbtnQuitterClick();
    void Aproposde1Click();
    void Rubriquesdelaide1Click();
    void FormDestroy();
    void btnCalculerClick();
    void btnEffacerClick();
    void edAgeKeyPress(char& Key);
    void FormCreate();
    void tlbtnCopierClick();
    void Courbedecorpulence1Click();
    void Imprimerlafiche1Click();
    void Dossierspatients1Click();
    void Enregistrerlaconsultation1Click();

    void adjustForm();
    void bindEvents();
    void runCommand(void (TfrmVimora::*handler)());
    auto command(void (TfrmVimora::*handler)()) {
        return [this, handler] {
            runCommand(handler);
        };
    }
    vimora::Sex chosenSex() const;
    bool refuseChangedInputs();
    QPushButton* defaultButton() const;
    /// "Nouvelle consultation" of a patient of the records: a new calculation with their sex and
    /// today's age, the focus in the weight.
    void beginConsultation(vimora::Sex sex, const QString& age);

    std::unique_ptr<Ui::TfrmVimora> ui;
    vimora::TAboutBox* AboutBox1 = nullptr;
    ResultFields m_results;
    FocusChain* m_focusChain = nullptr;
    std::optional<vimora::Calculation> m_lastCompleteCalculation;
    const vimora::help::HelpEngineLoader& m_helpEngine;
    // The patient records, opened on the first records command, and the current patient.
    std::unique_ptr<PatientRecords> m_records;
};
