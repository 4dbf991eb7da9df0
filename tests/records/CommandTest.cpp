// vimora-dossiers run as a separate process, as a clinic would run it.
#include "Engines.h"
#include "TempDir.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString output;
    QString errors;
};

Outcome dossiers(const QStringList& arguments, const std::string& database) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VIMORA_DATABASE"), QString::fromStdString(database));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VIMORA_DOSSIERS_PATH), arguments);
    process.waitForFinished(60000);
    Outcome run;
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

constexpr const char* kMeasures = "dossier;nom;prenom;sexe;naissance;date;poids;taille\n"
                                  "A12;Lefèvre;Éloïse;F;14/03/2016;20/03/2017;9,8;0,76\n"
                                  "A12;;;;;20/03/2018;12,1;0,87\n"
                                  "A12;;;;;20/03/2019;13,9;0,96\n"
                                  "A12;;;;;20/03/2020;15,5;1,04\n"
                                  "A12;;;;;20/03/2021;18,4;1,11\n";

TEST(Command, ImportsExportsAndBacksUpWithoutNamingAPatientOnStandardError) {
    testcommon::TemporaryDirectory directory;
    const std::string base = directory / "dossiers.sqlite";
    const QString bad = QString::fromStdString(directory / "bad.csv");
    testcommon::writeFile(bad.toStdString(),
                          std::string(kMeasures) + "A13;Martin;Zoé;F;2019-01-01;2022-01-01;0;1\n");

    const Outcome refused = dossiers({QStringLiteral("importer"), bad}, base);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.errors,
              QStringLiteral("vimora-dossiers : Ligne 7 : le poids doit être un nombre supérieur à "
                             "zéro\nvimora-dossiers : import refusé : rien n'a été enregistré.\n"));
    EXPECT_EQ(dossiers({QStringLiteral("exporter")}, base).output.count(QLatin1Char('\n')), 1);

    const QString good = QString::fromStdString(directory / "good.csv");
    testcommon::writeFile(good.toStdString(), kMeasures);
    const Outcome imported = dossiers({QStringLiteral("importer"), good}, base);
    EXPECT_EQ(imported.exitCode, 0);
    EXPECT_TRUE(imported.errors.isEmpty()) << imported.errors.toStdString();
    EXPECT_EQ(imported.output, QStringLiteral("Patients : 1 ajouté(s), 0 déjà présent(s). Consultations : 5 "
                                              "ajoutée(s), 0 déjà présente(s).\n"));
    EXPECT_TRUE(dossiers({QStringLiteral("alertes")}, base)
                    .output.contains(QStringLiteral("A12;Lefèvre;Éloïse;Rebond")));

    const QString copy = QString::fromStdString(directory / "copie.sqlite");
    EXPECT_EQ(dossiers({QStringLiteral("sauvegarder"), copy}, base).exitCode, 0);
    const Outcome checked = dossiers({QStringLiteral("--base"), copy, QStringLiteral("verifier")}, base);
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_TRUE(checked.output.contains(QStringLiteral("est saine"))) << checked.output.toStdString();
    EXPECT_EQ(dossiers({QStringLiteral("--base"), copy, QStringLiteral("exporter")}, base).output,
              dossiers({QStringLiteral("exporter")}, base).output);

    // importer of the copy restores it into another base, once.
    const std::string restored = directory / "restauree.sqlite";
    EXPECT_EQ(dossiers({QStringLiteral("importer"), copy}, restored).exitCode, 0);
    EXPECT_EQ(dossiers({QStringLiteral("exporter")}, restored).output,
              dossiers({QStringLiteral("exporter")}, base).output);
    EXPECT_TRUE(dossiers({QStringLiteral("importer"), copy}, restored)
                    .output.contains(QStringLiteral("Consultations : 0 ajoutée(s), 5 déjà présente(s).")));
}

TEST(Command, SaysInFrenchThatAFileIsNotRecordsAndLeavesIt) {
    testcommon::TemporaryDirectory directory;
    const std::string base = directory / "notes.txt";
    testcommon::writeFile(base, "Notes du cabinet\n");

    const Outcome checked = dossiers({QStringLiteral("verifier")}, base);
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_TRUE(checked.errors.contains(QStringLiteral("n'est pas une base de dossiers de Vimora")))
        << checked.errors.toStdString();
    EXPECT_EQ(dossiers({QStringLiteral("importer"), QStringLiteral("-")}, base).exitCode, 2);
    EXPECT_EQ(testcommon::readFile(base), "Notes du cabinet\n");

    const Outcome help = dossiers({QStringLiteral("--help")}, base);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.contains(QStringLiteral("importer FICHIER")));
    EXPECT_EQ(dossiers({QStringLiteral("effacer")}, base).exitCode, 2);
}

// Four importers started together on one base, with overlapping files whose patients have a
// dossier or only a name: each patient and visit is stored once, and the counts of the four add up.
class Concurrent : public recordstest::OnEachEngine {};

TEST_P(Concurrent, ImportersStoreEachPatientAndVisitOnceAndCountTruly) {
    constexpr int kFiles = 3;
    constexpr int kPatientsPerFile = 60;
    constexpr int kVisits = 8;
    const std::string base = freshBase("dossiers").toStdString();
    QStringList files;
    for (int file = 0; file < kFiles; ++file) {
        std::string csv = "dossier;nom;prenom;sexe;naissance;date;poids;taille\n";
        // Each file shares half its patients with the next.
        for (int patient = file * kPatientsPerFile / 2; patient < (file + 2) * kPatientsPerFile / 2;
             ++patient) {
            const std::string number = std::to_string(patient);
            for (int visit = 1; visit <= kVisits; ++visit) {
                // Appended piece by piece: g++ 12 warns wrongly (-Wrestrict) about a text added in front.
                if (patient % 2 == 0)
                    csv.append("P").append(number);
                csv.append(";Nom")
                    .append(number)
                    .append(";Éloïse;F;01/02/2012;0")
                    .append(std::to_string(visit));
                csv.append("/03/2020;").append(std::to_string(20 + visit)).append(",5;1,20\n");
            }
        }
        files << QString::fromStdString(m_directory / ("mesures" + std::to_string(file) + ".csv"));
        testcommon::writeFile(files.back().toStdString(), csv);
    }
    files << files.front();

    std::vector<std::unique_ptr<QProcess>> importers;
    for (const QString& file : files) {
        importers.push_back(std::make_unique<QProcess>());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VIMORA_DATABASE"), QString::fromStdString(base));
        importers.back()->setProcessEnvironment(environment);
        importers.back()->start(QStringLiteral(VIMORA_DOSSIERS_PATH), {QStringLiteral("importer"), file});
    }
    const QRegularExpression counts(
        QStringLiteral("Patients : (\\d+) ajouté\\(s\\), (\\d+) déjà présent\\(s\\). "
                       "Consultations : (\\d+) ajoutée\\(s\\), (\\d+) déjà "
                       "présente\\(s\\)."));
    int patientsAdded = 0;
    int visitsAdded = 0;
    for (const auto& importer : importers) {
        ASSERT_TRUE(importer->waitForFinished(60000));
        EXPECT_EQ(importer->exitCode(), 0) << importer->readAllStandardError().toStdString();
        const QRegularExpressionMatch said =
            counts.match(QString::fromUtf8(importer->readAllStandardOutput()));
        ASSERT_TRUE(said.hasMatch());
        patientsAdded += said.captured(1).toInt();
        visitsAdded += said.captured(3).toInt();
        EXPECT_EQ(said.captured(1).toInt() + said.captured(2).toInt(), kPatientsPerFile);
        EXPECT_EQ(said.captured(3).toInt() + said.captured(4).toInt(), kPatientsPerFile * kVisits);
    }
    constexpr int kPatients = (kFiles + 1) * kPatientsPerFile / 2;
    EXPECT_EQ(patientsAdded, kPatients);
    EXPECT_EQ(visitsAdded, kPatients * kVisits);
    EXPECT_EQ(rawValue(QString::fromStdString(base), QStringLiteral("SELECT count(*) FROM patient")),
              QString::number(kPatients));
    EXPECT_EQ(rawValue(QString::fromStdString(base), QStringLiteral("SELECT count(*) FROM visite")),
              QString::number(kPatients * kVisits));
    EXPECT_EQ(dossiers({QStringLiteral("verifier")}, base).exitCode, 0);
}

VIMORA_ON_EACH_ENGINE(Concurrent);

} // namespace
