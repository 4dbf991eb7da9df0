#include "RecordsDialog.h"
#include "MessageBoxes.h"
#include "PatientListModel.h"
#include "PatientRecordSheet.h"
#include "PatientStore.h"
#include "VisitRecords.h"
#include "_Vimora.h"
#include "hh.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

using vimora::records::Patient;
using vimora::records::PatientStore;
using vimora::records::Visit;

// The patient records from the main window, on a temporary database named by VIMORA_DATABASE,
// driven through the dialogs' controls with real key events.
class RecordsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchFiltersAsYouTypeAndVisitsShowNewestFirst();
    void patientFormRefusesBadFieldsAndWritesNothingUntilValid();
    void newConsultationThenCtrlSSavesTodaysVisit();
    void ctrlSNeedsACurrentCalculationOfThePatientsAge();
    void longSheetContinuesOnNumberedPagesAndNoTextCoversTheChart();

private:
    static std::unique_ptr<PatientStore> openStore() {
        return vimora::records::openStore(vimora::records::databaseSetting());
    }
    static Patient storedPatient(PatientStore& store, const QString& nom, const QString& prenom,
                                 vimora::Sex sex, QDate birth, const QString& dossier = {});
    static void addMeasure(PatientStore& store, const Patient& patient, QDate date, const QString& poids,
                           const QString& taille);
    /// Runs the command; each modal window it opens goes in turn to the next answer, which must
    /// close it. Fails when a window opens that no answer expects, or an answer is left over.
    void whenModal(const std::function<void()>& command,
                   const std::vector<std::function<void(QWidget*)>>& answers);
    QStringList rowsShown(const QTableView* view) const;

    QTemporaryDir folder;
    QString database;
    const vimora::help::HelpEngineLoader noHelpEngine{std::string()};
    QStringList boxes;
};

void RecordsDialogTest::init() {
    QVERIFY(folder.isValid());
    database = folder.filePath(QStringLiteral("%1.sqlite").arg(QTest::currentTestFunction()));
    qputenv("VIMORA_DATABASE", database.toLocal8Bit());
    boxes.clear();
    MessageBoxes::setAnswerer([this](const MessageBoxes::Box& box) {
        boxes << box.text;
        return box.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
}

void RecordsDialogTest::cleanup() {
    MessageBoxes::setAnswerer({});
}

Patient RecordsDialogTest::storedPatient(PatientStore& store, const QString& nom, const QString& prenom,
                                         vimora::Sex sex, QDate birth, const QString& dossier) {
    Patient patient;
    patient.nom = nom;
    patient.prenom = prenom;
    patient.sexe = sex;
    patient.naissance = birth;
    patient.dossier = dossier;
    return store.addPatient(patient);
}

void RecordsDialogTest::addMeasure(PatientStore& store, const Patient& patient, QDate date,
                                   const QString& poids, const QString& taille) {
    store.addVisit(vimora::records::assessMeasurement(patient, date, poids, taille));
}

void RecordsDialogTest::whenModal(const std::function<void()>& command,
                                  const std::vector<std::function<void(QWidget*)>>& answers) {
    QWidget* const before = QApplication::activeModalWidget();
    QList<QWidget*> seen;
    QString unexpected;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == before || seen.contains(modal) || !modal->isVisible())
            return;
        seen << modal;
        if (seen.size() <= qsizetype(answers.size())) {
            QVERIFY(QTest::qWaitForWindowActive(modal));
            answers[seen.size() - 1](modal);
            // A failed answer must not leave the test in the window's loop.
            if (modal->isVisible()) {
                unexpected =
                    QStringLiteral("left open: ") + QString::fromLatin1(modal->metaObject()->className());
                modal->close();
            }
            return;
        }
        unexpected = QString::fromLatin1(modal->metaObject()->className());
        modal->close();
    });
    poll.start();
    command();
    // An access key clicks its button about 100 ms later.
    QTRY_COMPARE(seen.size(), qsizetype(answers.size()));
    poll.stop();
    QVERIFY2(unexpected.isEmpty(), qPrintable(QStringLiteral("unexpected modal window: ") + unexpected));
}

QStringList RecordsDialogTest::rowsShown(const QTableView* view) const {
    QStringList rows;
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->index(row, 1).data().toString() + QLatin1Char(' ') +
                    model->index(row, 0).data().toString();
    return rows;
}

void RecordsDialogTest::searchFiltersAsYouTypeAndVisitsShowNewestFirst() {
    const std::unique_ptr<PatientStore> store = openStore();
    const Patient eloise = storedPatient(*store, QStringLiteral("Müller"), QStringLiteral("Éloïse"),
                                         vimora::Sex::Female, QDate(2012, 5, 3), QStringLiteral("A-12"));
    storedPatient(*store, QStringLiteral("Martin"), QStringLiteral("Jean"), vimora::Sex::Male,
                  QDate(1980, 1, 2));
    storedPatient(*store, QStringLiteral("Dubois"), QStringLiteral("Chloé"), vimora::Sex::Female,
                  QDate(1995, 7, 9));
    for (const QDate date : {QDate(2020, 3, 1), QDate(2022, 3, 1), QDate(2021, 3, 1)})
        addMeasure(*store, eloise, date, QStringLiteral("30"), QStringLiteral("1,3"));

    RecordsDialog dialog(*store, RecordsDialog::Purpose::Browse);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* list = dialog.findChild<QTableView*>(QStringLiteral("tvPatients"));
    auto* search = dialog.findChild<QLineEdit*>(QStringLiteral("edSearch"));
    auto* visits = dialog.findChild<QTableWidget*>(QStringLiteral("twVisits"));
    QCOMPARE(rowsShown(list), QStringList({"Chloé Dubois", "Jean Martin", "Éloïse Müller"}));
    QCOMPARE(QApplication::focusWidget(), search);

    struct Typed {
        const char* keys;
        QStringList shown;
    };
    for (const Typed& typed : {Typed{"ELOISE", {"Éloïse Müller"}}, Typed{"a-12", {"Éloïse Müller"}},
                               Typed{"mu el", {"Éloïse Müller"}},
                               Typed{"o", {"Chloé Dubois", "Éloïse Müller"}}, Typed{"zzz", {}}}) {
        search->clear();
        QTest::keyClicks(search, QString::fromUtf8(typed.keys));
        QCOMPARE(rowsShown(list), typed.shown);
    }
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("btnTrajectory"))->isEnabled());
    QCOMPARE(visits->rowCount(), 0);

    search->clear();
    QHeaderView* header = list->horizontalHeader();
    const QPoint bornColumn(header->sectionViewportPosition(PatientListModel::Naissance) + 10,
                            header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, bornColumn);
    const QStringList byBirth{"Jean Martin", "Chloé Dubois", "Éloïse Müller"};
    QCOMPARE(rowsShown(list), byBirth);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, bornColumn);
    QCOMPARE(rowsShown(list), QStringList(byBirth.rbegin(), byBirth.rend()));
    // Sorted by name, and still after the list is read again (F5).
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(PatientListModel::Nom) + 10, header->height() / 2));
    QTest::keyClick(&dialog, Qt::Key_F5);
    const QStringList byName{"Chloé Dubois", "Jean Martin", "Éloïse Müller"};
    QCOMPARE(rowsShown(list), header->sortIndicatorOrder() == Qt::AscendingOrder
                                  ? byName
                                  : QStringList(byName.rbegin(), byName.rend()));

    // The one patient found, chosen from the keyboard: Tab down to the list, then Home.
    QTest::keyClicks(search, QStringLiteral("muller"));
    search->setFocus();
    QTest::keyClick(search, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);
    QTest::keyClick(list, Qt::Key_Home);
    QStringList dates;
    for (int row = 0; row < visits->rowCount(); ++row)
        dates << visits->item(row, 0)->text();
    QCOMPARE(dates, QStringList({"01/03/2022", "01/03/2021", "01/03/2020"}));
    QCOMPARE(list->model()->index(0, 4).data().toString(), QStringLiteral("01/03/2022"));

    // Deleting her names her and the visits that go with her, then she is gone.
    dialog.findChild<QPushButton*>(QStringLiteral("btnDeletePatient"))->click();
    QCOMPARE(boxes, QStringList({"Supprimer le patient Éloïse Müller, née le 03/05/2012, et ses 3 "
                                 "consultations ? Cette suppression "
                                 "est définitive."}));
    QCOMPARE(store->patients().size(), std::size_t(2));
    QVERIFY(store->visits(eloise.id).empty());
    QCOMPARE(list->model()->rowCount(), 0);
}

void RecordsDialogTest::patientFormRefusesBadFieldsAndWritesNothingUntilValid() {
    const std::unique_ptr<PatientStore> store = openStore();
    RecordsDialog dialog(*store, RecordsDialog::Purpose::Browse);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const QString longName(101, QLatin1Char('x'));
    auto text = [](QWidget* form, const char* name) {
        return form->findChild<QLabel*>(QString::fromLatin1(name))->text();
    };
    whenModal(
        [&dialog] { QTest::keyClick(&dialog, Qt::Key_N, Qt::AltModifier); }, {[&](QWidget* form) {
            auto* nom = form->findChild<QLineEdit*>(QStringLiteral("edNom"));
            auto* prenom = form->findChild<QLineEdit*>(QStringLiteral("edPrenom"));
            auto* birth = form->findChild<QLineEdit*>(QStringLiteral("edNaissance"));
            QCOMPARE(form->focusWidget(), nom);
            QTest::keyClicks(prenom, longName);
            QTest::keyClicks(birth, QStringLiteral("31/02/2015"));
            QTest::keyClick(birth, Qt::Key_Return);

            QCOMPARE(text(form, "lblNomProblem"), QStringLiteral("Le nom est obligatoire."));
            QCOMPARE(text(form, "lblPrenomProblem"),
                     QStringLiteral("Le prénom ne peut pas dépasser 100 caractères."));
            QCOMPARE(
                text(form, "lblNaissanceProblem"),
                QStringLiteral("« 31/02/2015 » n'est pas une date : tapez-la sous la forme JJ/MM/AAAA."));
            QVERIFY(text(form, "lblDossierProblem").isEmpty());
            // Said, not cut: the name keeps every character typed.
            QCOMPARE(form->findChild<QLineEdit*>(QStringLiteral("edPrenom"))->text(), longName);
            QCOMPARE(form->focusWidget(), nom);
            QVERIFY(form->isVisible());
            QVERIFY(store->patients().empty());

            QTest::keyClicks(nom, QStringLiteral("N'Diaye"));
            prenom->selectAll();
            QTest::keyClicks(prenom, QStringLiteral("Aissatou"));
            birth->selectAll();
            QTest::keyClicks(birth, QStringLiteral("28/02/2015"));
            QTest::mouseClick(form->findChild<QRadioButton*>(QStringLiteral("rbFeminin")), Qt::LeftButton);
            QTest::keyClick(birth, Qt::Key_Return);
        }});
    const std::vector<vimora::records::PatientSummary> patients = store->patients();
    QCOMPARE(patients.size(), std::size_t(1));
    QCOMPARE(patients[0].patient.nom, QStringLiteral("N'Diaye"));
    QCOMPARE(patients[0].patient.sexe, vimora::Sex::Female);
    QCOMPARE(patients[0].patient.naissance, QDate(2015, 2, 28));
    QCOMPARE(rowsShown(dialog.findChild<QTableView*>(QStringLiteral("tvPatients"))),
             QStringList({"Aissatou N'Diaye"}));
}

void RecordsDialogTest::newConsultationThenCtrlSSavesTodaysVisit() {
    const QDate birth = QDate::currentDate().addYears(-9).addDays(-40);
    const QString age = vimora::records::ageOn(birth, QDate::currentDate());
    qint64 id = 0;
    {
        const std::unique_ptr<PatientStore> store = openStore();
        id = storedPatient(*store, QStringLiteral("Petit"), QStringLiteral("Léa"), vimora::Sex::Female, birth)
                 .id;
    }
    TfrmVimora window(noHelpEngine);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    whenModal([&window] { QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier); }, {[](QWidget* dialog) {
                  auto* list = dialog->findChild<QTableView*>(QStringLiteral("tvPatients"));
                  QTest::keyClick(list, Qt::Key_Home);
                  QTest::keyClick(list, Qt::Key_Return); // the default button, "Nouvelle consultation"
              }});
    QVERIFY(window.findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->isChecked());
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("edAge"))->text(), age);
    QCOMPARE(window.focusWidget()->objectName(), QStringLiteral("edPoids"));
    auto* status = window.findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
    QVERIFY2(status->currentMessage().contains(QStringLiteral("Léa Petit")),
             qPrintable(status->currentMessage()));

    // The offscreen platform gives the window back its activation only when asked.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClicks(window.focusWidget(), QStringLiteral("30"));
    QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(window.focusWidget(), QStringLiteral("1.35"));
    QTest::keyClick(window.focusWidget(), Qt::Key_Return);
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("edIMC"))->text(), QStringLiteral("16,46"));
    whenModal([&window] { QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier); }, {});

    QCOMPARE(boxes, QStringList());
    const std::vector<Visit> visits = openStore()->visits(id);
    QCOMPARE(visits.size(), std::size_t(1));
    QCOMPARE(visits[0].date, QDate::currentDate());
    QCOMPARE(visits[0].age, age);
    QCOMPARE(visits[0].taille, QStringLiteral("1,35"));
    QCOMPARE(visits[0].imc, QStringLiteral("16,46"));
    QCOMPARE(visits[0].resultat, window.findChild<QLineEdit*>(QStringLiteral("edResultat"))->text());
    QVERIFY2(status->currentMessage().contains(QStringLiteral("enregistrée")),
             qPrintable(status->currentMessage()));
}

void RecordsDialogTest::ctrlSNeedsACurrentCalculationOfThePatientsAge() {
    TfrmVimora window(noHelpEngine);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto type = [&window](const char* field, const QString& text) {
        auto* edit = window.findChild<QLineEdit*>(QString::fromLatin1(field));
        edit->selectAll();
        QTest::keyClicks(edit, text);
    };
    auto save = [this, &window](int dialogs) {
        std::vector<std::function<void(QWidget*)>> answers;
        if (dialogs == 1) {
            answers.emplace_back([](QWidget* dialog) {
                auto* list = dialog->findChild<QTableView*>(QStringLiteral("tvPatients"));
                QTest::keyClick(list, Qt::Key_Home);
                QTest::keyClick(list, Qt::Key_Return); // the default button, "Choisir ce patient"
            });
        }
        whenModal([&window] { QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier); }, answers);
    };

    save(0);
    type("edAge", QStringLiteral("35"));
    type("edPoids", QStringLiteral("80"));
    type("edTaille", QStringLiteral("1,75"));
    auto* calculate = window.findChild<QPushButton*>(QStringLiteral("btnCalculer"));
    calculate->click();
    type("edPoids", QStringLiteral("81"));
    save(0);
    // Nothing so far needed the records: the database is not even created.
    QVERIFY(!QFile::exists(database));

    qint64 id = 0;
    {
        const std::unique_ptr<PatientStore> store = openStore();
        id = storedPatient(*store, QStringLiteral("Roux"), QStringLiteral("Paul"), vimora::Sex::Male,
                           QDate::currentDate().addYears(-40))
                 .id;
    }
    calculate->click();
    save(1);
    QCOMPARE(boxes.size(), 3);
    QCOMPARE(boxes[0],
             QStringLiteral("Un calcul est d'abord nécessaire : saisissez l'âge, le poids et la taille du "
                            "patient, puis cliquez sur « Calculer »."));
    QCOMPARE(boxes[1],
             QStringLiteral("Le sexe, l'âge, le poids ou la taille ont changé depuis le dernier calcul : "
                            "cliquez d'abord sur « Calculer »."));
    QVERIFY2(
        boxes[2].startsWith(QStringLiteral("Le calcul a été fait pour un âge de 35 ans, mais Paul Roux")),
        qPrintable(boxes[2]));
    QVERIFY(openStore()->visits(id).empty());
}

void RecordsDialogTest::longSheetContinuesOnNumberedPagesAndNoTextCoversTheChart() {
    const std::unique_ptr<PatientStore> store = openStore();
    const Patient patient = storedPatient(*store, QString(100, QChar(0x00C9)), QStringLiteral("Zoé"),
                                          vimora::Sex::Female, QDate(2010, 1, 15), QStringLiteral("Z-7"));
    std::vector<Visit> visits;
    for (int month = 0; month < 60; ++month) {
        Visit visit = vimora::records::assessMeasurement(patient, QDate(2011, 1, 1).addMonths(month),
                                                         QStringLiteral("%1").arg(10 + month / 4),
                                                         QStringLiteral("0,8"));
        if (month % 10 == 0)
            visit.remarque = QString(300, QLatin1Char('r'));
        visits.push_back(visit);
    }
    const PatientRecordSheet sheet(patient, visits);
    QVERIFY(sheet.pageCount() >= 2);
    for (int page = 0; page < sheet.pageCount(); ++page) {
        const std::vector<PatientRecordSheet::Item> items = sheet.items(page);
        for (const PatientRecordSheet::Item& a : items) {
            QVERIFY(QRectF(0, 0, PatientRecordSheet::kPageWidth, PatientRecordSheet::kPageHeight - 70)
                        .contains(a.rect));
            for (const PatientRecordSheet::Item& b : items) {
                if (&a != &b &&
                    (a.kind == PatientRecordSheet::Item::Chart || b.kind == PatientRecordSheet::Item::Chart))
                    QVERIFY(!a.rect.intersects(b.rect));
            }
        }
    }

    const QString pdf = folder.filePath(QStringLiteral("dossier.pdf"));
    QString error;
    QVERIFY2(sheet.writePdf(pdf, &error), qPrintable(error));
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished());
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    QCOMPARE(text.count(QStringLiteral("\f")), sheet.pageCount());
    for (int page = 1; page <= sheet.pageCount(); ++page)
        QVERIFY(text.contains(QStringLiteral("Page %1/%2").arg(page).arg(sheet.pageCount())));
    QVERIFY(text.contains(QStringLiteral("Z-7")));
}

QTEST_MAIN(RecordsDialogTest)
#include "RecordsDialogTest.moc"
