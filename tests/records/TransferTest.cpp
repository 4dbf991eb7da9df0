// Import, export and alerts of the records on each engine: all or nothing, the window's texts,
// idempotence.
#include "engine/Assessment.h"
#include "records/RecordsCopy.h"
#include "records/RecordsTransfer.h"
#include "records/VisitRecords.h"

#include "Engines.h"

#include <QBuffer>

#include <tuple>

#include <gtest/gtest.h>

using namespace vimora;
using namespace vimora::records;

namespace {

const QDate kToday(2026, 12, 7);

const QByteArray kMeasures =
    QByteArrayLiteral("nom;prenom;dossier;sexe;naissance;date;poids;taille;remarque\n"
                      "Lefèvre;Éloïse;A12;F;14/03/2016;2017-03-20;9,8;0,76;ignorée\n"
                      "\"Lefèvre\";;A12;;;20/03/2018;12,1;0,87;\n"
                      ";;A12;;;20/03/2019;13,9;0,96;\n"
                      ";;A12;;;20/03/2020;15,5;1,04;\n"
                      ";;A12;;;20/03/2021;18,4;1,11;\n"
                      "Dupont;Jean;;M;1980-05-02;2024-01-10;82;1,78;\n"
                      "DUPONT;jéan;;m;2/5/1980;2025-01-10;95;1,78;\n"
                      "Petit;Léo;;M;2020-01-01;2021-01-01;9;0,29;\n");

ImportReport import(PatientStore& store, const QByteArray& csv) {
    QBuffer buffer;
    buffer.setData(csv);
    buffer.open(QIODevice::ReadOnly);
    return importVisits(store, buffer, kToday);
}

QByteArray exported(const PatientStore& store) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    exportVisits(store, buffer);
    return buffer.data();
}

class Transfer : public recordstest::OnEachEngine {
protected:
    std::unique_ptr<PatientStore> open(const char* name) { return openStore(freshBase(name)); }
};

TEST_P(Transfer, RefusesTheWholeFileForAnyBadRowAndListsThemAll) {
    const auto store = open("dossiers");
    const QByteArray bad = kMeasures + "Lefèvre;Éloïse;A12;F;14/03/2016;2022-03-20;0;1,2;\n"
                                       ";;A12;;;31/02/2022;20;1,2;\n"
                                       ";;A12;;;2015-01-01;20;1,2;\n"
                                       "Martin;Paul;B7;;2019-01-01;2022-01-01;20;1,2;\n"
                                       ";Paul;;M;2019-01-01;2022-01-01;20;1,2;\n"
                                       ";;A12;;;2022-01-01;20;un mètre;\n"
                                       ";;A12;;;2022-01-01;20;1.08;\n"
                                       "Petit;Zoé;;F;2030-01-01;;;;\n"
                                       ";;A12;;;2O22-03-20;20;1,2;\n";
    try {
        import(*store, bad);
        FAIL() << "imported";
    } catch (const ImportRefused& refused) {
        EXPECT_EQ(refused.rowErrors(),
                  QStringList(
                      {QStringLiteral("Ligne 10 : le poids doit être un nombre supérieur à zéro"),
                       QStringLiteral("Ligne 11 : la date de la consultation doit s'écrire JJ/MM/AAAA ou "
                                      "AAAA-MM-JJ"),
                       QStringLiteral("Ligne 12 : la date de la consultation précède la date de naissance"),
                       QStringLiteral("Ligne 13 : patient inconnu : le sexe doit être M ou F"),
                       QStringLiteral("Ligne 14 : sans dossier, le nom et la date de naissance (JJ/MM/AAAA "
                                      "ou AAAA-MM-JJ) désignent le patient"),
                       QStringLiteral("Ligne 15 : la taille doit être un nombre supérieur à zéro"),
                       QStringLiteral("Ligne 16 : la taille s'écrit avec une virgule décimale (1,08), pas un "
                                      "point"),
                       QStringLiteral("Ligne 17 : patient inconnu : la date de naissance est dans le futur"),
                       QStringLiteral("Ligne 18 : la date de la consultation doit s'écrire JJ/MM/AAAA ou "
                                      "AAAA-MM-JJ")}));
    }
    EXPECT_TRUE(store->patients().empty());

    try {
        import(*store, "nom;prenom;sexe;naissance;date;poids\n");
        FAIL() << "imported";
    } catch (const ImportRefused& refused) {
        EXPECT_TRUE(
            refused.rowErrors().front().startsWith(QStringLiteral("Ligne 1 : colonnes absentes de l'en-tête "
                                                                  ": dossier, taille")));
    }
    try {
        import(*store, kMeasures + "Petit;L\xe9"
                                   "a;;F;2019-01-01;2022-01-01;12;0,9;\n");
        FAIL() << "imported";
    } catch (const ImportRefused& refused) {
        EXPECT_EQ(refused.rowErrors(),
                  QStringList{QStringLiteral("Ligne 10 : texte qui n'est pas en UTF-8")});
    }
}

TEST_P(Transfer, StoresTheWindowsTextsAtTheAgeOfTheDatesAndImportsOnce) {
    const auto store = open("dossiers");
    ImportReport report = import(*store, kMeasures);
    EXPECT_EQ(report.patientsAdded, 3);
    EXPECT_EQ(report.visitsAdded, 8);
    EXPECT_EQ(report.warnings,
              QStringList{QStringLiteral("Ligne 9 : avertissement : mesure invraisemblable (taille "
                                         "hors de 0,3 à 2,5 m ou IMC hors de 8 à 100), importée "
                                         "quand même")});

    // Jean Dupont's second row names him without case or accents.
    const std::vector<PatientSummary> patients = store->patients();
    ASSERT_EQ(patients.size(), 3U);
    const Patient& dupont = patients[0].patient;
    const std::vector<Visit> visits = store->visits(dupont.id);
    ASSERT_EQ(visits.size(), 2U);
    const Calculation calculation = calculate(Sex::Male, {"44,68", "95", "1,78"}, ',');
    EXPECT_EQ(visits[0].age, QStringLiteral("44,68"));
    EXPECT_EQ(visits[0].imc.toStdString(), calculation.indexText);
    EXPECT_EQ(visits[0].poidsMax.toStdString(), calculation.maximumWeightText);
    EXPECT_EQ(visits[0].resultat.toStdString(), calculation.band.band);
    EXPECT_EQ(visits[0].objectif.toStdString(), calculation.band.objective);

    report = import(*store, kMeasures);
    EXPECT_EQ(report.patientsAdded, 0);
    EXPECT_EQ(report.patientsFound, 3);
    EXPECT_EQ(report.visitsAdded, 0);
    EXPECT_EQ(report.visitsSkipped, 8);
    // The implausible visit is not added again, so not reported again.
    EXPECT_TRUE(report.warnings.isEmpty());

    // The WHO's figures after the result, from the exact age in days (371, the girl's row for that
    // day: L -0,3719, M 16,3326, S 0,08791), none for an adult; an export imports back unchanged
    // into another base.
    const QByteArray first = exported(*store);
    const QList<QByteArray> lines = first.split('\n');
    EXPECT_EQ(lines[0], "dossier;nom;prenom;sexe;naissance;date;poids;taille;age;imc;resultat;z_oms;"
                        "percentile_oms;patient");
    const auto whoColumns = [&lines](const QByteArray& start) {
        for (const QByteArray& line : lines) {
            if (line.startsWith(start))
                return QString::fromUtf8(line).section(QLatin1Char(';'), -3, -2);
        }
        return QStringLiteral("absent");
    };
    EXPECT_EQ(whoColumns("A12;Lefèvre;Éloïse;F;14/03/2016;20/03/2017;9,8;0,76;1,01;16,96;"),
              QStringLiteral("0,43;66,5"));
    EXPECT_EQ(whoColumns(";Dupont;Jean;M;02/05/1980;10/01/2024;"), QStringLiteral(";"));
    const auto copy = open("copie");
    import(*copy, first);
    EXPECT_EQ(exported(*copy), first);
    EXPECT_EQ(import(*copy, first).visitsAdded, 0);
}

// A file is written as it is read, thousands of visits at a time: a patient met again after a
// write gets the visits, and a bad row at the end still leaves nothing of the whole file.
TEST_P(Transfer, WritesALargeFileAsItReadsItAndStillWholeOrNotAtAll) {
    QByteArray csv = "dossier;nom;prenom;sexe;naissance;date;poids;taille\n";
    const auto visit = [&csv](const char* patient, int day, const char* poids) {
        csv += QByteArray(patient) + QDate(2001, 1, 1).addDays(day).toString(Qt::ISODate).toUtf8() + ';' +
               poids + ";1,10\n";
    };
    constexpr int kDays = 6000;
    for (int day = 0; day < kDays; ++day)
        visit("A1;Martin;Léa;F;01/01/2000;", day, "20");
    visit("B2;Petit;Léo;M;01/01/2000;", 0, "20");
    visit("A1;;;;;", kDays, "20");
    // Already read: the same visit.
    visit("A1;;;;;", 0, "20,0");
    const QByteArray refused = csv + "B2;Petit;Léo;F;;2020-01-01;20;1,10\n";

    const auto store = open("dossiers");
    try {
        import(*store, refused);
        FAIL() << "imported";
    } catch (const ImportRefused& error) {
        EXPECT_EQ(error.rowErrors(),
                  QStringList{QStringLiteral("Ligne %1 : ce dossier est déjà celui d'un autre "
                                             "patient (autre sexe)")
                                  .arg(kDays + 5)});
    }
    EXPECT_TRUE(store->patients().empty());

    const ImportReport report = import(*store, csv);
    EXPECT_EQ(report.patientsAdded, 2);
    EXPECT_EQ(report.visitsAdded, kDays + 2);
    EXPECT_EQ(report.visitsSkipped, 1);
    const std::vector<PatientSummary> patients = store->patients();
    ASSERT_EQ(patients.size(), 2U);
    EXPECT_EQ(patients[0].visitCount, kDays + 1);
    EXPECT_EQ(patients[1].visitCount, 1);
}

// A new patient's alerts are those of their visits as stored: a visit the file gives twice is one,
// and the change between the two latest visits is still seen.
TEST_P(Transfer, StoresTheAlertsOfTheVisitsAsStored) {
    const auto store = open("dossiers");
    import(*store, "dossier;nom;prenom;sexe;naissance;date;poids;taille\n"
                   "C1;Roux;Noé;M;01/01/1990;2024-01-08;70;1,75\n"
                   "C1;;;;;2024-06-08;80;1,75\n"
                   "C1;;;;;2024-06-08;80,0;1,75\n");
    const PatientSummary summary = store->patients().front();
    EXPECT_EQ(summary.visitCount, 2);
    EXPECT_EQ(summary.alerts, QStringList{QString::fromUtf8(kResultChangeTitle)});
}

// A record number belongs to one identity: a row that names it with another nom, prénom, sexe or
// naissance, than the base or an earlier row, refuses the file.
TEST_P(Transfer, RefusesARowWhoseDossierIsAnotherPatients) {
    const auto store = open("dossiers");
    import(*store, "dossier;nom;prenom;sexe;naissance;date;poids;taille\n"
                   "K1;Konflikt;Anna;F;01/02/2015;01/03/2019;17;1,05\n");
    const QByteArray rows = "dossier;nom;prenom;sexe;naissance;date;poids;taille\n"
                            "K1;KONFLÍKT;anna;f;2015-02-01;01/03/2020;19;1,12\n"
                            "K1;Autrenom;Bob;M;03/03/2011;01/03/2021;30;1,30\n"
                            "K1;Konflikt;Anna;M;;01/03/2021;30;1,30\n"
                            "K1;;;;02/02/2015;01/03/2021;30;1,30\n"
                            "K2;Durand;Léa;F;01/01/2016;01/03/2021;20;1,15\n"
                            "K2;Durand;Lea;;;01/03/2022;22;1,20\n"
                            "K2;Durant;Léa;F;01/01/2016;01/03/2023;24;1,25\n";
    try {
        import(*store, rows);
        FAIL() << "imported";
    } catch (const ImportRefused& refused) {
        EXPECT_EQ(refused.rowErrors(),
                  QStringList({QStringLiteral("Ligne 3 : ce dossier est déjà celui d'un autre patient (autre "
                                              "nom, autre prénom, autre sexe, autre date de naissance)"),
                               QStringLiteral("Ligne 4 : ce dossier est déjà celui d'un autre patient (autre "
                                              "sexe)"),
                               QStringLiteral("Ligne 5 : ce dossier est déjà celui d'un autre patient (autre "
                                              "date de naissance)"),
                               QStringLiteral("Ligne 8 : ce dossier est déjà celui d'un autre patient (autre "
                                              "nom)")}));
    }
    ASSERT_EQ(store->patients().size(), 1U);
    EXPECT_EQ(store->visits(store->patients().front().patient.id).size(), 1U);
}

// Whatever the window can store comes back whole: patients without visits, homonyms with or
// without dossier; the same through a copy written by sauvegarder.
TEST_P(Transfer, AnExportImportsBackToTheSameRecords) {
    const auto store = open("dossiers");
    Patient lea;
    lea.nom = QStringLiteral("Durand");
    lea.prenom = QStringLiteral("Léa");
    lea.sexe = Sex::Female;
    lea.naissance = QDate(2015, 6, 1);
    for (const char* dossier : {"", "", "D1", "D2", ""}) {
        Patient patient = lea;
        patient.dossier = QString::fromLatin1(dossier);
        patient = store->addPatient(patient);
        // The fifth Léa has no visit, as a patient just created.
        if (store->patients().size() < 5) {
            store->addVisit(assessMeasurement(patient, QDate(2020, 1, 1), QString::number(18 + patient.id),
                                              QStringLiteral("1,10"), kToday));
        }
    }
    // Texts a spreadsheet would run, and one that looks already neutralised.
    for (const auto& [dossier, nom, prenom] :
         {std::tuple{"-1", "=cmd|' /C calc'!A0", "@HYPERLINK(\"http://x\")"}, std::tuple{"", "'=1", "+33"}}) {
        Patient patient = lea;
        patient.dossier = QString::fromUtf8(dossier);
        patient.nom = QString::fromUtf8(nom);
        patient.prenom = QString::fromUtf8(prenom);
        store->addPatient(patient);
    }
    const QByteArray first = exported(*store);
    EXPECT_EQ(first.count('\n'), 8);
    EXPECT_TRUE(first.contains("\n;''=1;'+33;F;")) << first.toStdString();
    EXPECT_TRUE(first.contains("\n'-1;'=cmd|' /C calc'!A0;\"'@HYPERLINK(\"\"http://x\"\")\";"))
        << first.toStdString();

    const auto copy = open("copie");
    ImportReport report = import(*copy, first);
    EXPECT_EQ(report.patientsAdded, 7);
    EXPECT_EQ(report.visitsAdded, 4);
    EXPECT_EQ(exported(*copy), first);
    report = import(*copy, first);
    EXPECT_EQ(report.patientsAdded, 0);
    EXPECT_EQ(report.patientsFound, 7);
    EXPECT_EQ(report.visitsAdded, 0);
    EXPECT_EQ(exported(*copy), first);

    const QString backup = QString::fromStdString(m_directory / "sauvegarde.sqlite");
    store->backup(backup);
    const auto restored = open("restauree");
    EXPECT_EQ(importCopy(*restored, backup).patientsAdded, 7);
    EXPECT_EQ(importCopy(*restored, backup).visitsAdded, 0);
    EXPECT_EQ(exported(*restored), first);
}

// A copy is restored under the same rule, and its texts never outlive the identity they rest on.
TEST_P(Transfer, RestoresACopyOnlyOntoTheSameIdentityAndJudgesItAgain) {
    const QString copyPath = QString::fromStdString(m_directory / "copie.sqlite");
    Patient lou;
    lou.nom = QStringLiteral("Martin");
    lou.prenom = QStringLiteral("Lou");
    lou.sexe = Sex::Female;
    lou.naissance = QDate(2016, 5, 10);
    {
        const auto copy = openStore(copyPath);
        const Patient stored = copy->addPatient(lou);
        copy->addVisit(assessMeasurement(stored, QDate(2024, 5, 10), QStringLiteral("33"),
                                         QStringLiteral("1,30"), kToday));
    }
    const auto store = open("dossiers");
    Patient boy = lou;
    boy.sexe = Sex::Male;
    boy = store->addPatient(boy);
    EXPECT_EQ(importCopy(*store, copyPath, kToday).patientsFound, 1);
    const std::vector<Visit> visits = store->visits(boy.id);
    ASSERT_EQ(visits.size(), 1U);
    const Visit asBoy =
        assessMeasurement(boy, QDate(2024, 5, 10), QStringLiteral("33"), QStringLiteral("1,30"));
    EXPECT_EQ(visits[0].resultat, asBoy.resultat);
    EXPECT_EQ(visits[0].poidsMax, asBoy.poidsMax);
    EXPECT_NE(
        asBoy.poidsMax,
        assessMeasurement(lou, QDate(2024, 5, 10), QStringLiteral("33"), QStringLiteral("1,30")).poidsMax);

    // The same dossier for another child: nothing restored.
    Patient other = lou;
    other.prenom = QStringLiteral("Zoé");
    other.dossier = QStringLiteral("C1");
    store->addPatient(other);
    {
        const auto copy = openStore(copyPath);
        Patient claimed = copy->patients().front().patient;
        claimed.dossier = QStringLiteral("C1");
        copy->updatePatient(claimed);
    }
    try {
        importCopy(*store, copyPath, kToday);
        FAIL() << "restored";
    } catch (const ImportRefused& refused) {
        EXPECT_EQ(
            refused.rowErrors(),
            QStringList{QStringLiteral("Patient n° 1 de la copie (dans l'ordre alphabétique) : ce dossier "
                                       "est déjà celui d'un autre patient (autre prénom)")});
    }
    EXPECT_EQ(store->patients().size(), 2U);
}

TEST_P(Transfer, ListsTheAlertsOfEveryPatient) {
    const auto store = open("dossiers");
    import(*store, kMeasures);
    Patient renamed;
    for (const PatientSummary& summary : store->patients()) {
        if (summary.patient.dossier == QLatin1String("A12"))
            renamed = summary.patient;
    }
    renamed.nom = QStringLiteral("=Lefèvre");
    store->updatePatient(renamed);
    QBuffer alerts;
    alerts.open(QIODevice::WriteOnly);
    writeAlerts(*store, alerts);
    EXPECT_EQ(alerts.data(),
              QByteArrayLiteral("dossier;nom;prenom;alerte;detail\n"
                                "A12;'=Lefèvre;Éloïse;Rebond d'adiposité précoce;IMC le plus bas à 4,01 "
                                "ans (14,33), puis remontée d'au moins 0,5 avant 8 ans\n"));
}

VIMORA_ON_EACH_ENGINE(Transfer);

} // namespace
