#include "CorpulenceDialog.h"
#include "MessageBoxes.h"
#include "PatientSheet.h"
#include "_Vimora.h"
#include "hh.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/statvfs.h>
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
    void commandsRefuseInputsChangedSinceTheCalculation_data();
    void commandsRefuseInputsChangedSinceTheCalculation();
    void dialogShowsTheWindowsResult();
    void pdfHoldsTheWindowsFiguresAndThePoint_data();
    void pdfHoldsTheWindowsFiguresAndThePoint();
    void existingFileIsReplacedOnlyOnceConfirmed();
    void failedWriteSaysWhyAndLeavesNoFile();
    void sheetOnANearlyFullDiskIsNeverReportedSaved();
    void printShortcutGoesStraightToThePrintDialog();

private:
    template <typename T> T* control(QObject* parent, const char* name) const {
        T* found = parent->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLineEdit* field(const char* name) const { return control<QLineEdit>(window.get(), name); }
    void calculate(const QString& age, const QString& weight, const QString& height);
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

void CorpulenceDialogTest::commandsRefuseInputsChangedSinceTheCalculation_data() {
    QTest::addColumn<QString>("changed");
    for (const char* control : {"edAge", "edPoids", "edTaille", "RadioButton2"})
        QTest::newRow(control) << QString::fromLatin1(control);
}

void CorpulenceDialogTest::commandsRefuseInputsChangedSinceTheCalculation() {
    QFETCH(QString, changed);
    calculate(QStringLiteral("10"), QStringLiteral("45"), QStringLiteral("1,5"));
    if (auto* sex = window->findChild<QRadioButton*>(changed))
        sex->click();
    else
        QTest::keyClick(window->findChild<QLineEdit*>(changed), Qt::Key_1);

    // No dialog may open: the chart and the sheet would show the previous figures.
    whenModal([this] { control<QAction>(window.get(), "Courbedecorpulence1")->trigger(); }, {});
    whenModal([this] { QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier); }, {});
    const QString changedSince = QStringLiteral(
        "Le sexe, l'âge, le poids ou la taille ont changé depuis le dernier calcul : cliquez d'abord sur "
        "« Calculer ».");
    QCOMPARE(reports, QStringList({changedSince, changedSince}));
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
    QTest::addColumn<QPointF>("point"); ///< in the chart's own coordinates, from its axes
    // 32 units a year from x 70, 16 units per index unit up from 10 at y 402.
    QTest::newRow("child") << QStringList({"7,25", "30,99", "1,25"}) << QPointF(302, 402 - 9.83 * 16);
    // The adult bar from x 40 to 640 for indexes 13 to 45, the point at y 126, under the names.
    QTest::newRow("adult") << QStringList({"35", "80", "1,75"}) << QPointF(40 + 13.12 * 600 / 32, 126);
}

void CorpulenceDialogTest::pdfHoldsTheWindowsFiguresAndThePoint() {
    QFETCH(QStringList, measures);
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
            control<QPushButton>(dialog, "btnClose")->click();
        }});
    QVERIFY(QFile::exists(pdf));

    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(tool.waitForFinished(10000));
    const QString text = QString::fromUtf8(tool.readAllStandardOutput());
    QVERIFY(text.contains(QStringLiteral("Fiche de corpulence")));
    for (const char* name : {"edAge", "edPoids", "edTaille", "edIMC", "edPMax", "edPMin", "edResultat",
                             "edConseils", "edObjectif"})
        QVERIFY2(text.contains(field(name)->text()), qPrintable(field(name)->text()));
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
    const double scale = chartArea.width() / 680;
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

void CorpulenceDialogTest::sheetOnANearlyFullDiskIsNeverReportedSaved() {
    calculate(QStringLiteral("35"), QStringLiteral("80"), QStringLiteral("1,75"));
    const PatientSheet sheet(*window->lastCompleteCalculation(), QStringLiteral("Dupont"), QString());
    QVERIFY(sheet.writePdf(home.filePath(QStringLiteral("entiere.pdf")), nullptr));
    const qint64 sheetSize = QFileInfo(home.filePath(QStringLiteral("entiere.pdf"))).size();

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
    whenModal([this] { QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier); }, {[](QWidget* modal) {
                  QVERIFY2(qobject_cast<QPrintDialog*>(modal), qPrintable(modal->metaObject()->className()));
                  static_cast<QDialog*>(modal)->reject();
              }});
}

QTEST_MAIN(CorpulenceDialogTest)
#include "CorpulenceDialogTest.moc"
