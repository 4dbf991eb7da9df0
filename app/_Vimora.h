#pragma once

#include "Bands.h"

#include <QMainWindow>

#include <memory>

class QLineEdit;
class QPushButton;

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
// the commands in the menu, the tool bar and the two push buttons. Every command runs through
// runCommand, which shows whatever error escapes it in the application's error report.
class TfrmVimora : public QMainWindow {
    Q_OBJECT

public:
    /// `helpEngine` opens and closes the help windows; it outlives the window.
    explicit TfrmVimora(const vimora::help::HelpEngineLoader& helpEngine, QWidget* parent = nullptr);
    ~TfrmVimora() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

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

    void bindEvents();
    void runCommand(void (TfrmVimora::*handler)());
    auto command(void (TfrmVimora::*handler)()) {
        return [this, handler] {
            runCommand(handler);
        };
    }
    bool isInputField(const QObject* object) const;
    QPushButton* defaultButton() const;
    void makeDefault(QPushButton* button, QPushButton* previous);
    void setBackground(QLineEdit* field, vimora::Colour colour);
    void setTextColour(QLineEdit* field, vimora::Colour colour);

    std::unique_ptr<Ui::TfrmVimora> ui;
    vimora::TAboutBox* AboutBox1 = nullptr;
    const vimora::help::HelpEngineLoader& helpEngine;
};
