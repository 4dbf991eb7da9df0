// The records when the machine fails under them: a writer killed at random points, a full disk, a
// read-only disk. The disks are small tmpfs mounts, which need root: skipped otherwise.
#include "records/PatientStore.h"
#include "records/RecordsTransfer.h"
#include "records/VisitRecords.h"

#include "RawDatabase.h"
#include "TempDir.h"

#include <QBuffer>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <unistd.h>

#include <random>
#include <thread>

using namespace vimora;
using namespace vimora::records;
using recordstest::RawDatabase;

namespace {

QString qpath(const std::string& path) {
    return QString::fromStdString(path);
}

Patient patient(const QString& nom) {
    Patient p;
    p.nom = nom;
    p.sexe = Sex::Male;
    p.naissance = QDate(1980, 5, 2);
    return p;
}

// Measurements of one new patient, whose record number is `dossier`.
QByteArray measures(const QString& dossier, int count) {
    QByteArray csv = "dossier;nom;prenom;sexe;naissance;date;poids;taille\n";
    const QDate first(2000, 1, 1);
    for (int i = 0; i < count; ++i) {
        csv += QStringLiteral("%1;Tué;Éric;M;02/05/1980;%2;%3;1,75\n")
                   .arg(dossier, first.addDays(i).toString(Qt::ISODate))
                   .arg(60 + i % 40)
                   .toUtf8();
    }
    return csv;
}

TEST(Faults, EveryVisitReportedSavedSurvivesAKill) {
    testcommon::TemporaryDirectory directory;
    const QString base = qpath(directory / "dossiers.sqlite");
    openStore(base)->addPatient(patient(QStringLiteral("Tué")));
    constexpr int kImportedVisits = 300;

    std::random_device seed;
    const unsigned seedValue = seed();
    std::mt19937 random(seedValue);
    std::uniform_int_distribution<int> delayMs(0, 120);
    SCOPED_TRACE("seed " + std::to_string(seedValue));

    QSet<qint64> reported;
    int imports = 0;
    int importsReported = 0;
    for (int run = 0; run < 200; ++run) {
        const bool importing = run % 4 == 3;
        const QString dossier = QStringLiteral("K%1").arg(run);
        QStringList arguments{QStringLiteral("save"), base};
        if (importing) {
            const std::string file = directory / "import.csv";
            testcommon::writeFile(file, measures(dossier, kImportedVisits).toStdString());
            arguments = QStringList{QStringLiteral("import"), base, qpath(file)};
            ++imports;
        }
        QProcess writer;
        writer.start(QStringLiteral(VIMORA_RECORDS_WRITER), arguments);
        ASSERT_TRUE(writer.waitForStarted());
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        writer.kill();
        writer.waitForFinished();

        bool imported = false;
        for (const QByteArray& line : writer.readAllStandardOutput().split('\n')) {
            if (line.startsWith("saved "))
                reported.insert(line.mid(6).toLongLong());
            imported = imported || line == "imported";
        }
        importsReported += imported ? 1 : 0;

        const RawDatabase raw(base);
        ASSERT_EQ(raw.value(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"))
            << "run " << run;
        if (importing) {
            const int stored = raw.value(QStringLiteral("SELECT count(*) FROM visite v JOIN patient p ON "
                                                        "p.id = v.patient_id WHERE p.dossier = '%1'")
                                             .arg(dossier))
                                   .toInt();
            EXPECT_TRUE(stored == 0 || stored == kImportedVisits) << "run " << run << ": " << stored;
            if (imported) {
                EXPECT_EQ(stored, kImportedVisits) << "run " << run;
            }
        }
    }
    const auto store = openStore(base);
    QSet<qint64> stored;
    for (const PatientSummary& summary : store->patients()) {
        for (const Visit& visit : store->visits(summary.patient.id))
            stored.insert(visit.id);
    }
    EXPECT_TRUE(stored.contains(reported)) << reported.size() << " reported, " << stored.size() << " stored";
    EXPECT_TRUE(store->verify().sound);
    std::cout << reported.size() << " visits reported saved and " << importsReported << " of " << imports
              << " imports reported done before the kills\n";
}

// A tmpfs of its own, mounted for the test and removed at its end.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& path, const char* size)
        : m_path(path) {
        const std::string command =
            std::string("mount -t tmpfs -o size=") + size + ",mode=0700 tmpfs '" + path + "'";
        m_mounted = geteuid() == 0 && std::system(command.c_str()) == 0;
    }
    ~SmallDisk() {
        if (m_mounted)
            std::system(("umount '" + m_path + "'").c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    bool makeReadOnly() const { return std::system(("mount -o remount,ro '" + m_path + "'").c_str()) == 0; }

private:
    std::string m_path;
    bool m_mounted = false;
};

StoreError::Kind kindOf(const auto& action) {
    try {
        action();
    } catch (const StoreError& error) {
        EXPECT_FALSE(error.message().isEmpty());
        return error.kind();
    }
    return StoreError::Kind::Failed;
}

TEST(Faults, AFullDiskRollsBackAndLeavesEveryFileAsItWas) {
    testcommon::TemporaryDirectory directory;
    const SmallDisk disk(directory.path().string(), "400k");
    if (!disk.mounted())
        GTEST_SKIP() << "a small tmpfs needs root (mount -t tmpfs)";
    const QString base = qpath(directory / "dossiers.sqlite");
    const std::string earlierExport = directory / "export.csv";
    testcommon::writeFile(earlierExport, "export précédent\n");

    const auto store = openStore(base);
    const Patient stored = store->addPatient(patient(QStringLiteral("Plein")));
    int saved = 0;
    QString message;
    try {
        for (;; ++saved) {
            Visit visit = assessMeasurement(stored, QDate(2020, 1, 1).addDays(saved), QStringLiteral("80"),
                                            QStringLiteral("1,75"));
            visit.remarque = QString(900, QChar(0x00E9));
            store->addVisit(visit);
        }
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::DiskFull);
        message = error.message();
    }
    EXPECT_TRUE(message.contains(QStringLiteral("plein"))) << message.toStdString();
    EXPECT_GT(saved, 10);
    EXPECT_EQ(store->visits(stored.id).size(), std::size_t(saved));

    QBuffer csv;
    csv.setData(measures(QStringLiteral("D1"), 500));
    csv.open(QIODevice::ReadOnly);
    EXPECT_EQ(kindOf([&] { importVisits(*store, csv); }), StoreError::Kind::DiskFull);
    EXPECT_EQ(store->patients().size(), 1U);

    EXPECT_NE(kindOf([&] { exportVisitsToFile(*store, qpath(earlierExport)); }), StoreError::Kind::Input);
    EXPECT_EQ(testcommon::readFile(earlierExport), "export précédent\n");
    EXPECT_NE(kindOf([&] { store->backup(qpath(directory / "copie.sqlite")); }), StoreError::Kind::Input);
    EXPECT_EQ(testcommon::namesIn(directory.path()),
              (std::set<std::string>{"dossiers.sqlite", "dossiers.sqlite-shm", "dossiers.sqlite-wal",
                                     "export.csv"}));
    EXPECT_TRUE(store->verify().sound);
    EXPECT_EQ(store->visits(stored.id).size(), std::size_t(saved));
}

TEST(Faults, AReadOnlyDiskOpensTheRecordsForReading) {
    testcommon::TemporaryDirectory directory;
    const SmallDisk disk(directory.path().string(), "1m");
    if (!disk.mounted())
        GTEST_SKIP() << "a small tmpfs needs root (mount -t tmpfs)";
    const QString base = qpath(directory / "dossiers.sqlite");
    {
        const auto store = openStore(base);
        const Patient stored = store->addPatient(patient(QStringLiteral("Lu")));
        store->addVisit(
            assessMeasurement(stored, QDate(2020, 1, 1), QStringLiteral("80"), QStringLiteral("1,75")));
    }
    ASSERT_TRUE(disk.makeReadOnly());

    const auto store = openStore(base);
    EXPECT_TRUE(store->readOnly());
    EXPECT_TRUE(store->readOnlyNote().contains(QStringLiteral("lecture seule")));
    ASSERT_EQ(store->patients().size(), 1U);
    EXPECT_EQ(store->visits(store->patients().front().patient.id).size(), 1U);
    EXPECT_EQ(kindOf([&] { store->addPatient(patient(QStringLiteral("Refusé"))); }),
              StoreError::Kind::ReadOnly);
}

} // namespace
