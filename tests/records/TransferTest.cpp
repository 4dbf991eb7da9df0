// Import, export and alerts of the records on each engine: all or nothing, the window's texts,
// idempotence.
#include "Assessment.h"
#include "RecordsTransfer.h"
#include "VisitRecords.h"

#include "Engines.h"

#include <QBuffer>

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
                      "DUPONT;jéan;;m;02/05/1980;2025-01-10;95;1,78;\n"
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
                                       ";;A12;;;2022-01-01;20;un mètre;\n";
    try {
        import(*store, bad);
        FAIL() << "imported";
    } catch (const ImportRefused& refused) {
        EXPECT_EQ(refused.rowErrors(),
                  QStringList(
                      {QStringLiteral("Ligne 10 : le poids doit être un nombre supérieur à zéro"),
                       QStringLiteral("Ligne 11 : la date de la consultation doit s'écrire JJ/MM/AAAA ou "
                                      "AAAA-MM-JJ"),
                       QStringLiteral("Ligne 12 : La date de la consultation précède la date de naissance."),
                       QStringLiteral("Ligne 13 : patient inconnu : le sexe doit être M ou F"),
                       QStringLiteral("Ligne 14 : sans dossier, le nom et la date de naissance (JJ/MM/AAAA "
                                      "ou AAAA-MM-JJ) désignent le patient"),
                       QStringLiteral("Ligne 15 : la taille doit être un nombre supérieur à zéro")}));
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

    // An export imports back unchanged into another base.
    const QByteArray first = exported(*store);
    const auto copy = open("copie");
    import(*copy, first);
    EXPECT_EQ(exported(*copy), first);
    EXPECT_EQ(import(*copy, first).visitsAdded, 0);
}

TEST_P(Transfer, ListsTheAlertsOfEveryPatient) {
    const auto store = open("dossiers");
    import(*store, kMeasures);
    QBuffer alerts;
    alerts.open(QIODevice::WriteOnly);
    writeAlerts(*store, alerts);
    EXPECT_EQ(alerts.data(),
              QByteArrayLiteral("dossier;nom;prenom;alerte;detail\n"
                                "A12;Lefèvre;Éloïse;Rebond d'adiposité précoce;IMC le plus bas à 4,01 "
                                "ans (14,33), puis remontée d'au moins 0,5 avant 8 ans\n"));
}

VIMORA_ON_EACH_ENGINE(Transfer);

} // namespace
