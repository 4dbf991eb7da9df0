#include "DialogAnswerer.h"
#include "MainWindowFixture.h"
#include "about/About.h"
#include "app/QtTranslations.h"
#include "app/window/FormFit.h"
#include "cli/BatchAssessment.h"
#include "engine/Assessment.h"
#include "platform/RegionalSettings.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

#include <memory>

// The main window driven through its controls with real key and mouse events.
class MainWindowTest : public QObject, vimora::test::MainWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsWithTheDescribedLayoutAndState();
    void everyControlShowsWhole();
    void cannotBeResizedOrMaximised();
    void tabVisitsTheInputsAndButtonsInOrder();
    void onlyToolButtonsHaveHints();
    void decimalSeparatorIsTheCommaOnceTheWindowExists();

    void enterCalculatesAndEnterAgainClears();
    void calculationShowsBandColoursAndTexts();
    void resultFieldTakesTheBandsColour_data();
    void resultFieldTakesTheBandsColour();
    void windowAgreesWithTheCommand_data();
    void windowAgreesWithTheCommand();
    void enterOnAFocusedButtonClicksThatButton();
    void accessKeysClickTheButtons();
    void menuAndToolBarRunTheSameCommands();

    void badInputIsReportedAndChangesNothing_data();
    void badInputIsReportedAndChangesNothing();
    void overflowInTheBoundsLeavesTheNewIndexShown();
    void errorReportIsAModalStopBox();
    void onlyACompleteCalculationIsKeptForTheChart();

    void keyFilterAcceptsDigitsAndTheComma();
    void keyFilterDropsEverythingElse();
    void contextMenuPasteIsNotFiltered();
    void qtTextsAreFrench();

    void choosingASexMovesFocusAndRestoresCalculer();
    void choosingASexByKeyboardMovesFocusToTheAge();
    void onlyTheCheckedSexIsATabStopOnceChosen();
    void sexCaptionsShowWhole();
    void clearingEmptiesEverythingButKeepsTheSex();
    void copyPutsTheLastSummaryOnTheClipboard();
    void quitClosesWithoutAQuestion();
    void aboutShowsAFreshModalDialogEachTime();
};

void MainWindowTest::initTestCase() {
    QVERIFY(installQtTranslations(*QCoreApplication::instance()));
}

void MainWindowTest::init() {
    MainWindowFixture::init();
}

void MainWindowTest::cleanup() {
    MainWindowFixture::cleanup();
}

namespace {

QStringList resultTexts(const vimora::test::MainWindowFixture& test) {
    QStringList texts;
    for (const char* name : {"edIMC", "edPMax", "edPMin", "edResultat", "edConseils", "edObjectif"})
        texts << test.field(name)->text();
    texts << test.control<QPlainTextEdit>("Memo1")->toPlainText();
    return texts;
}

} // namespace

void MainWindowTest::startsWithTheDescribedLayoutAndState() {
    QCOMPARE(window().windowTitle(), QStringLiteral("Vimora XP 1.0"));
    QCOMPARE(window().centralWidget()->size(), QSize(448, 325));
    QCOMPARE(QApplication::focusWidget(), field("edAge"));
    QVERIFY(control<QRadioButton>("RadioButton1")->isChecked());
    QVERIFY(!control<QRadioButton>("RadioButton2")->isChecked());
    QVERIFY(control<QPushButton>("btnCalculer")->isDefault());
    QVERIFY(!control<QPushButton>("btnEffacer")->isDefault());
    QVERIFY(!control<QPlainTextEdit>("Memo1")->isVisible());
    for (const QString& text : resultTexts(*this))
        QVERIFY(text.isEmpty());
    QCOMPARE(field("edIMC")->palette().color(QPalette::Base),
             QApplication::palette(field("edIMC")).color(QPalette::Base));
    // The face really drawn: the window's own where it is installed, else its condensed stand-in.
    const QFontInfo used(window().font());
    QCOMPARE(used.family(), QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"))
                                ? QStringLiteral("MS Sans Serif")
                                : QStringLiteral("DejaVu Sans Condensed"));
    QCOMPARE(used.pixelSize(), 11);
    QCOMPARE(control<QMenuBar>("MainMenu1")->actions().size(), 2);
    QCOMPARE(control<QMenu>("Fichier1")->title(), QStringLiteral("&Fichier"));
    QVERIFY(!control<QStatusBar>("StatusBar1")->findChildren<QLabel*>().isEmpty());
    for (const char* name : {"edAge", "edIMC", "edObjectif"})
        QVERIFY(!field(name)->accessibleName().isEmpty());
    QCOMPARE(field("edAge")->accessibleName(), QStringLiteral("Age (années)"));
    const auto* toolBar = control<QToolBar>("ToolBar1");
    QCOMPARE(toolBar->widgetForAction(control<QAction>("tlbtnCalculer"))->accessibleName(),
             QStringLiteral("Calculer l'Index de Masse Corporelle"));
    QCOMPARE(toolBar->widgetForAction(control<QAction>("tlbtnQuitter"))->accessibleName(),
             QStringLiteral("Quitter l'application"));
}

// Whatever the font, every control lies inside its group and the window, no two overlap, and
// every caption fits its control.
void MainWindowTest::everyControlShowsWhole() {
    for (QWidget* widget : window().centralWidget()->findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        if (!widget->isVisible() || name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        QVERIFY2(widget->parentWidget()->rect().contains(widget->geometry()), qPrintable(name));
        if (const auto* label = qobject_cast<QLabel*>(widget))
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(name));
        if (const auto* button = qobject_cast<QPushButton*>(widget))
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&'))) <
                         button->width(),
                     qPrintable(name));
        // The bevel is drawn behind the groups.
        if (name == QLatin1String("Bevel1"))
            continue;
        for (QWidget* sibling : widget->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (sibling != widget && sibling->isVisible() && !sibling->objectName().isEmpty() &&
                sibling->objectName() != QLatin1String("Bevel1"))
                QVERIFY2(!widget->geometry().intersects(sibling->geometry()),
                         qPrintable(name + QLatin1String(" over ") + sibling->objectName()));
        }
    }
}

void MainWindowTest::cannotBeResizedOrMaximised() {
    QCOMPARE(window().minimumSize(), window().maximumSize());
    QCOMPARE(window().size(), window().minimumSize());
    QVERIFY(!window().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(window().windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    window().resize(600, 500);
    QCOMPARE(window().centralWidget()->size(), QSize(448, 325));
}

void MainWindowTest::tabVisitsTheInputsAndButtonsInOrder() {
    // Before a sex is chosen both sex buttons are tab stops, in both directions.
    const QStringList forward{"edPoids",      "edTaille",     "btnCalculer", "btnEffacer",
                              "RadioButton1", "RadioButton2", "edAge"};
    for (const QString& expected : forward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), expected);
    }
    for (const char* expected : {"RadioButton2", "RadioButton1", "btnEffacer"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(expected));
    }

    // Reaching an input field by Tab selects its whole text.
    field("edPoids")->setText(QStringLiteral("80"));
    field("edAge")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field("edAge"), Qt::Key_Tab);
    QCOMPARE(field("edPoids")->selectedText(), QStringLiteral("80"));
}

void MainWindowTest::onlyToolButtonsHaveHints() {
    const QStringList hints{"Calculer l'Index de Masse Corporelle", "Recommencer un nouveau calcul",
                            "Copier la valeur de l'Index de Masse Corporelle", "Aide de l'application",
                            "Quitter l'application"};
    auto* toolBar = control<QToolBar>("ToolBar1");
    QStringList shown;
    for (QAction* item : toolBar->actions())
        if (!item->isSeparator())
            shown << toolBar->widgetForAction(item)->toolTip();
    QCOMPARE(shown, hints);
    for (QWidget* widget : window().findChildren<QWidget*>())
        if (widget->parentWidget() != toolBar)
            QVERIFY2(widget->toolTip().isEmpty(), qPrintable(widget->objectName()));
    QCOMPARE(toolBar->widgetForAction(action("tlbtnCopier"))->geometry(), QRect(54, 0, 23, 22));
    QCOMPARE(toolBar->widgetForAction(action("tlbtnQuitter"))->geometry(), QRect(108, 0, 23, 22));
}

void MainWindowTest::decimalSeparatorIsTheCommaOnceTheWindowExists() {
    QCOMPARE(vimora::platform::DecimalSeparator, ',');
    typeMeasures("35", "81", "1,8");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    QCOMPARE(field("edIMC")->text(), QStringLiteral("24,99"));
}

void MainWindowTest::enterCalculatesAndEnterAgainClears() {
    for (int patient = 0; patient < 2; ++patient) {
        typeMeasures("35", "80", "1,75");
        QTest::keyClick(field("edTaille"), Qt::Key_Return);
        QCOMPARE(field("edIMC")->text(), QStringLiteral("26,12"));
        QCOMPARE(field("edPMax")->text(), QStringLiteral("76,25"));
        QCOMPARE(field("edPMin")->text(), QStringLiteral("56,65"));
        QVERIFY(control<QPushButton>("btnEffacer")->isDefault());
        QVERIFY(!control<QPushButton>("btnCalculer")->isDefault());

        QTest::keyClick(field("edTaille"), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(field("edAge")->text(), QString());
        QCOMPARE(field("edIMC")->text(), QString());
        QCOMPARE(QApplication::focusWidget(), field("edAge"));
        QVERIFY(control<QPushButton>("btnCalculer")->isDefault());
    }
    QVERIFY(reports.isEmpty());
}

void MainWindowTest::calculationShowsBandColoursAndTexts() {
    typeMeasures("35", "80", "1,75");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    const QPalette system = QApplication::palette(field("edResultat"));
    QCOMPARE(field("edIMC")->palette().color(QPalette::Base), system.color(QPalette::ToolTipBase));
    QCOMPARE(field("edResultat")->palette().color(QPalette::Base), QColor(128, 0, 128));
    QCOMPARE(field("edResultat")->palette().color(QPalette::Text), system.color(QPalette::Base));
    QCOMPARE(field("edResultat")->text(), QStringLiteral("Surcharge pondérale."));
    QCOMPARE(field("edConseils")->text(), QStringLiteral("Régime hypocalorique avec suivi médical."));
    QCOMPARE(field("edObjectif")->text(), QStringLiteral("Perdre de 3 à 23 Kg !"));
    QCOMPARE(control<QPlainTextEdit>("Memo1")->toPlainText(),
             QStringLiteral("Age : 35 ans  Poids : 80 Kg  Taille : 1,75 m  IMC : 26,12 Kg/m²"));

    // The next band overrides the colours; clearing restores the system ones.
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    typeMeasures("30", "30", "1,75");
    control<QPushButton>("btnCalculer")->click();
    QCOMPARE(field("edResultat")->palette().color(QPalette::Base), QColor(0, 78, 152));
    QCOMPARE(field("edResultat")->text(), QStringLiteral("Insuffisance pondérale grade V"));
    control<QPushButton>("btnEffacer")->click();
    QCOMPARE(field("edResultat")->palette().color(QPalette::Base), system.color(QPalette::Base));
    QCOMPARE(field("edResultat")->palette().color(QPalette::Text), system.color(QPalette::Text));
    QCOMPARE(field("edIMC")->palette().color(QPalette::Base), system.color(QPalette::Base));
}

void MainWindowTest::resultFieldTakesTheBandsColour_data() {
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QColor>("background");
    QTest::newRow("normal") << "70" << QColor(0, 128, 128);
    QTest::newRow("overweight") << "80" << QColor(128, 0, 128);
    QTest::newRow("obese") << "100" << QColor(255, 0, 0);
    QTest::newRow("underweight") << "50" << QColor(0, 78, 152);
}

void MainWindowTest::resultFieldTakesTheBandsColour() {
    QFETCH(QString, weight);
    QFETCH(QColor, background);
    calculate(QStringLiteral("35"), weight, QStringLiteral("1,75"));
    QVERIFY(reports.isEmpty());
    const QPalette shown = field("edResultat")->palette();
    QCOMPARE(shown.color(QPalette::Base), background);
    QCOMPARE(shown.color(QPalette::Text), QApplication::palette(field("edResultat")).color(QPalette::Base));
}

void MainWindowTest::windowAgreesWithTheCommand_data() {
    QTest::addColumn<QString>("sex");
    QTest::addColumn<QString>("age");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QString>("height");
    QTest::newRow("boy 10") << "M"
                            << "10"
                            << "45"
                            << "1,4";
    QTest::newRow("girl 8") << "F"
                            << "8"
                            << "25"
                            << "1,25";
    QTest::newRow("girl between rows") << "F"
                                       << "15,6"
                                       << "52"
                                       << "1,62";
    QTest::newRow("boy 0") << "M"
                           << "0"
                           << "4"
                           << "0,5";
    QTest::newRow("adult 18,25") << "F"
                                 << "18,25"
                                 << "60"
                                 << "1,7";
    QTest::newRow("grade III") << "M"
                               << "40"
                               << "130"
                               << "1,75";
    QTest::newRow("long decimals") << "F"
                                   << "35,000"
                                   << "080,5"
                                   << "1,805";
    QTest::newRow("empty weight") << "M"
                                  << "35"
                                  << ""
                                  << "1,75";
    QTest::newRow("zero height") << "F"
                                 << "35"
                                 << "70"
                                 << "0";
    QTest::newRow("comma height") << "M"
                                  << "35"
                                  << "0"
                                  << ",";
    QTest::newRow("full stop") << "M"
                               << "35"
                               << "80"
                               << "1.75";
    QTest::newRow("negative age") << "F"
                                  << "-2"
                                  << "12"
                                  << "0,9";
    QTest::newRow("bounds overflow") << "M"
                                     << "35"
                                     << "80"
                                     << "1E160";
}

void MainWindowTest::windowAgreesWithTheCommand() {
    QFETCH(QString, sex);
    QFETCH(QString, age);
    QFETCH(QString, weight);
    QFETCH(QString, height);
    if (sex == QStringLiteral("F"))
        QTest::mouseClick(control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    // Set, not typed: the command reads texts that no key filter has seen.
    field("edAge")->setText(age);
    field("edPoids")->setText(weight);
    field("edTaille")->setText(height);
    control<QPushButton>("btnCalculer")->click();

    const std::string s = sex.toStdString(), a = age.toStdString(), w = weight.toStdString(),
                      h = height.toStdString();
    vimora::cli::RowOutcome expected;
    vimora::cli::assessRow({s, a, w, h}, expected);
    if (!expected.error.empty()) {
        QCOMPARE(reports, QStringList{QString::fromStdString(expected.error)});
        return;
    }
    QVERIFY(reports.isEmpty());
    const vimora::Calculation& assessment = expected.calculation;
    const QStringList want{QString::fromStdString(assessment.indexText),
                           QString::fromStdString(assessment.maximumWeightText),
                           QString::fromStdString(assessment.minimumWeightText),
                           QString::fromStdString(assessment.band.band),
                           QString::fromStdString(assessment.band.advice),
                           QString::fromStdString(assessment.band.objective),
                           QString::fromStdString(assessment.summary)};
    QCOMPARE(resultTexts(*this), want);
}

void MainWindowTest::enterOnAFocusedButtonClicksThatButton() {
    typeMeasures("35", "80", "1,75");
    auto* calculer = control<QPushButton>("btnCalculer");
    calculer->setFocus(Qt::TabFocusReason);
    QTest::keyClick(calculer, Qt::Key_Return);
    QVERIFY(control<QPushButton>("btnEffacer")->isDefault());
    // "Effacer" is the default now, but the focused "Calculer" takes Enter itself.
    QTest::keyClick(calculer, Qt::Key_Return);
    QCOMPARE(field("edIMC")->text(), QStringLiteral("26,12"));
    QCOMPARE(field("edAge")->text(), QStringLiteral("35"));

    // On a radio button, Enter clicks the default button, now "Effacer".
    auto* masculin = control<QRadioButton>("RadioButton1");
    masculin->setFocus(Qt::TabFocusReason);
    QTest::keyClick(masculin, Qt::Key_Return);
    QCOMPARE(field("edAge")->text(), QString());
}

void MainWindowTest::accessKeysClickTheButtons() {
    typeMeasures("35", "80", "1,75");
    QTest::keyClick(field("edTaille"), Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(field("edIMC")->text(), QStringLiteral("26,12"));

    // A plain letter types into a field, but clicks a button from a button or a radio button.
    QTest::keyClick(field("edAge"), Qt::Key_E);
    QCOMPARE(field("edAge")->text(), QStringLiteral("35"));
    control<QPushButton>("btnCalculer")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control<QPushButton>("btnCalculer"), Qt::Key_E);
    QCOMPARE(field("edIMC")->text(), QString());

    typeMeasures("35", "80", "1,75");
    control<QRadioButton>("RadioButton1")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control<QRadioButton>("RadioButton1"), Qt::Key_C);
    QCOMPARE(field("edIMC")->text(), QStringLiteral("26,12"));
    QTest::keyClick(field("edAge"), Qt::Key_E, Qt::AltModifier);
    QTRY_COMPARE(field("edIMC")->text(), QString());
}

void MainWindowTest::menuAndToolBarRunTheSameCommands() {
    for (const char* calculate : {"tlbtnCalculer", "CalculerlIMC1"}) {
        typeMeasures("35", "80", "1,75");
        action(calculate)->trigger();
        QCOMPARE(field("edIMC")->text(), QStringLiteral("26,12"));
        QVERIFY(control<QPushButton>("btnEffacer")->isDefault());
        action(calculate == QByteArray("tlbtnCalculer") ? "tlbtnEffacer" : "Nouveaucalcul1")->trigger();
        QCOMPARE(field("edIMC")->text(), QString());
        QVERIFY(control<QPushButton>("btnCalculer")->isDefault());
    }
}

void MainWindowTest::badInputIsReportedAndChangesNothing_data() {
    QTest::addColumn<QString>("age");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("report");
    QTest::newRow("empty age") << ""
                               << ""
                               << "1,75"
                               << "'' n'est pas une valeur en virgule flottante correcte.";
    QTest::newRow("two commas") << "35"
                                << "80"
                                << "1,7,5"
                                << "'1,7,5' n'est pas une valeur en virgule flottante correcte.";
    QTest::newRow("full stop") << "35"
                               << "80"
                               << "1.75"
                               << "'1.75' n'est pas une valeur en virgule flottante correcte.";
    QTest::newRow("zero height") << "35"
                                 << "70"
                                 << "0"
                                 << "Division par zéro en virgule flottante.";
    QTest::newRow("zero over zero") << "35"
                                    << "0"
                                    << ","
                                    << "Opération en virgule flottante incorrecte.";
    QTest::newRow("huge weight") << "35"
                                 << "1E400"
                                 << "1,75"
                                 << "Débordement en virgule flottante.";
    QTest::newRow("negative age") << "-3"
                                  << "20"
                                  << "1,1"
                                  << "L'âge ne peut pas être négatif.";
}

void MainWindowTest::badInputIsReportedAndChangesNothing() {
    QFETCH(QString, age);
    QFETCH(QString, weight);
    QFETCH(QString, height);
    QFETCH(QString, report);
    typeMeasures("35", "80", "1,75");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    const QStringList before = resultTexts(*this);
    const QColor background = field("edResultat")->palette().color(QPalette::Base);

    // Text placed by other means than typing reaches the conversion unfiltered.
    field("edAge")->setText(age);
    field("edPoids")->setText(weight);
    field("edTaille")->setText(height);
    control<QPushButton>("btnCalculer")->click();
    QCOMPARE(reports, QStringList{report});
    QCOMPARE(resultTexts(*this), before);
    QCOMPARE(field("edResultat")->palette().color(QPalette::Base), background);
    QVERIFY(control<QPushButton>("btnEffacer")->isDefault());
}

void MainWindowTest::overflowInTheBoundsLeavesTheNewIndexShown() {
    typeMeasures("35", "80", "1,75");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    const QString maximum = field("edPMax")->text();
    field("edTaille")->setText(QStringLiteral("1E160"));
    control<QPushButton>("btnCalculer")->click();
    QCOMPARE(reports, QStringList{"Débordement en virgule flottante."});
    QCOMPARE(field("edIMC")->text(), QStringLiteral("0"));
    QCOMPARE(field("edPMax")->text(), maximum);
    QCOMPARE(field("edResultat")->text(), QStringLiteral("Surcharge pondérale."));
    QCOMPARE(field("edResultat")->palette().color(QPalette::Base),
             QApplication::palette(field("edResultat")).color(QPalette::Base));
    QVERIFY(control<QPushButton>("btnEffacer")->isDefault());
}

void MainWindowTest::errorReportIsAModalStopBox() {
    control<QPushButton>("btnCalculer")->click();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("'' n'est pas une valeur en virgule flottante correcte."));
    QCOMPARE(boxes[0].title, QStringLiteral("Vimora XP 1.0"));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(window().isVisible());
}

void MainWindowTest::onlyACompleteCalculationIsKeptForTheChart() {
    QVERIFY(!window().lastCompleteCalculation());
    QTest::mouseClick(control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    typeMeasures("7,25", "25", "1,25");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    const vimora::Calculation* shown = window().lastCompleteCalculation();
    QVERIFY(shown);
    QCOMPARE(shown->sex, vimora::Sex::Female);
    QCOMPARE(QString::fromStdString(shown->indexText), field("edIMC")->text());
    QCOMPARE(QString::fromStdString(shown->band.band), field("edResultat")->text());
    QCOMPARE(shown->referenceRow, std::optional<int>(29));

    // A failed calculation keeps the old figures on screen but none for the chart.
    field("edTaille")->clear();
    control<QPushButton>("btnCalculer")->click();
    QVERIFY(!window().lastCompleteCalculation());
    field("edTaille")->setText(QStringLiteral("1,25"));
    control<QPushButton>("btnCalculer")->click();
    QVERIFY(window().lastCompleteCalculation());
    action("Nouveaucalcul1")->trigger();
    QVERIFY(!window().lastCompleteCalculation());
}

void MainWindowTest::keyFilterAcceptsDigitsAndTheComma() {
    QTest::keyClicks(field("edAge"), QStringLiteral("1.75"));
    QCOMPARE(field("edAge")->text(), QStringLiteral("1,75"));
    QTest::keyClick(field("edAge"), Qt::Key_Backspace);
    QCOMPARE(field("edAge")->text(), QStringLiteral("1,7"));
    QTest::keyClick(field("edAge"), Qt::Key_Home);
    QTest::keyClick(field("edAge"), Qt::Key_Delete);
    QCOMPARE(field("edAge")->text(), QStringLiteral(",7"));
    QTest::keyClicks(field("edAge"), QStringLiteral(",,"));
    QCOMPARE(field("edAge")->text(), QStringLiteral(",,,7"));
}

void MainWindowTest::keyFilterDropsEverythingElse() {
    QApplication::clipboard()->setText(QStringLiteral("12"));
    for (const char* name : {"edAge", "edPoids", "edTaille"}) {
        QLineEdit* input = field(name);
        input->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(input, QStringLiteral("35"));
        QTest::keyClicks(input, QStringLiteral("a-+ eE"));
        QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(input, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(input, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(input->text(), QStringLiteral("35"));
    }
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
}

void MainWindowTest::contextMenuPasteIsNotFiltered() {
    QApplication::clipboard()->setText(QStringLiteral("1.75 m"));
    field("edTaille")->paste();
    QCOMPARE(field("edTaille")->text(), QStringLiteral("1.75 m"));
}

void MainWindowTest::qtTextsAreFrench() {
    // Paste is offered only while the clipboard holds text.
    QApplication::clipboard()->setText(QStringLiteral("1.75 m"));
    const std::unique_ptr<QMenu> menu(field("edAge")->createStandardContextMenu());
    QStringList texts;
    for (const QAction* item : menu->actions())
        if (!item->isSeparator())
            texts << item->text();
    QVERIFY2(texts.contains(QStringLiteral("Co&ller\tCtrl+V")) && texts.contains(QStringLiteral("Supprimer")),
             qPrintable(texts.join(QLatin1Char('|'))));
    const QMessageBox box(QMessageBox::Question, QString(), QString(),
                          QMessageBox::Yes | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Oui"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Annuler"));

    // The menu's paste inserts the clipboard as it is.
    for (QAction* item : menu->actions())
        if (item->text().startsWith(QStringLiteral("Co&ller")))
            item->trigger();
    QCOMPARE(field("edAge")->text(), QStringLiteral("1.75 m"));
}

void MainWindowTest::choosingASexMovesFocusAndRestoresCalculer() {
    typeMeasures("35", "80", "1,75");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    const QStringList shown = resultTexts(*this);
    auto* feminin = control<QRadioButton>("RadioButton2");
    QTest::mouseClick(feminin, Qt::LeftButton);
    QVERIFY(feminin->isChecked());
    QVERIFY(!control<QRadioButton>("RadioButton1")->isChecked());
    QCOMPARE(QApplication::focusWidget(), field("edAge"));
    QCOMPARE(field("edAge")->selectedText(), QStringLiteral("35"));
    QVERIFY(control<QPushButton>("btnCalculer")->isDefault());
    QVERIFY(!control<QPushButton>("btnEffacer")->isDefault());
    QCOMPARE(resultTexts(*this), shown);

    // Choosing the checked button again runs nothing.
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    QVERIFY(control<QPushButton>("btnEffacer")->isDefault());
    field("edPoids")->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(feminin, Qt::LeftButton);
    QVERIFY(control<QPushButton>("btnEffacer")->isDefault());
}

void MainWindowTest::choosingASexByKeyboardMovesFocusToTheAge() {
    typeMeasures("35", "80", "1,75");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    auto* masculin = control<QRadioButton>("RadioButton1");
    auto* feminin = control<QRadioButton>("RadioButton2");
    masculin->setFocus(Qt::TabFocusReason);
    QTest::keyClick(masculin, Qt::Key_Down);
    QVERIFY(feminin->isChecked());
    QCOMPARE(QApplication::focusWidget(), field("edAge"));
    QVERIFY(control<QPushButton>("btnCalculer")->isDefault());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("42"));
    QCOMPARE(field("edAge")->text(), QStringLiteral("42"));

    feminin->setFocus(Qt::TabFocusReason);
    QTest::keyClick(feminin, Qt::Key_Left);
    QVERIFY(masculin->isChecked());
    QCOMPARE(QApplication::focusWidget(), field("edAge"));
    QCOMPARE(field("edAge")->selectedText(), QStringLiteral("42"));

    feminin->setFocus(Qt::TabFocusReason);
    QTest::keyClick(feminin, Qt::Key_Space);
    QVERIFY(feminin->isChecked());
    QCOMPARE(QApplication::focusWidget(), field("edAge"));
}

void MainWindowTest::onlyTheCheckedSexIsATabStopOnceChosen() {
    auto pressAndCheck = [](const QList<std::pair<Qt::Key, QString>>& steps) {
        for (const auto& [key, expected] : steps) {
            QTest::keyClick(QApplication::focusWidget(), key,
                            key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(QApplication::focusWidget()->objectName(), expected);
        }
    };
    QTest::mouseClick(control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    pressAndCheck({{Qt::Key_Backtab, "RadioButton2"},
                   {Qt::Key_Backtab, "btnEffacer"},
                   {Qt::Key_Tab, "RadioButton2"},
                   {Qt::Key_Tab, "edAge"}});
    QTest::keyClick(field("edAge"), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QVERIFY(control<QRadioButton>("RadioButton1")->isChecked());
    pressAndCheck(
        {{Qt::Key_Backtab, "RadioButton1"}, {Qt::Key_Backtab, "btnEffacer"}, {Qt::Key_Tab, "RadioButton1"}});
}

void MainWindowTest::sexCaptionsShowWhole() {
    for (const char* name : {"RadioButton1", "RadioButton2"}) {
        const auto* sex = control<QRadioButton>(name);
        QVERIFY2(captionPlace(*sex).width() >= sex->fontMetrics().horizontalAdvance(sex->text()) + 2, name);
        QCOMPARE(sex->x(), 64);
    }
}

void MainWindowTest::clearingEmptiesEverythingButKeepsTheSex() {
    QTest::mouseClick(control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    typeMeasures("35", "80", "1,75");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    action("Nouveaucalcul1")->trigger();
    for (const char* name : {"edAge", "edPoids", "edTaille"})
        QVERIFY(field(name)->text().isEmpty());
    for (const QString& text : resultTexts(*this))
        QVERIFY(text.isEmpty());
    QVERIFY(control<QRadioButton>("RadioButton2")->isChecked());
    QCOMPARE(QApplication::focusWidget(), field("edAge"));
    QVERIFY(control<QPushButton>("btnCalculer")->isDefault());
}

void MainWindowTest::copyPutsTheLastSummaryOnTheClipboard() {
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText(QStringLiteral("avant"));
    action("tlbtnCopier")->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("avant"));

    const QString line = QStringLiteral("Age : 35 ans  Poids : 80 Kg  Taille : 1,75 m  IMC : 26,12 Kg/m²");
    typeMeasures("35", "80", "1,75");
    QTest::keyClick(field("edTaille"), Qt::Key_Return);
    action("tlbtnCopier")->trigger();
    QCOMPARE(clipboard->text(), line);
    QVERIFY(!control<QPlainTextEdit>("Memo1")->isVisible());

    // Editing a field or failing a calculation keeps the last completed summary.
    clipboard->setText(QStringLiteral("autre"));
    field("edPoids")->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(field("edPoids"), QStringLiteral("90"));
    field("edTaille")->clear();
    control<QPushButton>("btnCalculer")->click();
    QCOMPARE(reports.size(), 1);
    action("tlbtnCopier")->trigger();
    QCOMPARE(clipboard->text(), line);

    clipboard->setText(QStringLiteral("après"));
    action("tlbtnEffacer")->trigger();
    action("tlbtnCopier")->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("après"));
}

void MainWindowTest::quitClosesWithoutAQuestion() {
    for (const char* quit : {"Quitter1", "tlbtnQuitter"}) {
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        action(quit)->trigger();
        QVERIFY(!window().isVisible());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
}

void MainWindowTest::aboutShowsAFreshModalDialogEachTime() {
    QList<QPointer<QWidget>> shown;
    QStringList productNames;
    const vimora::test::DialogAnswerer<vimora::TFAbout> answerer([&](vimora::TFAbout& dialog) {
        QCOMPARE(QApplication::activeModalWidget(), &dialog);
        QCOMPARE(dialog.parentWidget(), &window());
        shown << &dialog;
        productNames << dialog.findChild<QLabel*>(QStringLiteral("Label1"))->text();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    });
    for (int showing = 0; showing < 2; ++showing)
        action("Aproposde1")->trigger();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(productNames, (QStringList{"Vimora XP", "Vimora XP"}));
    QVERIFY(shown[0].isNull() && shown[1].isNull());
    QVERIFY(reports.isEmpty());
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
