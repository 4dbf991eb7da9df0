#include "app/records/RecordsDialog.h"
#include "DialogAnswerer.h"
#include "MainWindowFixture.h"
#include "app/records/MeasureForm.h"
#include "app/records/PatientForm.h"
#include "app/records/PatientListModel.h"
#include "app/records/TrajectoryDialog.h"
#include "app/sheets/PatientRecordSheet.h"
#include "records/PatientStore.h"
#include "records/VisitRecords.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>
#include <memory>
#include <vector>

using vimora::records::Patient;
using vimora::records::PatientStore;
using vimora::records::Visit;

// The patient records from the main window, on a temporary database named by VIMORA_DATABASE,
// driven through the dialogs' controls with real key events.
class RecordsDialogTest : public QObject, vimora::test::MainWindowFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchFiltersAsYouTypeAndVisitsShowNewestFirst();
    void alertsColumnAndFilterShowWhomToSeeFirst();
    void patientFormRefusesBadFieldsAndWritesNothingUntilValid();
    void questionsThatKeepOrDestroyDataAnswerNoToEnter();
    void twoWindowsOnOneFileFollowEachOthersChanges();
    void correctingBirthDateOrSexSaysHowManyVisitsChange();
    void newConsultationThenCtrlSSavesTodaysVisit();
    void ctrlSNeedsACurrentCalculationOfThePatientsAge();
    void longSheetContinuesOnNumberedPagesAndNoTextCoversTheChart();
    void aRecordsFailureIsToldInOneWayWhereverItHappens();

private:
    static std::unique_ptr<PatientStore> openStore() {
        return vimora::records::openStore(vimora::records::databaseSetting());
    }
    static Patient storedPatient(PatientStore& store, const QString& nom, const QString& prenom,
                                 vimora::Sex sex, QDate birth, const QString& dossier = {});
    static void addMeasure(PatientStore& store, const Patient& patient, QDate date, const QString& poids,
                           const QString& taille);
    /// Presses the keys on the window; each dialog they open must be the records dialog, and is
    /// answered by choosing the first patient listed from the keyboard. Fails unless `dialogs`
    /// dialogs opened.
    void choosingFirstPatient(int dialogs, Qt::Key key, Qt::KeyboardModifiers modifiers);
    static QStringList rowsShown(const QTableView* view);
    /// The text of a PDF, as pdftotext gives it.
    static QString pdfText(const QString& pdf);

    QTemporaryDir folder;
    QString database;
};

void RecordsDialogTest::init() {
    QVERIFY(folder.isValid());
    database = folder.filePath(QStringLiteral("%1.sqlite").arg(QTest::currentTestFunction()));
    qputenv("VIMORA_DATABASE", database.toLocal8Bit());
    MainWindowFixture::init();
}

void RecordsDialogTest::cleanup() {
    MainWindowFixture::cleanup();
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

void RecordsDialogTest::choosingFirstPatient(int dialogs, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    const vimora::test::DialogAnswerer<QDialog> answerer([](QDialog& dialog) {
        QVERIFY2(qobject_cast<RecordsDialog*>(&dialog) != nullptr, dialog.metaObject()->className());
        auto* list = control<QTableView>(dialog, "tvPatients");
        QTest::keyClick(list, Qt::Key_Home);
        QTest::keyClick(list, Qt::Key_Return); // the default button
    });
    // A shortcut runs its command, and any dialog of it, before the key press returns.
    QTest::keyClick(&window(), key, modifiers);
    QCOMPARE(answerer.answered(), dialogs);
}

QStringList RecordsDialogTest::rowsShown(const QTableView* view) {
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
    // Her WHO figures beside the index, from her exact age in days (worked out from the WHO table).
    QCOMPARE(visits->horizontalHeaderItem(5)->text(), QStringLiteral("Z OMS"));
    QCOMPARE(visits->item(0, 5)->text(), QStringLiteral("0,56"));
    QCOMPARE(visits->item(0, 6)->text(), QStringLiteral("71,2"));
    QCOMPARE(list->model()->index(0, 4).data().toString(), QStringLiteral("01/03/2022"));

    // Deleting her names her and the visits that go with her, then she is gone.
    boxAnswers = {QMessageBox::Yes};
    dialog.findChild<QPushButton*>(QStringLiteral("btnDeletePatient"))->click();
    QCOMPARE(reports, QStringList({"Supprimer le patient Éloïse Müller, née le 03/05/2012, et ses 3 "
                                   "consultations ? Cette suppression "
                                   "est définitive."}));
    QCOMPARE(store->patients().size(), std::size_t(2));
    QVERIFY(store->visits(eloise.id).empty());
    QCOMPARE(list->model()->rowCount(), 0);
}

void RecordsDialogTest::alertsColumnAndFilterShowWhomToSeeFirst() {
    const std::unique_ptr<PatientStore> store = openStore();
    const Patient zola = storedPatient(*store, QStringLiteral("Zola"), QStringLiteral("Jean"),
                                       vimora::Sex::Male, QDate(1980, 5, 2));
    const Patient lea = storedPatient(*store, QStringLiteral("Durand"), QStringLiteral("Léa"),
                                      vimora::Sex::Female, QDate(1980, 5, 2));
    for (const Patient& adult : {zola, lea})
        addMeasure(*store, adult, QDate(2024, 1, 8), QStringLiteral("70"), QStringLiteral("1,75"));
    addMeasure(*store, lea, QDate(2025, 1, 8), QStringLiteral("80"), QStringLiteral("1,75"));

    RecordsDialog dialog(*store, RecordsDialog::Purpose::Browse);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* list = control<QTableView>(dialog, "tvPatients");
    const auto alerts = [list] {
        QStringList shown;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            shown << list->model()->index(row, PatientListModel::Alerts).data().toString();
        return shown;
    };
    QCOMPARE(list->model()->headerData(PatientListModel::Alerts, Qt::Horizontal).toString(),
             QStringLiteral("Alertes"));
    QCOMPARE(rowsShown(list), QStringList({"Léa Durand", "Jean Zola"}));
    QCOMPARE(alerts(), QStringList({"Changement de classe", "—"}));

    auto* alertsOnly = control<QCheckBox>(dialog, "cbAlertsOnly");
    QCOMPARE(alertsOnly->text(), QStringLiteral("Seulement les patients avec une aler&te"));
    QTest::mouseClick(alertsOnly, Qt::LeftButton);
    QCOMPARE(rowsShown(list), QStringList({"Léa Durand"}));
    QTest::keyClicks(control<QLineEdit>(dialog, "edSearch"), QStringLiteral("zola"));
    QCOMPARE(rowsShown(list), QStringList());
    control<QLineEdit>(dialog, "edSearch")->clear();

    // The list follows the visits saved and deleted.
    addMeasure(*store, zola, QDate(2025, 1, 8), QStringLiteral("80"), QStringLiteral("1,75"));
    store->deleteVisit(store->visits(lea.id).front().id);
    QTest::keyClick(&dialog, Qt::Key_F5);
    QCOMPARE(rowsShown(list), QStringList({"Jean Zola"}));
    QTest::mouseClick(alertsOnly, Qt::LeftButton);
    QCOMPARE(alerts(), QStringList({"—", "Changement de classe"}));
}

void RecordsDialogTest::patientFormRefusesBadFieldsAndWritesNothingUntilValid() {
    const std::unique_ptr<PatientStore> store = openStore();
    RecordsDialog dialog(*store, RecordsDialog::Purpose::Browse);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const QString longName(101, QLatin1Char('x'));
    auto text = [](const PatientForm& form, const char* name) {
        return control<QLabel>(form, name)->text();
    };
    const vimora::test::DialogAnswerer<PatientForm> answerer([&](PatientForm& form) {
        auto* nom = control<QLineEdit>(form, "edNom");
        auto* prenom = control<QLineEdit>(form, "edPrenom");
        auto* birth = control<QLineEdit>(form, "edNaissance");
        QCOMPARE(form.focusWidget(), nom);
        QTest::keyClicks(prenom, longName);
        QTest::keyClicks(birth, QStringLiteral("31/02/2015"));
        QTest::keyClick(birth, Qt::Key_Return);

        QCOMPARE(text(form, "lblNomProblem"), QStringLiteral("Le nom est obligatoire."));
        QCOMPARE(text(form, "lblPrenomProblem"),
                 QStringLiteral("Le prénom ne peut pas dépasser 100 caractères."));
        QCOMPARE(text(form, "lblNaissanceProblem"),
                 QStringLiteral("« 31/02/2015 » n'est pas une date : tapez-la sous la forme JJ/MM/AAAA."));
        QVERIFY(text(form, "lblDossierProblem").isEmpty());
        // Said, not cut: the name keeps every character typed.
        QCOMPARE(prenom->text(), longName);
        QCOMPARE(form.focusWidget(), nom);
        QVERIFY(form.isVisible());
        QVERIFY(store->patients().empty());

        QTest::keyClicks(nom, QStringLiteral("N'Diaye"));
        prenom->selectAll();
        QTest::keyClicks(prenom, QStringLiteral("Aissatou"));
        birth->selectAll();
        QTest::keyClicks(birth, QStringLiteral("28/02/2015"));
        QTest::mouseClick(control<QRadioButton>(form, "rbFeminin"), Qt::LeftButton);
        QTest::keyClick(birth, Qt::Key_Return);
    });
    QTest::keyClick(&dialog, Qt::Key_N, Qt::AltModifier);
    // An access key clicks its button about 100 ms later.
    QTRY_COMPARE(answerer.answered(), 1);
    const std::vector<vimora::records::PatientSummary> patients = store->patients();
    QCOMPARE(patients.size(), std::size_t(1));
    QCOMPARE(patients[0].patient.nom, QStringLiteral("N'Diaye"));
    QCOMPARE(patients[0].patient.sexe, vimora::Sex::Female);
    QCOMPARE(patients[0].patient.naissance, QDate(2015, 2, 28));
    QCOMPARE(rowsShown(dialog.findChild<QTableView*>(QStringLiteral("tvPatients"))),
             QStringList({"Aissatou N'Diaye"}));
}

void RecordsDialogTest::questionsThatKeepOrDestroyDataAnswerNoToEnter() {
    const std::unique_ptr<PatientStore> store = openStore();
    const Patient lea = storedPatient(*store, QStringLiteral("Durand"), QStringLiteral("Léa"),
                                      vimora::Sex::Female, QDate(2015, 2, 1), QStringLiteral("K1"));
    storedPatient(*store, QStringLiteral("DURAND"), QStringLiteral("Lea"), vimora::Sex::Male,
                  QDate(2015, 2, 1));
    addMeasure(*store, lea, QDate(2020, 3, 1), QStringLiteral("18"), QStringLiteral("1,05"));
    RecordsDialog dialog(*store, RecordsDialog::Purpose::Browse);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* list = control<QTableView>(dialog, "tvPatients");
    QCOMPARE(list->model()->index(0, PatientListModel::Dossier).data().toString(), QStringLiteral("K1"));

    // Real boxes, answered by Enter on what has the focus as a hurried user would, or by "Oui".
    MessageBoxes::setAnswerer({});
    QStringList asked;
    std::deque<QMessageBox::StandardButton> clicks;
    const vimora::test::DialogAnswerer<QMessageBox> boxes([&](QMessageBox& box) {
        asked << box.text();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        if (!clicks.empty() && clicks.front() == QMessageBox::Yes)
            box.button(QMessageBox::Yes)->click();
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (!clicks.empty())
            clicks.pop_front();
    });

    auto* visits = control<QTableWidget>(dialog, "twVisits");
    visits->selectRow(0);
    control<QPushButton>(dialog, "btnDeleteVisit")->click();
    control<QPushButton>(dialog, "btnDeletePatient")->click();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(store->visits(lea.id).size(), std::size_t(1));
    QVERIFY(store->patient(lea.id));

    // A height typed in centimetres.
    const vimora::test::DialogAnswerer<MeasureForm> measure([](MeasureForm& form) {
        QTest::keyClicks(control<QLineEdit>(form, "edPoids"), QStringLiteral("30"));
        QTest::keyClicks(control<QLineEdit>(form, "edTaille"), QStringLiteral("135"));
        QTest::keyClick(control<QLineEdit>(form, "edTaille"), Qt::Key_Return);
        QVERIFY(form.isVisible());
    });
    control<QPushButton>(dialog, "btnAddMeasure")->click();
    QCOMPARE(measure.answered(), 1);
    QCOMPARE(asked.size(), 3);
    QVERIFY2(asked.back().contains(QStringLiteral("Enregistrer quand même")), qPrintable(asked.back()));
    QCOMPARE(store->visits(lea.id).size(), std::size_t(1));

    // The same identity again, whatever the case and accents: Enter creates nothing, "Oui" does.
    clicks = {QMessageBox::NoButton, QMessageBox::Yes};
    const vimora::test::DialogAnswerer<PatientForm> form([&](PatientForm& shown) {
        QTest::keyClicks(control<QLineEdit>(shown, "edNom"), QStringLiteral("durand"));
        QTest::keyClicks(control<QLineEdit>(shown, "edPrenom"), QStringLiteral("LEA"));
        QTest::keyClicks(control<QLineEdit>(shown, "edNaissance"), QStringLiteral("01/02/2015"));
        QTest::keyClick(control<QLineEdit>(shown, "edNaissance"), Qt::Key_Return);
        QVERIFY(shown.isVisible());
        QCOMPARE(store->patients().size(), std::size_t(2));
        QTest::keyClick(control<QLineEdit>(shown, "edNaissance"), Qt::Key_Return);
    });
    control<QPushButton>(dialog, "btnNewPatient")->click();
    QCOMPARE(form.answered(), 1);
    QCOMPARE(asked.size(), 5);
    QStringList homonyms = asked[3].split(QStringLiteral("\n\n")).front().split(QLatin1Char('\n'));
    homonyms.sort();
    QCOMPARE(homonyms, QStringList({"Un patient DURAND Lea, né le 01/02/2015, existe déjà.",
                                    "Un patient Durand Léa, née le 01/02/2015, existe déjà (dossier K1)."}));
    QCOMPARE(asked[4], asked[3]);
    QCOMPARE(store->patients().size(), std::size_t(3));
}

void RecordsDialogTest::twoWindowsOnOneFileFollowEachOthersChanges() {
    const std::unique_ptr<PatientStore> here = openStore();
    const std::unique_ptr<PatientStore> elsewhere = openStore();
    const Patient lea = storedPatient(*here, QStringLiteral("Durand"), QStringLiteral("Léa"),
                                      vimora::Sex::Female, QDate(2015, 2, 1));
    storedPatient(*here, QStringLiteral("Martin"), QStringLiteral("Jean"), vimora::Sex::Male,
                  QDate(1980, 1, 2));
    const Patient paul = storedPatient(*here, QStringLiteral("Roux"), QStringLiteral("Paul"),
                                       vimora::Sex::Male, QDate(1990, 3, 4));
    RecordsDialog other(*elsewhere, RecordsDialog::Purpose::Browse);
    RecordsDialog dialog(*here, RecordsDialog::Purpose::Browse);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* list = control<QTableView>(dialog, "tvPatients");
    auto* status = control<QLabel>(dialog, "lblStatus");

    // Léa renamed elsewhere while her form is open here: the refused save shows her as stored,
    // and saving that succeeds.
    const vimora::test::DialogAnswerer<PatientForm> answerer([&](PatientForm& form) {
        Patient renamed = *elsewhere->patient(lea.id);
        renamed.nom = QStringLiteral("Durand-Petit");
        elsewhere->updatePatient(renamed);
        auto* prenom = control<QLineEdit>(form, "edPrenom");
        prenom->selectAll();
        QTest::keyClicks(prenom, QStringLiteral("Leane"));
        QTest::keyClick(prenom, Qt::Key_Return);
        QVERIFY(form.isVisible());
        QVERIFY(control<QLabel>(form, "lblStoreProblem")->text().endsWith(QStringLiteral("rechargées.")));
        QCOMPARE(control<QLineEdit>(form, "edNom")->text(), QStringLiteral("Durand-Petit"));
        QCOMPARE(prenom->text(), QStringLiteral("Léa"));
        prenom->selectAll();
        QTest::keyClicks(prenom, QStringLiteral("Leane"));
        QTest::keyClick(prenom, Qt::Key_Return);
        QVERIFY(!form.isVisible());
    });
    control<QPushButton>(dialog, "btnEditPatient")->click();
    QCOMPARE(answerer.answered(), 1);
    QCOMPARE(here->patient(lea.id)->prenom, QStringLiteral("Leane"));
    QCOMPARE(here->patient(lea.id)->nom, QStringLiteral("Durand-Petit"));
    QCOMPARE(rowsShown(list), QStringList({"Leane Durand-Petit", "Jean Martin", "Paul Roux"}));

    // Jean deleted and a visit of Léa stored in the other window: seen here on coming back.
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTest::keyClicks(control<QLineEdit>(other, "edSearch"), QStringLiteral("martin"));
    boxAnswers = {QMessageBox::Yes};
    control<QPushButton>(other, "btnDeletePatient")->click();
    addMeasure(*elsewhere, *elsewhere->patient(lea.id), QDate(2020, 3, 1), QStringLiteral("18"),
               QStringLiteral("1,05"));
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(rowsShown(list), QStringList({"Leane Durand-Petit", "Paul Roux"}));
    QCOMPARE(status->text(), QStringLiteral("Patient supprimé entre-temps, sur ce poste ou sur un autre : "
                                            "Jean Martin, né le 02/01/1980."));
    auto* visits = control<QTableWidget>(dialog, "twVisits");
    QCOMPARE(visits->rowCount(), 1);

    // And while this window stays active, within seconds, leaving the chosen visit chosen.
    visits->selectRow(0);
    elsewhere->deletePatient(paul.id);
    // The window looks every 3 s: the default 5 s wait left a loaded machine 2 s to run that look.
    QTRY_COMPARE_WITH_TIMEOUT(rowsShown(list), QStringList({"Leane Durand-Petit"}), 30000);
    QVERIFY(status->text().endsWith(QStringLiteral("Paul Roux, né le 04/03/1990.")));
    QVERIFY(control<QPushButton>(dialog, "btnDeleteVisit")->isEnabled());
}

void RecordsDialogTest::correctingBirthDateOrSexSaysHowManyVisitsChange() {
    const std::unique_ptr<PatientStore> store = openStore();
    const Patient patient = storedPatient(*store, QStringLiteral("Lefèvre"), QStringLiteral("Éloïse"),
                                          vimora::Sex::Female, QDate(2016, 3, 14));
    addMeasure(*store, patient, QDate(2020, 6, 15), QStringLiteral("15,5"), QStringLiteral("1,04"));
    addMeasure(*store, patient, QDate(2025, 6, 1), QStringLiteral("26,5"), QStringLiteral("1,40"));
    addMeasure(*store, patient, QDate(2026, 3, 14), QStringLiteral("39"), QStringLiteral("1,40"));
    PatientForm form(*store, patient);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* birth = control<QLineEdit>(form, "edNaissance");
    const auto* note = control<QLabel>(form, "lblReevaluation");
    const auto typeBirth = [&](const QString& date) {
        birth->selectAll();
        QTest::keyClicks(birth, date);
    };
    QVERIFY(note->isHidden());

    // A day later, only the visit of 14/03/2026 changes: the day before a tenth birthday.
    typeBirth(QStringLiteral("15/03/2016"));
    QCOMPARE(note->text(), QStringLiteral("1 consultation sera réévaluée"));
    QVERIFY(note->isVisible());
    QTest::mouseClick(control<QRadioButton>(form, "rbMasculin"), Qt::LeftButton);
    QCOMPARE(note->text(), QStringLiteral("3 consultations seront réévaluées"));
    typeBirth(QStringLiteral("13/03/2016"));
    QTest::mouseClick(control<QRadioButton>(form, "rbFeminin"), Qt::LeftButton);
    QVERIFY(note->isHidden());

    const QString unjudged =
        QStringLiteral("Une consultation de ce patient ne peut pas être réévaluée : la date de "
                       "la consultation précède la date de naissance.");
    typeBirth(QStringLiteral("01/01/2021"));
    QCOMPARE(note->text(), unjudged);
    QTest::keyClick(birth, Qt::Key_Return);
    QCOMPARE(control<QLabel>(form, "lblStoreProblem")->text(),
             unjudged + QStringLiteral(" Rien n'a été enregistré."));
    QVERIFY(form.isVisible());
    QCOMPARE(store->patient(patient.id)->naissance, QDate(2016, 3, 14));

    typeBirth(QStringLiteral("15/03/2016"));
    QTest::keyClick(birth, Qt::Key_Return);
    QVERIFY(form.isHidden());
    QCOMPARE(store->visits(patient.id).front().age, QStringLiteral("9,99"));
}

void RecordsDialogTest::newConsultationThenCtrlSSavesTodaysVisit() {
    const QDate birth = QDate::currentDate().addYears(-9).addDays(-40);
    const QString age = vimora::records::ageOn(birth, QDate::currentDate());
    qint64 id = 0;
    {
        const std::unique_ptr<PatientStore> store = openStore();
        // The sex already checked in a new window: the consultation must still choose it.
        id = storedPatient(*store, QStringLiteral("Petit"), QStringLiteral("Léo"), vimora::Sex::Male, birth)
                 .id;
    }
    choosingFirstPatient(1, Qt::Key_O, Qt::ControlModifier); // "Nouvelle consultation"
    QVERIFY(control<QRadioButton>("RadioButton1")->isChecked());
    QCOMPARE(field("edAge")->text(), age);
    QCOMPARE(window().focusWidget()->objectName(), QStringLiteral("edPoids"));
    auto* status = control<QStatusBar>("StatusBar1");
    QVERIFY2(status->currentMessage().contains(QStringLiteral("Léo Petit")),
             qPrintable(status->currentMessage()));

    // The offscreen platform gives the window back its activation only when asked.
    window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
    // Chosen as the user chooses: the other sex button is no longer a tab stop.
    for (const auto& [key, expected] : {std::pair{Qt::Key_Backtab, "edAge"},
                                        {Qt::Key_Backtab, "RadioButton1"},
                                        {Qt::Key_Backtab, "btnEffacer"},
                                        {Qt::Key_Tab, "RadioButton1"},
                                        {Qt::Key_Tab, "edAge"},
                                        {Qt::Key_Tab, "edPoids"}}) {
        QTest::keyClick(QApplication::focusWidget(), key,
                        key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(expected));
    }
    QTest::keyClicks(window().focusWidget(), QStringLiteral("30"));
    QTest::keyClick(window().focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(window().focusWidget(), QStringLiteral("1.35"));
    QTest::keyClick(window().focusWidget(), Qt::Key_Return);
    QCOMPARE(field("edIMC")->text(), QStringLiteral("16,46"));
    choosingFirstPatient(0, Qt::Key_S, Qt::ControlModifier);

    QCOMPARE(reports, QStringList());
    const std::vector<Visit> visits = openStore()->visits(id);
    QCOMPARE(visits.size(), std::size_t(1));
    QCOMPARE(visits[0].date, QDate::currentDate());
    QCOMPARE(visits[0].age, age);
    QCOMPARE(visits[0].taille, QStringLiteral("1,35"));
    QCOMPARE(visits[0].imc, QStringLiteral("16,46"));
    QCOMPARE(visits[0].resultat, field("edResultat")->text());
    const QString consultation = status->currentMessage();
    QCOMPARE(consultation, QStringLiteral("Consultation enregistrée : Léo Petit, le %1.")
                               .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))));

    // Ctrl+S again: the visit is not stored twice, and the note of the first save goes.
    choosingFirstPatient(0, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(reports, QStringList{QStringLiteral("Cette consultation est déjà enregistrée.")});
    QCOMPARE(openStore()->visits(id).size(), std::size_t(1));
    QVERIFY2(status->currentMessage().startsWith(QStringLiteral("Consultation : Léo Petit")),
             qPrintable(status->currentMessage()));
    reports.clear();

    // The note of a saved visit goes with the first thing that makes it untrue; each row saves a
    // new weight, then does that thing.
    struct Ending {
        const char* what;
        std::function<void()> done;
    };
    const Ending endings[] = {
        {"a field changed",
         [this] {
             QTest::keyClick(field("edPoids"), Qt::Key_5);
         }},
        {"a calculation shown",
         [this] {
             control<QPushButton>("btnCalculer")->click();
         }},
        {"a save refused",
         [this, id] {
             openStore()->deletePatient(id);
             QTest::keyClick(&window(), Qt::Key_S, Qt::ControlModifier);
         }},
    };
    int weight = 30;
    for (const Ending& ending : endings) {
        field("edPoids")->selectAll();
        QTest::keyClicks(field("edPoids"), QString::number(++weight));
        control<QPushButton>("btnCalculer")->click();
        QTest::keyClick(&window(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY2(status->currentMessage().contains(QStringLiteral("enregistrée")), ending.what);
        ending.done();
        QVERIFY2(status->currentMessage().startsWith(QStringLiteral("Consultation : Léo Petit")),
                 qPrintable(QStringLiteral("%1: %2").arg(ending.what, status->currentMessage())));
    }
    QCOMPARE(reports.size(), 1);
}

void RecordsDialogTest::ctrlSNeedsACurrentCalculationOfThePatientsAge() {
    auto type = [this](const char* name, const QString& text) {
        field(name)->selectAll();
        QTest::keyClicks(field(name), text);
    };
    // Ctrl+S; the records dialog that asks for the patient is answered "Choisir ce patient".
    auto save = [this](int dialogs) {
        choosingFirstPatient(dialogs, Qt::Key_S, Qt::ControlModifier);
    };

    save(0);
    type("edAge", QStringLiteral("35"));
    type("edPoids", QStringLiteral("80"));
    type("edTaille", QStringLiteral("1,75"));
    auto* calculate = control<QPushButton>("btnCalculer");
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
    QCOMPARE(reports.size(), 3);
    QCOMPARE(reports[0],
             QStringLiteral("Un calcul est d'abord nécessaire : saisissez l'âge, le poids et la taille du "
                            "patient, puis cliquez sur « Calculer »."));
    QCOMPARE(reports[1],
             QStringLiteral("Le sexe, l'âge, le poids ou la taille ont changé depuis le dernier calcul : "
                            "cliquez d'abord sur « Calculer »."));
    QVERIFY2(
        reports[2].startsWith(QStringLiteral("Le calcul a été fait pour un âge de 35 ans, mais Paul Roux")),
        qPrintable(reports[2]));
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

    // Never over the open records, even when the user says to replace them.
    savePaths = {database};
    boxAnswers = {QMessageBox::Yes};
    TrajectoryDialog(patient, visits, &window())
        .findChild<QPushButton*>(QStringLiteral("btnSavePdf"))
        ->click();
    QCOMPARE(reports.size(), 2);
    QVERIFY2(reports.back().contains(QStringLiteral("est la base de dossiers")), qPrintable(reports.back()));
    QCOMPARE(openStore()->patients().size(), std::size_t(1));
    reports.clear();
    saveRequests.clear();

    // The same pages saved as PDF from the patient's chart dialog, and printed, through the print
    // dialog, to a PDF printer.
    const QString saved = folder.filePath(QStringLiteral("dossier.pdf"));
    savePaths = {saved};
    TrajectoryDialog trajectory(patient, visits, &window());
    control<QPushButton>(trajectory, "btnSavePdf")->click();
    QCOMPARE(saveRequests.size(), 1);
    QCOMPARE(saveRequests[0].title, QStringLiteral("Enregistrer la fiche en PDF"));
    QCOMPARE(
        reports,
        QStringList{
            QStringLiteral("La fiche a été enregistrée dans « %1 ».").arg(QDir::toNativeSeparators(saved))});
    const QString printed = folder.filePath(QStringLiteral("imprime.pdf"));
    printAnswer = [&printed](QPrinter& printer) {
        printer.setOutputFileName(printed);
        return true;
    };
    printWithDialog(&window(), sheet);
    QCOMPARE(printTitles, QStringList{QStringLiteral("Imprimer la fiche")});
    for (const QString& pdf : {saved, printed}) {
        const QString text = pdfText(pdf);
        QCOMPARE(text.count(QStringLiteral("\f")), sheet.pageCount());
        for (int page = 1; page <= sheet.pageCount(); ++page)
            QVERIFY(text.contains(QStringLiteral("Page %1/%2").arg(page).arg(sheet.pageCount())));
        QVERIFY(text.contains(QStringLiteral("Z-7")));
    }
}

void RecordsDialogTest::aRecordsFailureIsToldInOneWayWhereverItHappens() {
    const std::unique_ptr<PatientStore> store = openStore();
    storedPatient(*store, QStringLiteral("Durand"), QStringLiteral("Léa"), vimora::Sex::Female,
                  QDate(2015, 2, 1));
    storedPatient(*store, QStringLiteral("Martin"), QStringLiteral("Jean"), vimora::Sex::Male,
                  QDate(1980, 1, 2));
    // Changes made behind the program's back, as another program would.
    const auto behindItsBack = [this](const QString& statement) {
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            raw.setDatabaseName(database);
            QVERIFY(raw.open());
            QVERIFY(QSqlQuery(raw).exec(statement));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    };

    // A refusal of the base that names no field is not put beside the record number.
    behindItsBack(QStringLiteral("CREATE TRIGGER refus BEFORE INSERT ON patient BEGIN SELECT RAISE(ABORT, "
                                 "'refus'); END"));
    PatientForm form(*store, Patient());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(control<QLineEdit>(form, "edNom"), QStringLiteral("Petit"));
    QTest::keyClicks(control<QLineEdit>(form, "edNaissance"), QStringLiteral("01/02/2015"));
    QTest::keyClick(control<QLineEdit>(form, "edNaissance"), Qt::Key_Return);
    QVERIFY(form.isVisible());
    QCOMPARE(control<QLabel>(form, "lblDossierProblem")->text(), QString());
    QVERIFY2(control<QLabel>(form, "lblStoreProblem")->text().contains(QStringLiteral("base de dossiers")),
             qPrintable(control<QLabel>(form, "lblStoreProblem")->text()));
    form.close();

    // The visits unreadable: choosing a patient as the user types, then opening the records from
    // the window, give the same warning.
    RecordsDialog dialog(*store, RecordsDialog::Purpose::Browse);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    behindItsBack(QStringLiteral("DROP TABLE visite"));
    QTest::keyClick(control<QLineEdit>(dialog, "edSearch"), Qt::Key_J);
    QCOMPARE(boxes.size(), 1);
    dialog.close();
    action("Dossierspatients1")->trigger();
    QCOMPARE(boxes.size(), 2);
    for (const MessageBoxes::Box& box : boxes) {
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.text, boxes.front().text);
    }
}

QString RecordsDialogTest::pdfText(const QString& pdf) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    pdftotext.waitForFinished();
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

QTEST_MAIN(RecordsDialogTest)
#include "RecordsDialogTest.moc"
