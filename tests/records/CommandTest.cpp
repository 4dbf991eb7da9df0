// vimora-dossiers run as a separate process, as a clinic would run it.
#include "TempDir.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>

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

// An export goes into a pipe or a device as a shell redirection would, never replacing it; what is
// no file is refused; an ordinary file ends readable by its owner alone.
TEST(Command, ExportWritesIntoPipesAndDevicesAndRefusesWhatIsNotAFile) {
    testcommon::TemporaryDirectory directory;
    const std::string base = directory / "dossiers.sqlite";
    const QString measures = QString::fromStdString(directory / "mesures.csv");
    testcommon::writeFile(measures.toStdString(), kMeasures);
    ASSERT_EQ(dossiers({QStringLiteral("importer"), measures}, base).exitCode, 0);
    const QString exported = dossiers({QStringLiteral("exporter")}, base).output;

    const QString pipe = QString::fromStdString(directory / "tube");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QProcess reader;
    reader.start(QStringLiteral("cat"), {pipe});
    ASSERT_TRUE(reader.waitForStarted());
    EXPECT_EQ(dossiers({QStringLiteral("exporter"), pipe}, base).exitCode, 0);
    ASSERT_TRUE(reader.waitForFinished());
    EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()), exported);

    EXPECT_EQ(dossiers({QStringLiteral("exporter"), QStringLiteral("/dev/null")}, base).exitCode, 0);
    const Outcome full = dossiers({QStringLiteral("exporter"), QStringLiteral("/dev/full")}, base);
    EXPECT_EQ(full.exitCode, 2);
    EXPECT_TRUE(full.errors.contains(QStringLiteral("« /dev/full » n'a pas été écrit : le disque est plein")))
        << full.errors.toStdString();
    for (const QString& device : {QStringLiteral("/dev/null"), QStringLiteral("/dev/full")})
        EXPECT_TRUE(QFileInfo(device).exists() && !QFileInfo(device).isFile()) << device.toStdString();
    EXPECT_FALSE(QFileInfo(pipe).isFile());

    const Outcome folder =
        dossiers({QStringLiteral("exporter"), QString::fromStdString(directory.path().string())}, base);
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_TRUE(folder.errors.contains(QStringLiteral("n'est pas un fichier")))
        << folder.errors.toStdString();

    const QString shared = QString::fromStdString(directory / "partage.csv");
    testcommon::writeFile(shared.toStdString(), "ancien\n");
    ASSERT_TRUE(QFile::setPermissions(shared, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ReadOther));
    EXPECT_EQ(dossiers({QStringLiteral("exporter"), shared}, base).exitCode, 0);
    EXPECT_EQ(QFile::permissions(shared) & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);
}

} // namespace
