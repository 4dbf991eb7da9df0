// vimora-dossiers run as a separate process, as a clinic would run it.
#include "DossiersCommand.h"
#include "Engines.h"
#include "RawDatabase.h"
#include "TempDir.h"
#include "records/PatientStore.h"
#include "records/RecordsTransfer.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

namespace {

using recordstest::CommandOptions;
using recordstest::dossiers;
using recordstest::Outcome;
namespace fs = std::filesystem;
using namespace vimora::records;

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

    // What runs killed before their end left beside the copy goes; a copy being written stays.
    testcommon::writeFile(directory / ".copie.sqlite.Tue123", "copie interrompue");
    testcommon::writeFile(directory / ".copie.sqlite.Tue123-journal", "son journal");
    testcommon::writeFile(directory / ".copie.sqlite.Tue456-journal", "un journal seul");
    const std::string running = directory / ".copie.sqlite.EnCour";
    testcommon::writeFile(running, "copie en cours");
    const int held = open(running.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const QString copy = QString::fromStdString(directory / "copie.sqlite");
    EXPECT_EQ(dossiers({QStringLiteral("sauvegarder"), copy}, base).exitCode, 0);
    close(held);
    fs::remove(running);
    const auto names = testcommon::namesIn(directory.path());
    EXPECT_EQ(names, (std::set<std::string>{"bad.csv", "copie.sqlite", "dossiers.sqlite", "good.csv"}));
    const Outcome checked = dossiers({QStringLiteral("--base"), copy, QStringLiteral("verifier")}, base);
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_TRUE(checked.output.contains(QStringLiteral("est saine"))) << checked.output.toStdString();
    EXPECT_EQ(dossiers({QStringLiteral("--base"), copy, QStringLiteral("exporter")}, base).output,
              dossiers({QStringLiteral("exporter")}, base).output);

    // importer of the copy restores it into another base, once, and leaves the copy as it was.
    // A copy in the rollback journal's mode, as other tools write them, is not switched to WAL.
    EXPECT_TRUE(recordstest::RawDatabase(copy).exec(QStringLiteral("PRAGMA journal_mode = DELETE")));
    const std::string written = testcommon::readFile(copy.toStdString());
    const std::string restored = directory / "restauree.sqlite";
    EXPECT_EQ(dossiers({QStringLiteral("importer"), copy}, restored).exitCode, 0);
    EXPECT_EQ(testcommon::readFile(copy.toStdString()), written);
    EXPECT_FALSE(fs::exists(directory / "copie.sqlite-wal"));
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

// What the system refuses reaches the user in French, and a command that could not write all its
// output, or could not check the records, fails.
TEST(Command, TellsFailuresInFrenchAndNeverSucceedsWithoutItsOutput) {
    testcommon::TemporaryDirectory directory;
    fs::permissions(directory.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string base = directory / "dossiers.sqlite";
    testcommon::writeFile(directory / "mesures.csv", kMeasures);
    ASSERT_EQ(dossiers({QStringLiteral("importer"), QString::fromStdString(directory / "mesures.csv")}, base)
                  .exitCode,
              0);
    const QString full = QStringLiteral("/dev/full");
    const char* outputLost =
        "la sortie standard n'a pas pu être écrite entièrement : plus de place sur le disque.";
    const struct {
        const char* name;
        QStringList arguments;
        std::string database;
        QString outputFile;
        bool asNobody;
        int exitCode;
        const char* error;
    } rows[] = {
        {"ExportToAFullDevice", {QStringLiteral("exporter")}, base, full, false, 2, outputLost},
        {"AlertsToAFullDevice", {QStringLiteral("alertes")}, base, full, false, 2, outputLost},
        {"VerifyToAFullDevice", {QStringLiteral("verifier")}, base, full, false, 2, outputLost},
        {"ImportAMissingFile",
         {QStringLiteral("importer"), QString::fromStdString(directory / "absent.csv")},
         base,
         {},
         false,
         2,
         "ne peut pas être lu : fichier introuvable"},
        {"ImportAFolder",
         {QStringLiteral("importer"), QString::fromStdString(directory.path().string())},
         base,
         {},
         false,
         2,
         "ne peut pas être lu : c'est un répertoire"},
        {"ReadABaseItsUserMayNotRead",
         {QStringLiteral("exporter")},
         base,
         {},
         true,
         2,
         "ne peut pas être lue : permission refusée."},
        {"VerifyAServerThatDoesNotAnswer",
         {QStringLiteral("verifier")},
         "postgresql://vimora@127.0.0.1:1/dossiers",
         {},
         false,
         2,
         "ne répond pas"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.asNobody && geteuid() != 0)
            continue;
        const Outcome outcome = dossiers(
            row.arguments, row.database,
            CommandOptions{.input = std::nullopt, .asNobody = row.asNobody, .outputFile = row.outputFile});
        EXPECT_EQ(outcome.exitCode, row.exitCode);
        EXPECT_TRUE(outcome.errors.contains(QString::fromUtf8(row.error))) << outcome.errors.toStdString();
    }
}

// Every refusal leaves the folder of the records as it was: no base created, no file of the records
// written, whatever path names it.
TEST(Command, RefusesToCreateAMissingBaseOrToTouchTheRecordsOwnFiles) {
    testcommon::TemporaryDirectory directory;
    const std::string base = directory / "dossiers.sqlite";
    testcommon::writeFile(directory / "mesures.csv", kMeasures);
    ASSERT_EQ(dossiers({QStringLiteral("importer"), QString::fromStdString(directory / "mesures.csv")}, base)
                  .exitCode,
              0);
    fs::create_symlink(base, directory / "lien.sqlite");
    fs::create_directory_symlink(directory.path(), directory / "lien-dossier");

    const std::string absent = directory / "partage/dossiers.sqlite";
    const struct {
        const char* name;
        QStringList arguments;
        std::string database;
        const char* error;
    } rows[] = {
        {"VerifyMissing", {QStringLiteral("verifier")}, absent, "n'existe pas"},
        {"ExportMissing", {QStringLiteral("exporter")}, absent, "n'existe pas"},
        {"AlertsMissing", {QStringLiteral("alertes")}, absent, "n'existe pas"},
        {"BackUpOntoTheBase",
         {QStringLiteral("sauvegarder"), QString::fromStdString(base)},
         base,
         "ses fichiers"},
        {"ExportOntoTheBaseOtherwiseSpelt",
         {QStringLiteral("exporter"), QString::fromStdString(directory / "./dossiers.sqlite")},
         base,
         "ses fichiers"},
        {"ExportThroughALink",
         {QStringLiteral("exporter"), QString::fromStdString(directory / "lien.sqlite")},
         base,
         "ses fichiers"},
        {"BackUpOntoTheWal",
         {QStringLiteral("sauvegarder"), QString::fromStdString(base + "-wal")},
         base,
         "ses fichiers"},
        {"BackUpOntoAJournalThroughAFolderLink",
         {QStringLiteral("sauvegarder"),
          QString::fromStdString(directory / "lien-dossier/dossiers.sqlite-journal")},
         base,
         "ses fichiers"},
        {"ImportTheBaseItself",
         {QStringLiteral("importer"), QString::fromStdString(directory / "lien.sqlite")},
         base,
         "ses fichiers"},
    };
    const std::string records = testcommon::readFile(base);
    const auto names = testcommon::namesIn(directory.path());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Outcome refused = dossiers(row.arguments, row.database);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(refused.errors.contains(QString::fromUtf8(row.error))) << refused.errors.toStdString();
        EXPECT_EQ(testcommon::namesIn(directory.path()), names);
        EXPECT_EQ(testcommon::readFile(base), records);
    }
}

// A pipe is read once, from its start: it is never taken for a copy of the records.
TEST(Command, ImportsFromAPipe) {
    testcommon::TemporaryDirectory directory;
    const std::string fifo = directory / "mesures.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        const int end = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        EXPECT_EQ(write(end, kMeasures, std::strlen(kMeasures)), ssize_t(std::strlen(kMeasures)));
        close(end);
    });
    const Outcome fromFifo =
        dossiers({QStringLiteral("importer"), QString::fromStdString(fifo)}, directory / "fifo.sqlite",
                 CommandOptions{.input = std::nullopt, .waitMs = 20000});
    // Lets the writer go if the command never opened the pipe.
    const int release = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer.join();
    close(release);
    const Outcome fromStdin = dossiers({QStringLiteral("importer"), QStringLiteral("/dev/stdin")},
                                       directory / "stdin.sqlite", CommandOptions{.input = kMeasures});
    for (const Outcome& imported : {fromFifo, fromStdin}) {
        EXPECT_EQ(imported.exitCode, 0) << imported.errors.toStdString();
        EXPECT_TRUE(imported.output.contains(QStringLiteral("Consultations : 5 ajoutée(s)")))
            << imported.output.toStdString();
    }
}

// The base as a killed program (or one still running) leaves it: its last visits committed in the
// -wal, beside the -shm; then moved where the user running the command may not write.
TEST(Command, AReadOnlyBaseIsReadWholeOrRefusedAndNothingIsCreatedBesideIt) {
    if (geteuid() != 0)
        GTEST_SKIP() << "runs the command as another user, which needs root";
    testcommon::TemporaryDirectory directory;
    fs::permissions(directory.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    testcommon::writeFile(directory / "mesures.csv", kMeasures);
    QByteArray later = "dossier;nom;prenom;sexe;naissance;date;poids;taille\n";
    for (int i = 0; i < 20; ++i)
        later += QStringLiteral("B7;Martin;Noé;M;12/06/2012;%1;30;1,30\n")
                     .arg(QDate(2020, 1, 1).addDays(i).toString(Qt::ISODate))
                     .toUtf8();

    const auto prepare = [&](const std::string& folder, bool journalled) {
        const std::string base = directory / (folder + "/dossiers.sqlite");
        EXPECT_EQ(
            dossiers({QStringLiteral("importer"), QString::fromStdString(directory / "mesures.csv")}, base)
                .exitCode,
            0);
        if (journalled) {
            const pid_t child = fork();
            if (child == 0) {
                PatientStore* store = openStore(QString::fromStdString(base)).release();
                QBuffer csv(&later);
                csv.open(QIODevice::ReadOnly);
                importVisits(*store, csv);
                _exit(0);
            }
            waitpid(child, nullptr, 0);
        }
        for (const auto& entry : fs::directory_iterator(directory / folder))
            EXPECT_EQ(chown(entry.path().c_str(), 65534, 65534), 0);
        fs::permissions(base, fs::perms::owner_read);
        return base;
    };
    const struct {
        const char* name;
        bool journalled;
        bool withoutShm;
        bool writableFolder;
        const char* command;
        int exitCode;
        qsizetype lines;
    } rows[] = {
        {"CommittedWalInAReadOnlyFolder", true, false, false, "exporter", 0, 26},
        {"CommittedWalWithoutItsShm", true, true, false, "verifier", 2, 0},
        {"ReadOnlyFileInAWritableFolder", false, false, true, "exporter", 0, 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string base = prepare(row.name, row.journalled);
        if (row.withoutShm)
            fs::remove(base + "-shm");
        const fs::path folder = fs::path(base).parent_path();
        if (row.writableFolder)
            EXPECT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        else
            fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                                        fs::perms::group_read | fs::perms::others_read);
        const auto names = testcommon::namesIn(folder);
        const Outcome exported = dossiers({QString::fromLatin1(row.command)}, base,
                                          CommandOptions{.input = std::nullopt, .asNobody = true});
        EXPECT_EQ(exported.exitCode, row.exitCode) << exported.errors.toStdString();
        EXPECT_EQ(exported.output.count(QLatin1Char('\n')), row.lines);
        if (row.withoutShm) {
            EXPECT_TRUE(exported.errors.contains(QStringLiteral("journal"))) << exported.errors.toStdString();
        }
        EXPECT_EQ(testcommon::namesIn(folder), names);
    }
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
        // Not a word of the drivers either, on a base whose tables the first importer creates.
        const QByteArray errors = importer->readAllStandardError();
        EXPECT_EQ(importer->exitCode(), 0) << errors.toStdString();
        EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
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
