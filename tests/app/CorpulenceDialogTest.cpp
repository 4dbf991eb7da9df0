#include "app/charts/CorpulenceDialog.h"
#include "DialogAnswerer.h"
#include "MainWindowFixture.h"
#include "app/sheets/PatientSheet.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/statvfs.h>

// The corpulence chart and patient sheet commands driven from the main window's menu.
class CorpulenceDialogTest : public QObject, vimora::test::MainWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuHasTheTwoCommandsAfterCalculer();
    void commandsAskForACalculationFirst();
    void commandsRefuseInputsChangedSinceTheCalculation_data();
    void commandsRefuseInputsChangedSinceTheCalculation();
    void dialogShowsTheWindowsResult();
    void pdfHoldsTheWindowsFiguresAndThePoint_data();
    void pdfHoldsTheWindowsFiguresAndThePoint();
    void existingFileIsReplacedOnlyOnceConfirmed();
    void saveOpensOnTheLastFolderThenDocumentsThenHome();
    void failedWriteSaysWhyAndLeavesNoFile();
    void sheetOnANearlyFullDiskIsNeverReportedSaved();
    void printShortcutGoesStraightToThePrintDialog();
    void keyboardFollowsTheScreen();
    void implausibleFiguresAreFlagged_data();
    void implausibleFiguresAreFlagged();
    void sheetTypography();
    void whoCurvesAreChosenByKeysAndRemembered();
    void sheetGivesAChildsWhoFigures_data();
    void sheetGivesAChildsWhoFigures();

private:
    /// Opens the chart dialog from the menu and hands it to `answer`; the dialog is closed after.
    void withChartDialog(const std::function<void(CorpulenceDialog& dialog)>& answer);
    /// The text of a sheet written as PDF, as pdftotext gives it with the options given.
    QString pdfText(const PatientSheet& sheet, const QStringList& options);

    QTemporaryDir home;
};

void CorpulenceDialogTest::initTestCase() {
    QVERIFY(home.isValid());
    qputenv("HOME", home.path().toLocal8Bit());
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Documents")));
    QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), home.filePath("Documents"));
}

void CorpulenceDialogTest::init() {
    MainWindowFixture::init();
}

void CorpulenceDialogTest::cleanup() {
    MainWindowFixture::cleanup();
}

void CorpulenceDialogTest::withChartDialog(const std::function<void(CorpulenceDialog& dialog)>& answer) {
    const vimora::test::DialogAnswerer<CorpulenceDialog> answerer([&answer](CorpulenceDialog& dialog) {
        answer(dialog);
        control<QPushButton>(dialog, "btnClose")->click();
    });
    action("Courbedecorpulence1")->trigger();
    QCOMPARE(answerer.answered(), 1);
}

void CorpulenceDialogTest::menuHasTheTwoCommandsAfterCalculer() {
    QStringList names;
    QSet<QChar> keys;
    for (QAction* item : control<QMenu>("Fichier1")->actions()) {
        names << (item->isSeparator() ? QStringLiteral("-") : item->objectName());
        const qsizetype amp = item->text().indexOf(QLatin1Char('&'));
        if (amp >= 0)
            keys << item->text().at(amp + 1).toLower();
    }
    QCOMPARE(names, QStringList({"Nouveaucalcul1", "CalculerlIMC1", "Courbedecorpulence1", "Imprimerlafiche1",
                                 "Dossierspatients1", "Enregistrerlaconsultation1", "-", "Quitter1"}));
    QCOMPARE(keys.size(), 7);
    auto* print = control<QAction>("Imprimerlafiche1");
    QCOMPARE(print->text().remove(QLatin1Char('&')), QStringLiteral("Imprimer la fiche..."));
    QCOMPARE(control<QAction>("Courbedecorpulence1")->text().remove(QLatin1Char('&')),
             QStringLiteral("Courbe de corpulence..."));
    QCOMPARE(print->shortcut(), QKeySequence(QKeySequence::Print));
}

void CorpulenceDialogTest::commandsAskForACalculationFirst() {
    auto* chart = control<QAction>("Courbedecorpulence1");
    auto* print = control<QAction>("Imprimerlafiche1");
    chart->trigger();
    print->trigger();

    // A failed calculation leaves nothing to chart, even after a complete one.
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    calculate(QStringLiteral("35"), QStringLiteral("80"), QString());
    chart->trigger();
    QTest::keyClick(&window(), Qt::Key_P, Qt::ControlModifier);

    const QString needed =
        QStringLiteral("Un calcul est d'abord nécessaire : saisissez l'âge, le poids et la taille "
                       "du patient, puis cliquez sur « Calculer ».");
    QCOMPARE(reports, QStringList({needed, needed,
                                   QStringLiteral("'' n'est pas une valeur en virgule flottante "
                                                  "correcte."),
                                   needed, needed}));
    QVERIFY(window().findChildren<QDialog*>().isEmpty());
}

void CorpulenceDialogTest::commandsRefuseInputsChangedSinceTheCalculation_data() {
    QTest::addColumn<QString>("changed");
    for (const char* control : {"edAge", "edPoids", "edTaille", "RadioButton2"})
        QTest::newRow(control) << QString::fromLatin1(control);
}

void CorpulenceDialogTest::commandsRefuseInputsChangedSinceTheCalculation() {
    QFETCH(QString, changed);
    calculate(QStringLiteral("10"), QStringLiteral("45"), QStringLiteral("1,5"));
    if (auto* sex = window().findChild<QRadioButton*>(changed))
        sex->click();
    else
        QTest::keyClick(window().findChild<QLineEdit*>(changed), Qt::Key_1);

    // Neither the chart nor the print dialog may open: they would show the previous figures.
    const vimora::test::DialogAnswerer<CorpulenceDialog> chartDialogs([](CorpulenceDialog&) {});
    action("Courbedecorpulence1")->trigger();
    QTest::keyClick(&window(), Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(chartDialogs.answered(), 0);
    QVERIFY(printTitles.isEmpty());
    const QString changedSince = QStringLiteral(
        "Le sexe, l'âge, le poids ou la taille ont changé depuis le dernier calcul : cliquez d'abord sur "
        "« Calculer ».");
    QCOMPARE(reports, QStringList({changedSince, changedSince}));
}

void CorpulenceDialogTest::dialogShowsTheWindowsResult() {
    calculate(QStringLiteral("7,25"), QStringLiteral("30,99"), QStringLiteral("1,25"));
    QCOMPARE(field("edIMC")->text(), QStringLiteral("19,83"));
    withChartDialog([this](CorpulenceDialog& modal) {
        QCOMPARE(QApplication::activeModalWidget(), &modal);
        QCOMPARE(modal.windowTitle(), QStringLiteral("Courbe de corpulence"));
        const QStringList shown{control<QLineEdit>(modal, "edBand")->text(),
                                control<QLineEdit>(modal, "edAdvice")->text(),
                                control<QLineEdit>(modal, "edObjective")->text()};
        QCOMPARE(shown, QStringList({field("edResultat")->text(), field("edConseils")->text(),
                                     field("edObjectif")->text()}));
        QCOMPARE(control<QLineEdit>(modal, "edBand")->palette().color(QPalette::Base),
                 field("edResultat")->palette().color(QPalette::Base));
        auto* chart = control<QWidget>(modal, "chartView");
        QCOMPARE(chart->accessibleName(), QStringLiteral("Courbe de corpulence"));
        for (const QString& words : {QStringLiteral("garçon de 7 ans 3 mois"), QStringLiteral("19,83"),
                                     QStringLiteral("Obésité degré 1")})
            QVERIFY2(chart->accessibleDescription().contains(words), qPrintable(words));
        QStringList names;
        for (const char* name : {"edPatientName", "edRemark", "btnPrint", "btnSavePdf", "btnClose"})
            names << control<QWidget>(modal, name)->accessibleName();
        QCOMPARE(names,
                 QStringList({"Nom du patient", "Remarque", "Imprimer", "Enregistrer en PDF", "Fermer"}));
    });
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
    savePaths = {pdf};
    withChartDialog([&](CorpulenceDialog& dialog) {
        control<QLineEdit>(dialog, "edPatientName")->setText(QStringLiteral("Jeanne Martin"));
        control<QLineEdit>(dialog, "edRemark")->setText(QStringLiteral("Contrôle à 3 mois"));
        chartArea = dialog.sheet().chartArea();
        control<QPushButton>(dialog, "btnSavePdf")->click();
    });
    QCOMPARE(reports, QStringList{QStringLiteral("La fiche a été enregistrée dans « %1 ».").arg(pdf)});
    QCOMPARE(saveRequests.size(), 1);
    const QFileInfo proposed(saveRequests.front().proposedPath);
    QCOMPARE(proposed.absolutePath(), home.filePath("Documents"));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QVERIFY2(proposed.fileName().contains(today), qPrintable(proposed.fileName()));
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
        // On no, the file dialog comes back, and is cancelled there.
        savePaths = {existing.fileName()};
        boxAnswers = {answer};
        boxes.clear();
        withChartDialog(
            [](CorpulenceDialog& dialog) { control<QPushButton>(dialog, "btnSavePdf")->click(); });
        // The question, then, once replaced, where the sheet went.
        QCOMPARE(boxes.size(), answer == QMessageBox::Yes ? 2 : 1);
        QCOMPARE(boxes.front().icon, QMessageBox::Question);
        QVERIFY2(boxes.front().text.contains(QStringLiteral("existante.pdf")),
                 qPrintable(boxes.front().text));
        QCOMPARE(boxes.front().buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(existing.open(QIODevice::ReadOnly));
        const QByteArray start = existing.read(5);
        existing.close();
        QCOMPARE(start, answer == QMessageBox::No ? QByteArray("ancie") : QByteArray("%PDF-"));
    }
    QCOMPARE(saveRequests.size(), 3);
}

// Never the program's working directory: Qt's dialog opens there on a folder that does not exist.
void CorpulenceDialogTest::saveOpensOnTheLastFolderThenDocumentsThenHome() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    const QString elsewhere = home.filePath(QStringLiteral("ailleurs"));
    QVERIFY(QDir().mkpath(elsewhere));
    const auto proposedFolders = [&] {
        saveRequests.clear();
        savePaths = {elsewhere + QStringLiteral("/fiche.pdf")};
        withChartDialog(
            [](CorpulenceDialog& dialog) { control<QPushButton>(dialog, "btnSavePdf")->click(); });
        return saveRequests.size() == 1 ? QFileInfo(saveRequests.front().proposedPath).absolutePath()
                                        : QString();
    };
    proposedFolders();
    QFile::remove(elsewhere + QStringLiteral("/fiche.pdf"));
    QCOMPARE(proposedFolders(), elsewhere);
    QVERIFY(QDir(elsewhere).removeRecursively());
    QCOMPARE(proposedFolders(), home.filePath(QStringLiteral("Documents")));
    QVERIFY(QDir(elsewhere).removeRecursively());
    QVERIFY(QDir(home.filePath(QStringLiteral("Documents"))).removeRecursively());
    QCOMPARE(proposedFolders(), home.path());
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Documents")));
}

void CorpulenceDialogTest::failedWriteSaysWhyAndLeavesNoFile() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    // A folder that is a plain file accepts nothing, not even from root.
    QFile blocker(home.filePath(QStringLiteral("dossier")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString target = blocker.fileName() + QStringLiteral("/fiche.pdf");
    savePaths = {target};
    withChartDialog([](CorpulenceDialog& dialog) { control<QPushButton>(dialog, "btnSavePdf")->click(); });
    QCOMPARE(reports.size(), 1);
    const QString message = reports.front();
    QVERIFY2(message.startsWith(QStringLiteral("Le fichier « %1 » n'a pas été écrit").arg(target)),
             qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("le dossier n'existe pas ou n'accepte pas de nouveau fichier")));
    QVERIFY(!QFileInfo::exists(target));

    // A write that fails half-way (the file size limit) leaves neither the file nor its temporary.
    const QString folder = home.filePath(QStringLiteral("limite"));
    QVERIFY(QDir().mkpath(folder));
    const PatientSheet sheet(*window().lastCompleteCalculation(), QString(), QString());
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
    QVERIFY2(error.contains(QStringLiteral("n'a pas été écrit : l'écriture a échoué")), qPrintable(error));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void CorpulenceDialogTest::sheetOnANearlyFullDiskIsNeverReportedSaved() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    const PatientSheet sheet(*window().lastCompleteCalculation(), QStringLiteral("Dupont"), QString());
    QVERIFY(sheet.writePdf(home.filePath(QStringLiteral("entiere.pdf")), nullptr));
    const qint64 sheetSize = QFileInfo(home.filePath(QStringLiteral("entiere.pdf"))).size();
    // A patient's sheet is health data: for its owner's eyes alone.
    QCOMPARE(QFile::permissions(home.filePath(QStringLiteral("entiere.pdf"))) & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser);

    QTemporaryDir disk;
    const QString size = QStringLiteral("size=%1k").arg(sheetSize / 1024 + 64);
    if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", size, "tmpfs", disk.path()}) != 0)
        QSKIP("a small tmpfs cannot be mounted here (it needs root)");
    const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {disk.path()}); });

    const QString target = disk.filePath(QStringLiteral("fiche.pdf"));
    const QString filler = disk.filePath(QStringLiteral("plein"));
    const QByteArray previous("ancienne fiche");
    constexpr qint64 kKiB = 1024;
    constexpr qint64 kPage = 4 * kKiB;
    for (const bool existing : {false, true}) {
        for (const qint64 free :
             {qint64(0), 8 * kKiB, 16 * kKiB, 20 * kKiB, (sheetSize - 1) / kPage * kPage}) {
            const QString row =
                QStringLiteral("%1 bytes free, %2").arg(free).arg(existing ? "existing" : "new");
            QFile::remove(filler);
            QFile::remove(target);
            if (existing) {
                QFile old(target);
                QVERIFY(old.open(QIODevice::WriteOnly) && old.write(previous) == previous.size());
            }
            struct statvfs room {};
            QCOMPARE(statvfs(QFile::encodeName(disk.path()).constData(), &room), 0);
            QFile fill(filler);
            QVERIFY(fill.open(QIODevice::WriteOnly));
            QVERIFY(fill.write(QByteArray(qsizetype(room.f_bavail * room.f_frsize - free), '\0')) >= 0);
            QVERIFY2(fill.flush(), qPrintable(row));
            fill.close();

            QString error;
            QVERIFY2(!sheet.writePdf(target, &error), qPrintable(row));
            QVERIFY2(error.contains(QStringLiteral("le disque est plein")), qPrintable(row + error));
            QStringList left = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden);
            QCOMPARE(left, existing ? QStringList({"fiche.pdf", "plein"}) : QStringList({"plein"}));
            if (existing) {
                QFile old(target);
                QVERIFY(old.open(QIODevice::ReadOnly));
                QCOMPARE(old.readAll(), previous);
            }
        }
    }
}

void CorpulenceDialogTest::printShortcutGoesStraightToThePrintDialog() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    QTest::keyClick(&window(), Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(printTitles, QStringList{QStringLiteral("Imprimer la fiche")});
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
    withChartDialog([](CorpulenceDialog& dialog) {
        QTRY_COMPARE(QApplication::focusWidget(), control<QWidget>(dialog, "edPatientName"));
        // Tab from the first field visits every field and button in the order on screen.
        control<QWidget>(dialog, "edPatient")->setFocus(Qt::TabFocusReason);
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int step = 0; step < 8; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, QStringList({"edPatient", "edBand", "edAdvice", "edObjective", "edPatientName",
                                       "edRemark", "btnPrint", "btnSavePdf", "btnClose"}));
        // Enter in the name saves the sheet; the name's limit is said.
        auto* name = control<QLineEdit>(dialog, "edPatientName");
        QVERIFY(name->placeholderText().contains(QString::number(name->maxLength())));
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
    });
    QCOMPARE(saveRequests.size(), 1);
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
    withChartDialog([&](CorpulenceDialog& dialog) {
        auto* label = control<QLabel>(dialog, "lblWarning");
        shown = label->isVisible() ? label->text() : QString();
    });
    const QString sheet =
        pdfText(PatientSheet(*window().lastCompleteCalculation(), QString(), QString()), {}).simplified();
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
    const vimora::Calculation calculation = *window().lastCompleteCalculation();

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

void CorpulenceDialogTest::whoCurvesAreChosenByKeysAndRemembered() {
    calculate(QStringLiteral("7,25"), QStringLiteral("30,99"), QStringLiteral("1,25"));
    const auto chartWords = [](CorpulenceDialog& dialog) {
        return control<QWidget>(dialog, "chartView")->accessibleDescription();
    };
    withChartDialog([&chartWords](CorpulenceDialog& dialog) {
        QVERIFY(chartWords(dialog).startsWith(QStringLiteral("Courbe de corpulence des garçons")));
        // Each access key of the dialog opens one control only.
        QList<QChar> keys;
        QStringList texts;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            texts << label->text();
        for (const QPushButton* button : dialog.findChildren<QPushButton*>())
            texts << button->text();
        for (const QString& text : texts) {
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            if (amp >= 0 && amp + 1 < text.size())
                keys << text.at(amp + 1).toLower();
        }
        QCOMPARE(keys.size(), 6);
        QCOMPARE(QSet<QChar>(keys.begin(), keys.end()).size(), keys.size());
        QTRY_COMPARE(QApplication::focusWidget(), control<QWidget>(dialog, "edPatientName"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), control<QWidget>(dialog, "cbCurves"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QVERIFY2(chartWords(dialog).startsWith(
                     QStringLiteral("Courbes de l'OMS de l'IMC selon l'âge des garçons")),
                 qPrintable(chartWords(dialog)));
    });
    // Remembered for the next chart, and for the sheet.
    withChartDialog([this, &chartWords](CorpulenceDialog& dialog) {
        QCOMPARE(control<QComboBox>(dialog, "cbCurves")->currentIndex(), 1);
        QVERIFY(chartWords(dialog).startsWith(QStringLiteral("Courbes de l'OMS")));
        QVERIFY(dialog.sheet().chartArea().isValid());
        QVERIFY(pdfText(dialog.sheet(), {}).contains(QStringLiteral("selon les courbes de l'OMS")));
        control<QComboBox>(dialog, "cbCurves")->setCurrentIndex(0);
    });
    // An adult has no choice.
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    withChartDialog(
        [](CorpulenceDialog& dialog) { QVERIFY(control<QComboBox>(dialog, "cbCurves")->isHidden()); });
}

void CorpulenceDialogTest::sheetGivesAChildsWhoFigures_data() {
    QTest::addColumn<bool>("girl");
    QTest::addColumn<QStringList>("measures");
    QTest::addColumn<QString>("line");
    // From the WHO's row for 87 months: L, M, S, the LMS z, and beyond +3 the WHO's straight line.
    QTest::newRow("boy") << false << QStringList({"7,25", "30,99", "1,25"})
                         << QStringLiteral("Z-score IMC/âge (OMS) : 2,28 — percentile 98,9");
    QTest::newRow("girl far above")
        << true << QStringList({"7,25", "62,5", "1,25"})
        << QStringLiteral("Z-score IMC/âge (OMS) : 7,46 — percentile > 99,9 — valeur à vérifier");
    QTest::newRow("adult") << false << QStringList({"35", "80", "1,75"}) << QString();
}

void CorpulenceDialogTest::sheetGivesAChildsWhoFigures() {
    QFETCH(bool, girl);
    QFETCH(QStringList, measures);
    QFETCH(QString, line);
    if (girl)
        control<QRadioButton>("RadioButton2")->click();
    calculate(measures[0], measures[1], measures[2]);
    const QString text =
        pdfText(PatientSheet(*window().lastCompleteCalculation(), QString(), QString()), {}).simplified();
    if (line.isEmpty())
        QVERIFY2(!text.contains(QStringLiteral("OMS")), qPrintable(text));
    else
        QVERIFY2(text.contains(line), qPrintable(text));
}

QTEST_MAIN(CorpulenceDialogTest)
#include "CorpulenceDialogTest.moc"
