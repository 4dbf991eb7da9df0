#pragma once

#include "Assessment.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class QPushButton;
class QRadioButton;
class QRect;

namespace vimora {
class TAboutBox;
}

namespace vimora::help {
class HelpEngineLoader;
}

namespace Ui {
class TfrmVimora;
}

/// Where a radio button draws its caption.
QRect captionPlace(const QRadioButton& button);

// The main window: the patient's sex and measures on the left, the assessment on the right,
// the commands in the menu, the tool bar and the two push buttons. Every command runs through
// runCommand, which shows whatever error escapes it in the application's error report.
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
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void RadioButton1Click();
    void RadioButton2Click();
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

    void bindEvents();
    void runCommand(void (TfrmVimora::*handler)());
    auto command(void (TfrmVimora::*handler)()) {
        return [this, handler] {
            runCommand(handler);
        };
    }
    vimora::Sex chosenSex() const;
    bool refuseChangedInputs();
    bool isInputField(const QObject* object) const;
    bool sexButtonKeyPress(QObject* watched, const QKeyEvent& event);
    bool isTabStop(const QWidget* widget) const;
    QPushButton* defaultButton() const;

    std::unique_ptr<Ui::TfrmVimora> ui;
    vimora::TAboutBox* AboutBox1 = nullptr;
    std::optional<vimora::Calculation> m_lastCompleteCalculation;
    // Both sex buttons are tab stops until a sex is chosen; from then on only the checked one.
    bool m_bothSexTabStops = true;
    const vimora::help::HelpEngineLoader& m_helpEngine;
};
