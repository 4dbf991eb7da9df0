#include "CorpulenceDialog.h"
#include "MessageBoxes.h"
#include "PatientSheet.h"
#include "_Vimora.h"
#include "hh.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <vector>

// The corpulence chart and patient sheet commands driven from the main window's menu.
class CorpulenceDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuHasTheTwoCommandsAfterCalculer();
    void commandsAskForACalculationFirst();
    void dialogShowsTheWindowsResult();
    void pdfHoldsTheWindowsFiguresAndThePoint_data();
    void pdfHoldsTheWindowsFiguresAndThePoint();
    void existingFileIsReplacedOnlyOnceConfirmed();
    void failedWriteSaysWhyAndLeavesNoFile();
    void printShortcutGoesStraightToThePrintDialog();
    void keyboardFollowsTheScreen();
    void implausibleFiguresAreFlagged_data();
    void implausibleFiguresAreFlagged();
    void sheetTypography();

private:
    template <typename T> T* control(QObject* parent, const char* name) const {
        T* found = parent->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLineEdit* field(const char* name) const { return control<QLineEdit>(window.get(), name); }
    void calculate(const QString& age, const QString& weight, const QString& height);
    /// The text of a sheet written as PDF, as pdftotext gives it with the options given.
    QString pdfText(const PatientSheet& sheet, const QStringList& options);
    using Answer = std::function<void(QWidget*)>;
    /// Runs the command and hands each modal window it opens in turn to the next answer, which
    /// must close it; fails unless every answer was used.
    void whenModal(const std::function<void()>& command, const std::vector<Answer>& answers);

    QTemporaryDir home;
    const vimora::help::HelpEngineLoader noHelpEngine{std::string()};
    std::unique_ptr<TfrmVimora> window;
    QStringList reports;
};

void CorpulenceDialogTest::initTestCase() {
    QVERIFY(home.isValid());
    qputenv("HOME", home.path().toLocal8Bit());
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Documents")));
    QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), home.filePath("Documents"));
}

void CorpulenceDialogTest::init() {
    reports.clear();
    MessageBoxes::setAnswerer([this](const MessageBoxes::Box& box) {
        reports << box.text;
        return QMessageBox::Ok;
    });
    window = std::make_unique<TfrmVimora>(noHelpEngine);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void CorpulenceDialogTest::cleanup() {
    window.reset();
    MessageBoxes::setAnswerer({});
}

void CorpulenceDialogTest::calculate(const QString& age, const QString& weight, const QString& height) {
    for (auto [name, text] : {std::pair{"edAge", age}, {"edPoids", weight}, {"edTaille", height}}) {
        field(name)->clear();
        field(name)->insert(text);
    }
    control<QPushButton>(window.get(), "btnCalculer")->click();
}

void CorpulenceDialogTest::whenModal(const std::function<void()>& command,
                                     const std::vector<Answer>& answers) {
    QWidget* const before = QApplication::activeModalWidget();
    QList<QWidget*> seen;
    QString unexpected;
    // A timer of its own: the answer may open modal windows in turn, answered by another call.
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == before || seen.contains(modal) || !modal->isVisible())
            return;
        seen << modal;
        if (seen.size() <= qsizetype(answers.size())) {
            answers[seen.size() - 1](modal);
            return;
        }
        // Never let a window nobody expected hold the test.
        auto* box = qobject_cast<QMessageBox*>(modal);
        unexpected = box != nullptr ? box->text() : QString::fromLatin1(modal->metaObject()->className());
        modal->close();
    });
    poll.start();
    command();
    poll.stop();
    QVERIFY2(unexpected.isEmpty(), qPrintable(QStringLiteral("unexpected modal window: ") + unexpected));
    QVERIFY2(seen.size() == qsizetype(answers.size()), "a modal window did not open");
}

void CorpulenceDialogTest::menuHasTheTwoCommandsAfterCalculer() {
    QStringList names;
    QSet<QChar> keys;
    for (QAction* item : control<QMenu>(window.get(), "Fichier1")->actions()) {
        names << (item->isSeparator() ? QStringLiteral("-") : item->objectName());
        const qsizetype amp = item->text().indexOf(QLatin1Char('&'));
        if (amp >= 0)
            keys << item->text().at(amp + 1).toLower();
    }
    QCOMPARE(names, QStringList({"Nouveaucalcul1", "CalculerlIMC1", "Courbedecorpulence1", "Imprimerlafiche1",
                                 "-", "Quitter1"}));
    QCOMPARE(keys.size(), 5);
    auto* print = control<QAction>(window.get(), "Imprimerlafiche1");
    QCOMPARE(print->text().remove(QLatin1Char('&')), QStringLiteral("Imprimer la fiche..."));
    QCOMPARE(control<QAction>(window.get(), "Courbedecorpulence1")->text().remove(QLatin1Char('&')),
             QStringLiteral("Courbe de corpulence..."));
    QCOMPARE(print->shortcut(), QKeySequence(QKeySequence::Print));
}

void CorpulenceDialogTest::commandsAskForACalculationFirst() {
    auto* chart = control<QAction>(window.get(), "Courbedecorpulence1");
    auto* print = control<QAction>(window.get(), "Imprimerlafiche1");
    chart->trigger();
    print->trigger();

    // A failed calculation leaves nothing to chart, even after a complete one.
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    calculate(QStringLiteral("35"), QStringLiteral("80"), QString());
    chart->trigger();
    QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);

    const QString needed =
        QStringLiteral("Un calcul est d'abord nécessaire : saisissez l'âge, le poids et la taille "
                       "du patient, puis cliquez sur « Calculer ».");
    QCOMPARE(reports, QStringList({needed, needed,
                                   QStringLiteral("'' n'est pas une valeur en virgule flottante "
                                                  "correcte."),
                                   needed, needed}));
    QVERIFY(window->findChildren<QDialog*>().isEmpty());
}

void CorpulenceDialogTest::dialogShowsTheWindowsResult() {
    calculate(QStringLiteral("7,25"), QStringLiteral("30,99"), QStringLiteral("1,25"));
    QCOMPARE(field("edIMC")->text(), QStringLiteral("19,83"));
    whenModal([this] { control<QAction>(window.get(), "Courbedecorpulence1")->trigger(); },
              {[this](QWidget* modal) {
                  QCOMPARE(modal->windowTitle(), QStringLiteral("Courbe de corpulence"));
                  const QStringList shown{control<QLineEdit>(modal, "edBand")->text(),
                                          control<QLineEdit>(modal, "edAdvice")->text(),
                                          control<QLineEdit>(modal, "edObjective")->text()};
                  QCOMPARE(shown, QStringList({field("edResultat")->text(), field("edConseils")->text(),
                                               field("edObjectif")->text()}));
                  QCOMPARE(control<QLineEdit>(modal, "edBand")->palette().color(QPalette::Base),
                           field("edResultat")->palette().color(QPalette::Base));
                  auto* chart = control<QWidget>(modal, "chartView");
                  QCOMPARE(chart->accessibleName(), QStringLiteral("Courbe de corpulence"));
                  for (const QString& words : {QStringLiteral("garçon de 7 ans 3 mois"),
                                               QStringLiteral("19,83"), QStringLiteral("Obésité degré 1")})
                      QVERIFY2(chart->accessibleDescription().contains(words), qPrintable(words));
                  QStringList names;
                  for (const char* name : {"edPatientName", "edRemark", "btnPrint", "btnSavePdf", "btnClose"})
                      names << control<QWidget>(modal, name)->accessibleName();
                  QCOMPARE(names, QStringList({"Nom du patient", "Remarque", "Imprimer", "Enregistrer en PDF",
                                               "Fermer"}));
                  control<QPushButton>(modal, "btnClose")->click();
              }});
}

void CorpulenceDialogTest::pdfHoldsTheWindowsFiguresAndThePoint_data() {
    QTest::addColumn<QStringList>("measures");
    QTest::addColumn<QString>("age");
    QTest::addColumn<QPointF>("point"); ///< in the chart's own coordinates, from its axes
    // 32 units a year from x 70, 16 units per index unit up from 10 at y 402.
    QTest::newRow("child") << QStringList({"7,25", "30,99", "1,25"}) << QStringLiteral("7 ans 3 mois")
                           << QPointF(302, 402 - 9.83 * 16);
    // The adult bar from x 30 to 650 for indexes 8 to 48, the point at y 150, under the names.
    QTest::newRow("adult") << QStringList({"35", "80", "1,75"}) << QStringLiteral("35 ans")
                           << QPointF(30 + 18.12 * 15.5, 150);
}

void CorpulenceDialogTest::pdfHoldsTheWindowsFiguresAndThePoint() {
    QFETCH(QStringList, measures);
    QFETCH(QString, age);
    QFETCH(QPointF, point);
    calculate(measures[0], measures[1], measures[2]);
    const QString pdf = home.filePath(QStringLiteral("Documents/%1.pdf").arg(QTest::currentDataTag()));
    QRectF chartArea;
    whenModal(
        [this] { control<QAction>(window.get(), "Courbedecorpulence1")->trigger(); }, {[&](QWidget* dialog) {
            control<QLineEdit>(dialog, "edPatientName")->setText(QStringLiteral("Jeanne Martin"));
            control<QLineEdit>(dialog, "edRemark")->setText(QStringLiteral("Contrôle à 3 mois"));
            chartArea = static_cast<CorpulenceDialog*>(dialog)->sheet().chartArea();
            whenModal(
                [dialog, this] { control<QPushButton>(dialog, "btnSavePdf")->click(); },
                {[&](QWidget* modal) {
                    auto* files = qobject_cast<QFileDialog*>(modal);
                    QVERIFY(files);
                    QCOMPARE(files->directory().absolutePath(), home.filePath("Documents"));
                    const QString today = QDate::currentDate().toString(Qt::ISODate);
                    QVERIFY2(files->selectedFiles().value(0).contains(today),
                             qPrintable(files->selectedFiles().value(0)));
                    // Typed as a user would: selectFile() may be undone when the folder has loaded.
                    control<QLineEdit>(files, "fileNameEdit")->setText(QFileInfo(pdf).fileName());
                    static_cast<QDialog*>(files)->accept(); // QFileDialog::accept, which checks the name
                }});
            QCOMPARE(control<QLabel>(dialog, "lblStatus")->text(),
                     QStringLiteral("Fiche enregistrée dans « %1 ».").arg(pdf));
            control<QPushButton>(dialog, "btnClose")->click();
        }});
    QVERIFY(QFile::exists(pdf));

    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(tool.waitForFinished(10000));
    const QString text = QString::fromUtf8(tool.readAllStandardOutput());
    QVERIFY(text.contains(QStringLiteral("Fiche de corpulence")));
    for (const char* name :
         {"edPoids", "edTaille", "edIMC", "edPMax", "edPMin", "edResultat", "edConseils", "edObjectif"})
        QVERIFY2(text.contains(field(name)->text()), qPrintable(field(name)->text()));
    QVERIFY2(text.contains(QStringLiteral("Âge :")) && text.contains(age), qPrintable(age));
    QVERIFY(text.contains(QStringLiteral("Jeanne Martin")));
    QVERIFY(text.contains(QStringLiteral("Contrôle à 3 mois")));
    QVERIFY(text.contains(QStringLiteral("Vimora XP 1.0")));

    // One image pixel per point: the point's centre, on the page, where the chart puts it.
    tool.start(QStringLiteral("pdftoppm"),
               {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                QStringLiteral("-singlefile"), pdf, home.filePath(QStringLiteral("page"))});
    QVERIFY(tool.waitForFinished(10000));
    const QImage page(home.filePath(QStringLiteral("page.png")));
    QCOMPARE(page.size(), QSize(595, 842));
    double x = 0;
    double y = 0;
    int count = 0;
    for (int row = 0; row < page.height(); ++row) {
        for (int column = 0; column < page.width(); ++column) {
            if (page.pixel(column, row) == qRgb(0, 0, 0)) {
                x += column + 0.5;
                y += row + 0.5;
                ++count;
            }
        }
    }
    QVERIFY2(count > 10, qPrintable(QString::number(count)));
    const double scale = chartArea.width() / 680; // both charts are 680 wide
    const QPointF expected = chartArea.topLeft() + point * scale;
    QVERIFY2(std::abs(x / count - expected.x()) < 1 && std::abs(y / count - expected.y()) < 1,
             qPrintable(QStringLiteral("%1, %2 for %3, %4")
                            .arg(x / count)
                            .arg(y / count)
                            .arg(expected.x())
                            .arg(expected.y())));
}

void CorpulenceDialogTest::existingFileIsReplacedOnlyOnceConfirmed() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    QFile existing(home.filePath(QStringLiteral("Documents/existante.pdf")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("ancienne fiche");
    existing.close();
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        const Answer confirm = [answer](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            box->button(answer)->click();
        };
        const Answer chooseExisting = [&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            QVERIFY(files);
            control<QLineEdit>(files, "fileNameEdit")->setText(QFileInfo(existing).fileName());
            whenModal([files] { static_cast<QDialog*>(files)->accept(); }, {confirm});
            if (files->isVisible())
                files->reject();
        };
        whenModal([this] { control<QAction>(window.get(), "Courbedecorpulence1")->trigger(); },
                  {[&](QWidget* dialog) {
                      whenModal([dialog, this] { control<QPushButton>(dialog, "btnSavePdf")->click(); },
                                {chooseExisting});
                      control<QPushButton>(dialog, "btnClose")->click();
                  }});
        QVERIFY(existing.open(QIODevice::ReadOnly));
        const QByteArray start = existing.read(5);
        existing.close();
        QCOMPARE(start, answer == QMessageBox::No ? QByteArray("ancie") : QByteArray("%PDF-"));
    }
    QVERIFY(reports.isEmpty());
}

void CorpulenceDialogTest::failedWriteSaysWhyAndLeavesNoFile() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    // A folder that is a plain file accepts nothing, not even from root.
    QFile blocker(home.filePath(QStringLiteral("dossier")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString target = blocker.fileName() + QStringLiteral("/fiche.pdf");
    const Answer chooseTarget = [&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        QVERIFY(files);
        control<QLineEdit>(files, "fileNameEdit")->setText(target);
        static_cast<QDialog*>(files)->accept(); // QFileDialog::accept, which checks the name
    };
    whenModal([this] { control<QAction>(window.get(), "Courbedecorpulence1")->trigger(); },
              {[&](QWidget* dialog) {
                  whenModal([dialog, this] { control<QPushButton>(dialog, "btnSavePdf")->click(); },
                            {chooseTarget});
                  control<QPushButton>(dialog, "btnClose")->click();
              }});
    QCOMPARE(reports.size(), 1);
    const QString message = reports.front();
    QVERIFY2(message.startsWith(QStringLiteral("La fiche n'a pas pu être enregistrée")), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("le dossier n'existe pas ou n'accepte pas de nouveau fichier")));
    QVERIFY(!QFileInfo::exists(target));

    // A write that fails half-way (the file size limit) leaves neither the file nor its temporary.
    const QString folder = home.filePath(QStringLiteral("limite"));
    QVERIFY(QDir().mkpath(folder));
    const PatientSheet sheet(*window->lastCompleteCalculation(), QString(), QString());
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 2048;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = sheet.writePdf(folder + QStringLiteral("/fiche.pdf"), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QVERIFY(!written);
    QVERIFY2(error.startsWith(QStringLiteral("La fiche n'a pas pu être enregistrée")), qPrintable(error));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void CorpulenceDialogTest::printShortcutGoesStraightToThePrintDialog() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    whenModal([this] { QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier); }, {[](QWidget* modal) {
                  QVERIFY2(qobject_cast<QPrintDialog*>(modal), qPrintable(modal->metaObject()->className()));
                  static_cast<QDialog*>(modal)->reject();
              }});
    // Told first when the print dialog can only write a file.
    const QStringList noPrinter{
        QStringLiteral("Aucune imprimante n'est installée sur cet ordinateur : la fenêtre "
                       "d'impression ne pourra qu'enregistrer la fiche dans un fichier PDF.")};
    QCOMPARE(reports, QPrinterInfo::availablePrinterNames().isEmpty() ? noPrinter : QStringList());
}

QString CorpulenceDialogTest::pdfText(const PatientSheet& sheet, const QStringList& options) {
    const QString pdf = home.filePath(QStringLiteral("fiche.pdf"));
    QString error;
    if (!sheet.writePdf(pdf, &error))
        return error;
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), options + QStringList{pdf, QStringLiteral("-")});
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

void CorpulenceDialogTest::keyboardFollowsTheScreen() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    whenModal([this] { control<QAction>(window.get(), "Courbedecorpulence1")->trigger(); },
              {[this](QWidget* dialog) {
                  QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("edPatientName"));
                  // Tab from the first field visits every field and button in the order on screen.
                  control<QWidget>(dialog, "edPatient")->setFocus(Qt::TabFocusReason);
                  QStringList visited{QApplication::focusWidget()->objectName()};
                  for (int step = 0; step < 8; ++step) {
                      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                      visited << QApplication::focusWidget()->objectName();
                  }
                  QCOMPARE(visited,
                           QStringList({"edPatient", "edBand", "edAdvice", "edObjective", "edPatientName",
                                        "edRemark", "btnPrint", "btnSavePdf", "btnClose"}));
                  // Enter in the name saves the sheet; the name's limit is said.
                  auto* name = control<QLineEdit>(dialog, "edPatientName");
                  QVERIFY(name->placeholderText().contains(QString::number(name->maxLength())));
                  name->setFocus();
                  whenModal([name] { QTest::keyClick(name, Qt::Key_Return); }, {[](QWidget* modal) {
                                QVERIFY(qobject_cast<QFileDialog*>(modal));
                                static_cast<QDialog*>(modal)->reject();
                            }});
                  control<QPushButton>(dialog, "btnClose")->click();
              }});
}

void CorpulenceDialogTest::implausibleFiguresAreFlagged_data() {
    QTest::addColumn<QStringList>("measures");
    QTest::addColumn<QString>("warning");
    QTest::newRow("plausible adult") << QStringList({"35", "80", "1,75"}) << QString();
    QTest::newRow("negative weight") << QStringList({"40", "-50", "1,6"})
                                     << QStringLiteral("poids de -50 kg");
    QTest::newRow("child at an index of 2000")
        << QStringList({"8", "2000", "1"}) << QStringLiteral("poids de 2000 kg, IMC de 2000");
}

void CorpulenceDialogTest::implausibleFiguresAreFlagged() {
    QFETCH(QStringList, measures);
    QFETCH(QString, warning);
    calculate(measures[0], measures[1], measures[2]);
    QString shown;
    whenModal([this] { control<QAction>(window.get(), "Courbedecorpulence1")->trigger(); },
              {[&](QWidget* dialog) {
                  auto* label = control<QLabel>(dialog, "lblWarning");
                  shown = label->isVisible() ? label->text() : QString();
                  control<QPushButton>(dialog, "btnClose")->click();
              }});
    const QString sheet =
        pdfText(PatientSheet(*window->lastCompleteCalculation(), QString(), QString()), {}).simplified();
    if (warning.isEmpty()) {
        QCOMPARE(shown, QString());
        QVERIFY(!sheet.contains(QStringLiteral("invraisemblables")));
        return;
    }
    QVERIFY2(shown.startsWith(QStringLiteral("Attention : valeurs invraisemblables (") + warning),
             qPrintable(shown));
    QVERIFY2(sheet.contains(QStringLiteral("valeurs invraisemblables (") + warning), qPrintable(sheet));
}

void CorpulenceDialogTest::sheetTypography() {
    calculate(QStringLiteral("15,5"), QStringLiteral("35"), QStringLiteral("1,6"));
    const vimora::Calculation calculation = *window->lastCompleteCalculation();

    // No ligatures, so that the PDF's text searches as written; a name without spaces kept
    // within the right margin (at 545 points).
    const QString words = pdfText(PatientSheet(calculation, QString(60, QLatin1Char('W')), QString()),
                                  {QStringLiteral("-bbox")});
    QVERIFY(words.contains(QStringLiteral(">Insuffisance<")));
    for (const QChar ligature : words)
        QVERIFY(ligature.unicode() < 0xFB00 || ligature.unicode() > 0xFB06);
    static const QRegularExpression right(QStringLiteral("xMax=\"([0-9.]+)\""));
    int count = 0;
    for (const QRegularExpressionMatch& word : right.globalMatch(words)) {
        QVERIFY2(word.captured(1).toDouble() <= 545.5, qPrintable(word.captured(1)));
        ++count;
    }
    QVERIFY(count > 50);

    // "!" never alone at the start of a line, whatever the length of the words before it: the
    // last word grows by one narrow letter at a time across the end of the line.
    for (int letters = 54; letters < 74; letters += 2) {
        const PatientSheet sheet(
            calculation,
            QStringLiteral("Dupont ") + QString(letters, QLatin1Char('i')) + QStringLiteral(" !"),
            QStringLiteral("Revoir ") + QString(letters + 1, QLatin1Char('i')) + QStringLiteral(" !"));
        for (const QString& line : pdfText(sheet, {QStringLiteral("-layout")}).split(QLatin1Char('\n')))
            QVERIFY2(line.trimmed() != QStringLiteral("!"), qPrintable(QString::number(letters)));
    }
}

QTEST_MAIN(CorpulenceDialogTest)
#include "CorpulenceDialogTest.moc"
