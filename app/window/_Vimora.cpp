#include "_Vimora.h"

#include "ui__Vimora.h"

#include "ControlBar.h"
#include "FocusChain.h"
#include "FormFit.h"
#include "InputKeyFilter.h"
#include "Version.h"
#include "about/About.h"
#include "app/charts/CorpulenceDialog.h"
#include "app/records/PatientRecords.h"
#include "engine/Assessment.h"
#include "help/loader/hh.h"
#include "help/viewer/api/HtmlHelp.h"
#include "platform/Paths.h"
#include "platform/RegionalSettings.h"
#include "platform/qt/DialogFont.h"
#include "platform/qt/MessageBoxes.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

#include <bitset>
#include <exception>

using vimora::platform::DecimalSeparator;

namespace {

constexpr int kClientWidth = 448;
constexpr int kClientHeight = 325;

constexpr const char* kUnknownErrorMessage = "Erreur inattendue : la commande a été interrompue";

std::bitset<256> allowedInputKeys() {
    std::bitset<256> keys;
    keys.set(8);
    keys.set(',');
    keys.set('.');
    for (char digit = '0'; digit <= '9'; ++digit)
        keys.set(static_cast<unsigned char>(digit));
    return keys;
}
const std::bitset<256> kAllowedInputKeys = allowedInputKeys();

void makeDefault(QPushButton* button, QPushButton* previous) {
    button->setDefault(true);
    previous->setDefault(false);
}

} // namespace

TfrmVimora::TfrmVimora(const vimora::help::HelpEngineLoader& helpEngine, QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::TfrmVimora>())
    , m_helpEngine(helpEngine) {
    Q_INIT_RESOURCE(vimora);
    // Before the controls exist, so that each lays its text out once, in this font.
    setFont(vimora::platform::dialogFont());
    ui->setupUi(this);
    adjustForm();
    m_results = {ui->edIMC,      ui->edPMax,     ui->edPMin, ui->edResultat,
                 ui->edConseils, ui->edObjectif, ui->Memo1};
    m_focusChain = new FocusChain(*this, *ui->RadioButton1, *ui->RadioButton2);
    m_records = std::make_unique<PatientRecords>(*this, *ui->StatusBar1);

    setWindowTitle(QString::fromUtf8(vimora::kApplicationTitle));
    AboutBox1 = new vimora::TAboutBox(this);
    AboutBox1->setProductName(QStringLiteral("Vimora XP"));
    AboutBox1->setVersion(QStringLiteral("Version " VIMORA_VERSION_SHORT " - Win9x et WinXP"));
    AboutBox1->setCopyright(QString::fromUtf8(vimora::kMakerNotice));

    bindEvents();
    ui->edAge->setFocus();
    FormCreate();
}

TfrmVimora::~TfrmVimora() {
    FormDestroy();
}

// The form as this platform draws it: the window's frame buttons, the menu and status bar in the
// desktop's font, labels and captions fitted to the form's font, the tool bar's metrics, the status
// bar's notice, and the fixed size.
void TfrmVimora::adjustForm() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    ui->MainMenu1->setFont(QApplication::font(ui->MainMenu1));
    ui->StatusBar1->setFont(QApplication::font(ui->StatusBar1));

    fitLabels(*this);
    fitCaption(*ui->RadioButton1);
    fitCaption(*ui->RadioButton2);
    fitToolBar(*ui->ToolBar1);

    auto* notice = new QLabel(QString::fromUtf8(vimora::kMakerNotice), ui->StatusBar1);
    ui->StatusBar1->addWidget(notice, 1);
    ui->StatusBar1->setSizeGripEnabled(true);

    // The menu bar lies outside the form's client area; the size never changes.
    setFixedSize(kClientWidth, ui->MainMenu1->sizeHint().height() + kClientHeight);
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmVimora::bindEvents() {
    // Choosing the sex that is already checked runs nothing.
    for (QRadioButton* sex : {ui->RadioButton1, ui->RadioButton2})
        connect(sex, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                runCommand(&TfrmVimora::chooseSex);
        });
    auto* keyFilter = new InputKeyFilter([this](char& key) { edAgeKeyPress(key); }, this);
    for (QLineEdit* field : {ui->edAge, ui->edPoids, ui->edTaille}) {
        keyFilter->watch(*field);
        // "Consultation enregistrée" never stands beside figures that were not saved.
        connect(field, &QLineEdit::textChanged, m_records.get(), &PatientRecords::endSaved);
    }

    connect(ui->btnCalculer, &QPushButton::clicked, this, command(&TfrmVimora::btnCalculerClick));
    connect(ui->tlbtnCalculer, &QAction::triggered, this, command(&TfrmVimora::btnCalculerClick));
    connect(ui->CalculerlIMC1, &QAction::triggered, this, command(&TfrmVimora::btnCalculerClick));

    connect(ui->btnEffacer, &QPushButton::clicked, this, command(&TfrmVimora::btnEffacerClick));
    connect(ui->tlbtnEffacer, &QAction::triggered, this, command(&TfrmVimora::btnEffacerClick));
    connect(ui->Nouveaucalcul1, &QAction::triggered, this, command(&TfrmVimora::btnEffacerClick));

    connect(ui->tlbtnCopier, &QAction::triggered, this, command(&TfrmVimora::tlbtnCopierClick));

    connect(ui->Aproposde1, &QAction::triggered, this, command(&TfrmVimora::Aproposde1Click));

    connect(ui->Rubriquesdelaide1, &QAction::triggered, this, command(&TfrmVimora::Rubriquesdelaide1Click));
    connect(ui->tlbtnAide, &QAction::triggered, this, command(&TfrmVimora::Rubriquesdelaide1Click));

    connect(ui->Courbedecorpulence1, &QAction::triggered, this,
            command(&TfrmVimora::Courbedecorpulence1Click));
    connect(ui->Imprimerlafiche1, &QAction::triggered, this, command(&TfrmVimora::Imprimerlafiche1Click));
    connect(ui->Dossierspatients1, &QAction::triggered, this, command(&TfrmVimora::Dossierspatients1Click));
    connect(ui->Enregistrerlaconsultation1, &QAction::triggered, this,
            command(&TfrmVimora::Enregistrerlaconsultation1Click));

    connect(m_records.get(), &PatientRecords::consultationBegun, this, &TfrmVimora::beginConsultation);

    connect(ui->Quitter1, &QAction::triggered, this, command(&TfrmVimora::tlbtnQuitterClick));
    connect(ui->tlbtnQuitter, &QAction::triggered, this, command(&TfrmVimora::tlbtnQuitterClick));
}

void TfrmVimora::runCommand(void (TfrmVimora::*handler)()) {
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        MessageBoxes::showError(this, QString::fromUtf8(error.what()));
    } catch (...) {
        // Nothing may escape into Qt's event loop, whatever a library throws.
        MessageBoxes::showError(this, QString::fromUtf8(kUnknownErrorMessage));
    }
}

const vimora::Calculation* TfrmVimora::lastCompleteCalculation() const {
    return m_lastCompleteCalculation ? &*m_lastCompleteCalculation : nullptr;
}

// Handlers are members of the window, like every handler, whether or not they use it.
void TfrmVimora::FormCreate() { // NOLINT(readability-convert-member-functions-to-static)
    DecimalSeparator = vimora::kDecimalSeparator;
}

void TfrmVimora::btnCalculerClick() {
    m_records->endSaved();
    const std::string age = ui->edAge->text().toStdString();
    const std::string weight = ui->edPoids->text().toStdString();
    const std::string height = ui->edTaille->text().toStdString();
    vimora::Calculation calculation = vimora::calculate(chosenSex(), {age, weight, height}, DecimalSeparator);
    m_lastCompleteCalculation.reset();

    // Each stage reached shows its figures; an error leaves the rest as it was.
    m_results.show(calculation);
    if (!calculation.complete()) {
        MessageBoxes::showError(this, QString::fromStdString(calculation.error));
        return;
    }
    makeDefault(ui->btnEffacer, ui->btnCalculer);
    m_lastCompleteCalculation = std::move(calculation);
}

void TfrmVimora::btnEffacerClick() {
    m_lastCompleteCalculation.reset();
    for (QLineEdit* field : {ui->edAge, ui->edPoids, ui->edTaille})
        field->clear();
    m_results.clear();
    makeDefault(ui->btnCalculer, ui->btnEffacer);
    ui->edAge->setFocus(Qt::TabFocusReason);
}

void TfrmVimora::chooseSex() {
    m_records->endSaved();
    m_focusChain->sexChosen();
    ui->edAge->setFocus(Qt::TabFocusReason);
    makeDefault(ui->btnCalculer, ui->btnEffacer);
}

void TfrmVimora::edAgeKeyPress(char& Key) { // NOLINT(readability-convert-member-functions-to-static)
    std::bitset<256> allowed = kAllowedInputKeys;
    allowed.set(static_cast<unsigned char>(DecimalSeparator));
    if (!allowed.test(static_cast<unsigned char>(Key)))
        Key = InputKeyFilter::kRejectedKey;
    if (Key == '.')
        Key = ',';
}

void TfrmVimora::tlbtnCopierClick() {
    ui->Memo1->selectAll();
    const QString selection = ui->Memo1->textCursor().selectedText();
    // An empty selection copies nothing and leaves the clipboard as it was.
    if (!selection.isEmpty())
        QApplication::clipboard()->setText(selection);
}

vimora::Sex TfrmVimora::chosenSex() const {
    return ui->RadioButton1->isChecked() ? vimora::Sex::Male : vimora::Sex::Female;
}

// The chart and the sheet show the last calculation only while the sex and the fields still hold
// what it read: otherwise they would put the previous patient's figures on paper. Tells the user
// and answers true when they changed since.
bool TfrmVimora::refuseChangedInputs() {
    if (!m_lastCompleteCalculation)
        return false;
    const vimora::Calculation& last = *m_lastCompleteCalculation;
    if (last.sex == chosenSex() && ui->edAge->text().toStdString() == last.ageText &&
        ui->edPoids->text().toStdString() == last.weightText &&
        ui->edTaille->text().toStdString() == last.heightText)
        return false;
    MessageBoxes::inform(this, QStringLiteral("Le sexe, l'âge, le poids ou la taille ont changé depuis le "
                                              "dernier calcul : cliquez d'abord sur « Calculer »."));
    return true;
}

void TfrmVimora::Courbedecorpulence1Click() {
    if (!refuseChangedInputs())
        showCorpulenceChart(this, lastCompleteCalculation());
}

void TfrmVimora::Imprimerlafiche1Click() {
    if (!refuseChangedInputs())
        printPatientSheet(this, lastCompleteCalculation());
}

void TfrmVimora::Dossierspatients1Click() {
    m_records->showDialog();
}

void TfrmVimora::Enregistrerlaconsultation1Click() {
    m_records->endSaved();
    if (!refuseChangedInputs() && haveCalculation(this, lastCompleteCalculation()))
        m_records->saveConsultation(*m_lastCompleteCalculation);
}

void TfrmVimora::beginConsultation(vimora::Sex sex, const QString& age) {
    btnEffacerClick();
    QRadioButton* chosen = sex == vimora::Sex::Male ? ui->RadioButton1 : ui->RadioButton2;
    {
        // Checked without its signal, so that chooseSex() runs once, as for the user's choice,
        // whether or not that sex was checked already.
        const QSignalBlocker once(chosen);
        chosen->setChecked(true);
    }
    chooseSex();
    ui->edAge->setText(age);
    ui->edPoids->setFocus(Qt::TabFocusReason);
}

void TfrmVimora::tlbtnQuitterClick() {
    close();
}

void TfrmVimora::Aproposde1Click() {
    AboutBox1->Execute();
}

void TfrmVimora::Rubriquesdelaide1Click() {
    using namespace vimora;
    if (m_helpEngine.HelpEngineEntry() == nullptr) {
        const QString why = m_helpEngine.HelpEngineLoadError().empty()
                                ? QStringLiteral("aucun moteur d'aide n'est enregistré sur ce poste, ou son "
                                                 "fichier est introuvable.")
                                : QStringLiteral("le moteur d'aide n'a pas pu être chargé (%1).")
                                      .arg(QString::fromLocal8Bit(m_helpEngine.HelpEngineLoadError()));
        MessageBoxes::inform(this, QStringLiteral("L'aide de Vimora XP n'est pas disponible : ") + why);
        return;
    }
    const std::string helpFile = platform::executableDirectory() + "VimoraXP.chm";
    m_helpEngine.HelpEngineEntry()(platform::desktopWindow(), helpFile.c_str(), platform::kHhDisplayTopic, 0);
}

void TfrmVimora::FormDestroy() {
    if (m_helpEngine.HelpEngineEntry() != nullptr)
        m_helpEngine.HelpEngineEntry()(nullptr, nullptr, vimora::platform::kHhCloseAll, 0);
}

bool TfrmVimora::focusNextPrevChild(bool next) {
    QWidget* const focused = focusWidget();
    if (focused == nullptr)
        return QMainWindow::focusNextPrevChild(next);
    return m_focusChain->moveFocus(*focused, next);
}

void TfrmVimora::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    QWidget* focused = focusWidget();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && modifiers == Qt::NoModifier) {
        // A focused push button takes Enter itself; elsewhere Enter clicks the default button.
        auto* focusedButton = qobject_cast<QPushButton*>(focused);
        (focusedButton != nullptr ? focusedButton : defaultButton())->click();
        return;
    }
    // On a control that takes no typed text, the access letters work without Alt.
    if (modifiers == Qt::NoModifier && qobject_cast<QAbstractButton*>(focused) != nullptr) {
        if (event->key() == Qt::Key_C) {
            ui->btnCalculer->click();
            return;
        }
        if (event->key() == Qt::Key_E) {
            ui->btnEffacer->click();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

QPushButton* TfrmVimora::defaultButton() const {
    return ui->btnEffacer->isDefault() ? ui->btnEffacer : ui->btnCalculer;
}
