// The store on each engine (a real SQLite file, a real PostgreSQL server): creation and migration,
// refusal of a newer version, the field rules and constraints, concurrent changes, Unicode; and
// what only a file has: its modes, files that are not its own, the lock wait.
#include "records/PatientStore.h"
#include "records/RecordsTransfer.h"
#include "records/Schema.h"
#include "records/VisitRecords.h"

#include "Engines.h"
#include "NamedRows.h"
#include "RawDatabase.h"
#include "TempDir.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

using namespace vimora;
using namespace vimora::records;
using recordstest::EngineKind;
using recordstest::RawDatabase;

namespace {

QString qpath(const std::string& path) {
    return QString::fromStdString(path);
}

Patient child(const QString& nom, const QString& dossier = {}) {
    Patient patient;
    patient.nom = nom;
    patient.prenom = QStringLiteral("Éloïse");
    patient.sexe = Sex::Female;
    patient.naissance = QDate(2016, 3, 14);
    patient.dossier = dossier;
    return patient;
}

Visit measured(const Patient& patient, QDate date, const QString& poids, const QString& taille) {
    return assessMeasurement(patient, date, poids, taille, QDate(2026, 12, 7));
}

// What the records show of a visit.
QString shown(const Visit& visit) {
    return QStringList{visit.date.toString(Qt::ISODate),
                       visit.age,
                       visit.imc,
                       visit.poidsMax,
                       visit.poidsMin,
                       visit.resultat,
                       visit.conseils,
                       visit.objectif,
                       visit.remarque}
        .join(QLatin1Char('|'));
}

QStringList shown(const std::vector<Visit>& visits) {
    QStringList texts;
    for (const Visit& visit : visits)
        texts << shown(visit);
    return texts;
}

// The visits as `patient` is given them by the import: the same dates, measures and remarks.
QStringList judgedAs(const Patient& patient, const std::vector<Visit>& visits) {
    QStringList texts;
    for (const Visit& visit : visits) {
        Visit judged = measured(patient, visit.date, visit.poids, visit.taille);
        judged.remarque = visit.remarque;
        texts << shown(judged);
    }
    return texts;
}

StoreError::Kind kindOf(const auto& action) {
    try {
        action();
    } catch (const StoreError& error) {
        return error.kind();
    }
    return StoreError::Kind::Failed;
}

QString messageOf(const auto& action) {
    try {
        action();
    } catch (const StoreError& error) {
        return error.message();
    }
    return QStringLiteral("(no error)");
}

unsigned mode(const std::string& path) {
    struct stat status {};
    stat(path.c_str(), &status);
    return status.st_mode & 0777U;
}

class Store : public recordstest::OnEachEngine {};

TEST_P(Store, CreatesTheSchemaAndKeepsWhatItStores) {
    const QString setting = freshBase("dossiers");
    qint64 id = 0;
    {
        const auto store = openStore(setting);
        EXPECT_FALSE(store->readOnly());
        const Patient stored = store->addPatient(child(QStringLiteral("Lefèvre"), QStringLiteral("A12")));
        id = stored.id;
        EXPECT_EQ(stored.version, 1);
        EXPECT_TRUE(stored.created.isValid());
        store->addVisit(measured(stored, QDate(2020, 3, 20), QStringLiteral("15,5"), QStringLiteral("1,04")));
    }
    EXPECT_EQ(rawValue(setting, QString::fromLatin1(GetParam().versionQuery)),
              QString::number(kSchemaVersion));
    EXPECT_EQ(rawValue(setting, QStringLiteral("SELECT age || ' ' || imc || ' ' || resultat FROM visite")),
              QStringLiteral("4,01 14,33 Corpulence normale."));
    // Opened again, nothing to migrate: the same records.
    const auto store = openStore(setting);
    ASSERT_EQ(store->patients().size(), 1U);
    EXPECT_EQ(store->patients().front().lastResult, QStringLiteral("Corpulence normale."));
    EXPECT_EQ(store->visits(id).size(), 1U);
}

// Visits that concurrent saves stored twice before the unique key: verifier tells, and the
// migration keeps one of each, with every remark.
TEST_P(Store, MergesVisitsStoredTwice) {
    const QString setting = freshBase("dossiers");
    qint64 id = 0;
    {
        const auto store = openStore(setting);
        const Patient patient = store->addPatient(child(QStringLiteral("Lefèvre")));
        id = patient.id;
        Visit visit = measured(patient, QDate(2020, 3, 20), QStringLiteral("15,5"), QStringLiteral("1,04"));
        store->addVisit(visit);
        visit = measured(patient, QDate(2021, 3, 20), QStringLiteral("16,2"), QStringLiteral("1,10"));
        visit.remarque = QStringLiteral("première");
        store->addVisit(visit);
    }
    const QString copies = QStringLiteral(
        "INSERT INTO visite (patient_id, date, age, poids, taille, imc, poids_max, poids_min, resultat, "
        "conseils, objectif, remarque, creation) SELECT patient_id, date, age, poids || '0', taille, imc, "
        "poids_max, poids_min, resultat, conseils, objectif, %1, creation FROM visite WHERE %2");
    rawExec(setting, QStringLiteral("DROP INDEX visite_mesure"));
    rawExec(setting, copies.arg(QStringLiteral("'seconde'"), QStringLiteral("true")));
    rawExec(setting, copies.arg(QStringLiteral("remarque"), QStringLiteral("remarque = 'première'")));
    const CheckReport before = openStore(setting)->verify();
    EXPECT_FALSE(before.sound);
    EXPECT_TRUE(before.message.contains(QStringLiteral("3 consultation(s) enregistrée(s) en double")))
        << before.message.toStdString();

    makeOlder(setting, 1);
    const auto store = openStore(setting);
    const std::vector<Visit> visits = store->visits(id);
    ASSERT_EQ(visits.size(), 2U);
    EXPECT_EQ(visits[0].poids, QStringLiteral("16,2"));
    EXPECT_EQ(visits[0].remarque, QStringLiteral("première\nseconde"));
    EXPECT_EQ(visits[1].poids, QStringLiteral("15,5"));
    EXPECT_EQ(visits[1].remarque, QStringLiteral("seconde"));
    EXPECT_TRUE(store->verify().sound) << store->verify().message.toStdString();
    EXPECT_EQ(
        rawValue(setting,
                 GetParam().kind == EngineKind::Sqlite
                     ? QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'visite_mesure'")
                     : QStringLiteral("SELECT count(*) FROM pg_indexes WHERE indexname = 'visite_mesure'")),
        QStringLiteral("1"));
}

// What a base changed behind the program's back holds against the schema: verifier tells it.
TEST_P(Store, VerifierFindsADroppedIndexATriggerAndHiddenRows) {
    const QString setting = freshBase("dossiers");
    openStore(setting)->addPatient(child(QStringLiteral("Lefèvre")));
    const bool sqlite = GetParam().kind == EngineKind::Sqlite;
    const struct {
        bool onSqlite;
        bool onServer;
        const char* statement;
        const char* told;
    } rows[] = {
        {true, true, "DROP INDEX visite_patient_date",
         "l'index visite_patient_date de la table visite manque"},
        {true, true, "DROP INDEX visite_mesure", ""},
        {true, true, "CREATE INDEX visite_mesure ON visite (patient_id)",
         "l'index visite_mesure de la table visite diffère du schéma 5"},
        {true, false,
         "CREATE TRIGGER remise AFTER INSERT ON visite BEGIN UPDATE visite SET poids = '0' WHERE id = "
         "new.id; END",
         "la table visite porte un déclencheur (remise)"},
        {false, true,
         "CREATE FUNCTION remise() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN NEW.poids := '0'; RETURN "
         "NEW; "
         "END $$; CREATE TRIGGER remise BEFORE INSERT ON visite FOR EACH ROW EXECUTE FUNCTION remise()",
         "la table visite porte un déclencheur (remise)"},
        {false, true,
         "ALTER TABLE visite ENABLE ROW LEVEL SECURITY; CREATE POLICY cachees ON visite USING (false)",
         "la sécurité au niveau des lignes est activée sur la table visite (politiques : cachees)"},
    };
    for (const auto& row : rows) {
        if (sqlite ? row.onSqlite : row.onServer)
            rawExec(setting, QString::fromUtf8(row.statement));
    }
    const CheckReport report = openStore(setting)->verify();
    EXPECT_FALSE(report.sound);
    for (const auto& row : rows) {
        if (sqlite ? row.onSqlite : row.onServer) {
            EXPECT_TRUE(report.message.contains(QString::fromUtf8(row.told))) << report.message.toStdString();
        }
    }
}

// Even at umask 000: the folders it creates, a file someone else made that it turns into a base,
// the base's journals and its copies.
TEST(SqliteFile, IsPrivateAndJournaled) {
    testcommon::TemporaryDirectory directory;
    const mode_t umaskBefore = umask(0);
    const auto restoreUmask = qScopeGuard([&] { umask(umaskBefore); });
    const std::string touched = directory / "notes.dat";
    ASSERT_TRUE(QFile(qpath(touched)).open(QIODevice::WriteOnly));
    ASSERT_EQ(chmod(touched.c_str(), 0644), 0);
    const std::string copy = directory / "copie.sqlite";
    ASSERT_TRUE(QFile(qpath(copy)).open(QIODevice::WriteOnly));
    ASSERT_EQ(chmod(copy.c_str(), 0666), 0);

    for (const std::string& path : {directory / "vimora/cabinet/dossiers.sqlite", touched}) {
        SCOPED_TRACE(path);
        const auto store = openStore(qpath(path));
        store->addPatient(child(QStringLiteral("Lefèvre")));
        for (const char* suffix : {"", "-wal", "-shm"})
            EXPECT_EQ(mode(path + suffix), 0600U) << suffix;
        store->backup(qpath(copy));
    }
    EXPECT_EQ(mode(directory / "vimora"), 0700U);
    EXPECT_EQ(mode(directory / "vimora/cabinet"), 0700U);
    EXPECT_EQ(mode(copy), 0600U);
    EXPECT_EQ(testcommon::namesIn(directory.path()),
              (std::set<std::string>{"copie.sqlite", "notes.dat", "vimora"}));
    const RawDatabase raw(qpath(touched));
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
}

TEST_P(Store, RefusesANewerVersionWithoutTouchingIt) {
    const QString setting = freshBase("dossiers");
    openStore(setting)->addPatient(child(QStringLiteral("Lefèvre")));
    rawExec(setting, QString::fromLatin1(GetParam().newerVersion));
    const std::string before =
        GetParam().kind == EngineKind::Sqlite ? testcommon::readFile(setting.toStdString()) : std::string();

    EXPECT_TRUE(messageOf([&] { openStore(setting); }).contains(QStringLiteral("version plus récente")));
    EXPECT_EQ(rawValue(setting, QString::fromLatin1(GetParam().versionQuery)), QStringLiteral("99"));
    EXPECT_EQ(rawValue(setting, QStringLiteral("SELECT count(*) FROM patient")), QStringLiteral("1"));
    if (GetParam().kind == EngineKind::Sqlite) {
        EXPECT_EQ(testcommon::readFile(setting.toStdString()), before);
    }
}

struct ForeignFile {
    const char* name;
    void (*make)(const std::string& path);
};

class NotItsOwn : public testing::TestWithParam<ForeignFile> {};

TEST_P(NotItsOwn, IsRefusedInFrenchAndNeverWritten) {
    testcommon::TemporaryDirectory directory;
    const std::string path = directory / "dossiers.sqlite";
    GetParam().make(path);
    const bool isFile = QFileInfo(qpath(path)).isFile();
    const std::string before = isFile ? testcommon::readFile(path) : std::string();

    const QString message = messageOf([&] { openStore(qpath(path))->patients(); });
    EXPECT_TRUE(message.contains(qpath(path))) << message.toStdString();
    EXPECT_EQ(kindOf([&] { openStore(qpath(path))->patients(); }), StoreError::Kind::Damaged);
    if (isFile) {
        EXPECT_EQ(testcommon::readFile(path), before);
    }
}

std::string someDatabase(const std::string& path) {
    openStore(qpath(path))->addPatient(child(QStringLiteral("Lefèvre")));
    return testcommon::readFile(path);
}

const ForeignFile kForeignFiles[] = {
    {"RandomBytes",
     [](const std::string& path) {
         std::string bytes(8192, '\0');
         for (std::size_t i = 0; i < bytes.size(); ++i)
             bytes[i] = char((i * 7919 + 13) % 251);
         testcommon::writeFile(path, bytes);
     }},
    {"Text",
     [](const std::string& path) {
         testcommon::writeFile(path, "nom;prenom\nLefèvre;Éloïse\n");
     }},
    {"TruncatedHeader",
     [](const std::string& path) {
         testcommon::writeFile(path, someDatabase(path + ".full").substr(0, 50));
     }},
    {"TruncatedFirstPage",
     [](const std::string& path) {
         testcommon::writeFile(path, someDatabase(path + ".full").substr(0, 2048));
     }},
    {"AnotherProgramsDatabase",
     [](const std::string& path) {
         const RawDatabase raw(qpath(path));
         raw.exec(QStringLiteral("CREATE TABLE agenda (jour TEXT)"));
     }},
    {"Directory",
     [](const std::string& path) {
         std::filesystem::create_directory(path);
     }},
    {"Fifo",
     [](const std::string& path) {
         mkfifo(path.c_str(), 0600);
     }},
};

INSTANTIATE_TEST_SUITE_P(SqliteFile, NotItsOwn, testing::ValuesIn(kForeignFiles), vimora::test::RowName());

TEST_P(Store, KeepsItsRules) {
    const auto store = openStore(freshBase("dossiers"));
    const QString hundredEmoji = QString::fromUtf8("😀").repeated(100);

    EXPECT_EQ(messageOf([&] { store->addPatient(child(QStringLiteral("  "))); }),
              QStringLiteral("Le nom est obligatoire."));
    EXPECT_EQ(messageOf([&] { store->addPatient(child(hundredEmoji + QLatin1Char('a'))); }),
              QStringLiteral("Le nom ne peut pas dépasser 100 caractères."));
    // Nothing that would reach a terminal or a sheet as a command: the same on every engine.
    for (const char16_t hidden : {u'\0', u'\x1b', u'\a', u'\x202e', u'\x2067'}) {
        EXPECT_EQ(
            messageOf([&] { store->addPatient(child(QStringLiteral("Dur") + QChar(hidden) + "and")); }),
            QStringLiteral("Le nom contient un caractère de contrôle ou de sens d'écriture, qui ne peut "
                           "pas être enregistré."));
    }
    EXPECT_EQ(kindOf([&] { store->addPatient(child(QStringLiteral("Durand"), QStringLiteral("A\r1"))); }),
              StoreError::Kind::Input);
    const Patient patient = store->addPatient(child(hundredEmoji, QStringLiteral("A12")));
    EXPECT_EQ(messageOf([&] { store->addPatient(child(QStringLiteral("Autre"), QStringLiteral("A12"))); }),
              QStringLiteral("Ce numéro de dossier est déjà celui d'un autre patient."));
    store->addPatient(child(QStringLiteral("Sans dossier")));
    store->addPatient(child(QStringLiteral("Sans dossier non plus")));

    Visit visit = measured(patient, QDate(2020, 3, 20), QStringLiteral("15,5"), QStringLiteral("1,04"));
    visit.remarque = QString(1001, QLatin1Char('r'));
    EXPECT_EQ(messageOf([&] { store->addVisit(visit); }),
              QStringLiteral("La remarque ne peut pas dépasser 1 000 caractères."));
    visit.remarque.chop(1);
    store->addVisit(visit);
    // Saved twice, as by Ctrl+S twice: the second is refused, whatever way the weight is written.
    Visit again = visit;
    again.poids = QStringLiteral("15,50");
    again.remarque.clear();
    EXPECT_EQ(messageOf([&] { store->addVisit(again); }),
              QStringLiteral("Cette consultation est déjà enregistrée."));
    EXPECT_EQ(store->visits(patient.id).size(), 1U);
    visit.poids = QStringLiteral("0");
    EXPECT_EQ(kindOf([&] { store->addVisit(visit); }), StoreError::Kind::Input);
    EXPECT_EQ(
        kindOf([&] { measured(patient, QDate(2015, 1, 1), QStringLiteral("15"), QStringLiteral("1")); }),
        StoreError::Kind::Input);
    EXPECT_EQ(
        messageOf([&] { measured(patient, QDate(2020, 3, 20), QStringLiteral("15"), QStringLiteral("0")); }),
        QStringLiteral("La taille doit être un nombre supérieur à zéro."));
    EXPECT_EQ(messageOf([&] {
                  measured(patient, QDate(2020, 3, 20), QStringLiteral("15"), QStringLiteral("1.04"));
              }),
              QStringLiteral("La taille s'écrit avec une virgule décimale (1,08), pas un point."));

    // A row another workstation deleted first is reported gone; the other rows stay.
    const Visit later =
        store->addVisit(measured(patient, QDate(2021, 3, 20), QStringLiteral("16"), QStringLiteral("1,10")));
    store->deleteVisit(later.id);
    EXPECT_EQ(messageOf([&] { store->deleteVisit(later.id); }),
              QStringLiteral("Cette consultation a déjà été supprimée, sur ce poste ou sur un autre."));
    EXPECT_EQ(store->visits(patient.id).size(), 1U);

    // A patient goes with their visits; a visit cannot outlive its patient.
    store->deletePatient(patient.id);
    EXPECT_TRUE(store->visits(patient.id).empty());
    EXPECT_EQ(kindOf([&] { store->addVisit(visit); }), StoreError::Kind::NotFound);
    EXPECT_EQ(store->patients().size(), 2U);
    EXPECT_EQ(messageOf([&] { store->deletePatient(patient.id); }),
              QStringLiteral("Ce patient a déjà été supprimé, sur ce poste ou sur un autre."));
    EXPECT_EQ(messageOf([&] { store->updatePatient(patient); }),
              QStringLiteral("Ce patient a été supprimé entre-temps, sur ce poste ou sur un autre."));
}

// Hundreds of visits go in a few statements: each kept once with its patient, or none at all.
TEST_P(Store, WritesABatchWholeOrNotAtAll) {
    const auto store = openStore(freshBase("dossiers"));
    PatientVisits entry;
    entry.patient = child(QStringLiteral("Lefèvre"));
    // Any text, as typed, whatever the batch is written with.
    const QString typed = QStringLiteral(" \"«\\»\"\n\t\u0001");
    for (int i = 0; i < 250; ++i) {
        Visit visit = measured(entry.patient, QDate(2020, 1, 1).addDays(i), QStringLiteral("15,5"),
                               QStringLiteral("1,04"));
        visit.remarque = QString::number(i) + typed;
        entry.visits.push_back(visit);
    }
    PatientVisits bad = entry;
    bad.visits[180].poids = QStringLiteral("0");
    std::vector<PatientVisits> refused{bad};
    EXPECT_EQ(kindOf([&] { store->addAll(refused); }), StoreError::Kind::Input);
    EXPECT_TRUE(store->patients().empty());
    EXPECT_EQ(refused.front().patient.id, 0);

    std::vector<PatientVisits> batch{entry};
    store->addAll(batch);
    ASSERT_EQ(store->patients().size(), 1U);
    // The new patient's id, for a batch that adds to them next.
    EXPECT_EQ(batch.front().patient.id, store->patients().front().patient.id);
    const std::vector<Visit> visits = store->visits(store->patients().front().patient.id);
    ASSERT_EQ(visits.size(), 250U);
    for (std::size_t i = 0; i < visits.size(); ++i) {
        // Newest first.
        EXPECT_EQ(visits[i].remarque, QString::number(249 - int(i)) + typed);
        EXPECT_EQ(visits[i].date, QDate(2020, 1, 1).addDays(249 - qint64(i)));
    }
    // The same visits again, as a workstation saving meanwhile: none is stored twice, and it says so.
    PatientVisits again = entry;
    again.patient = store->patients().front().patient;
    again.visits[7].poids = QStringLiteral("15,6");
    std::vector<PatientVisits> meanwhile{again};
    EXPECT_EQ(store->addAll(meanwhile), 1);
    EXPECT_EQ(store->visits(again.patient.id).size(), 251U);
}

TEST_P(Store, RefusesAChangeMadeOnAStaleVersion) {
    const QString path = freshBase("dossiers");
    const auto here = openStore(path);
    const auto elsewhere = openStore(path);
    const Patient shown = here->addPatient(child(QStringLiteral("Lefèvre")));

    Patient changed = *elsewhere->patient(shown.id);
    changed.nom = QStringLiteral("Lefèvre-Martin");
    EXPECT_EQ(elsewhere->updatePatient(changed).version, 2);

    Patient stale = shown;
    stale.prenom = QStringLiteral("Élise");
    EXPECT_EQ(kindOf([&] { here->updatePatient(stale); }), StoreError::Kind::Conflict);
    EXPECT_EQ(here->patient(shown.id)->nom, QStringLiteral("Lefèvre-Martin"));
    EXPECT_EQ(here->patient(shown.id)->prenom, QStringLiteral("Éloïse"));
}

TEST_P(Store, ItsChangeStampMovesWithEveryChangeMadeElsewhere) {
    const QString path = freshBase("dossiers");
    const auto here = openStore(path);
    const auto elsewhere = openStore(path);
    const Patient kept = elsewhere->addPatient(child(QStringLiteral("Lefèvre")));
    const Patient lone = elsewhere->addPatient(child(QStringLiteral("Moreau")));
    const Visit visit =
        elsewhere->addVisit(measured(kept, QDate(2020, 1, 1), QStringLiteral("20"), QStringLiteral("1,1")));
    struct Change {
        const char* name;
        std::function<void()> made;
    };
    const Change changes[] = {
        {"patient added",
         [&] {
             elsewhere->addPatient(child(QStringLiteral("Petit")));
         }},
        {"patient changed",
         [&] {
             Patient changed = *elsewhere->patient(kept.id);
             changed.prenom = QStringLiteral("Élise");
             elsewhere->updatePatient(changed);
         }},
        {"visit added",
         [&] {
             elsewhere->addVisit(
                 measured(kept, QDate(2021, 1, 1), QStringLiteral("21"), QStringLiteral("1,2")));
         }},
        {"visit deleted",
         [&] {
             elsewhere->deleteVisit(visit.id);
         }},
        {"patient without visits deleted",
         [&] {
             elsewhere->deletePatient(lone.id);
         }},
    };
    for (const Change& change : changes) {
        const QString before = here->changeStamp();
        here->patients();
        EXPECT_EQ(here->changeStamp(), before) << "nothing changed, before: " << change.name;
        change.made();
        EXPECT_NE(here->changeStamp(), before) << change.name;
    }
}

// Age, index, band, advice and objective rest on the birth date and sex: a correction judges every
// visit again, in its own transaction, or changes nothing at all.
TEST_P(Store, ACorrectedBirthDateOrSexJudgesEveryVisitAgainOrChangesNothing) {
    const QString path = freshBase("dossiers");
    const auto store = openStore(path);
    Patient patient = store->addPatient(child(QStringLiteral("Lefèvre")));
    for (const auto& [date, poids] :
         {std::pair{QDate(2020, 6, 15), "15,5"}, std::pair{QDate(2025, 3, 14), "26,5"},
          std::pair{QDate(2026, 3, 14), "39"}}) {
        Visit visit = measured(patient, date, QString::fromLatin1(poids), QStringLiteral("1,40"));
        visit.remarque = QStringLiteral("vue le ") + date.toString(Qt::ISODate);
        store->addVisit(visit);
    }
    const std::vector<Visit> stored = store->visits(patient.id);
    EXPECT_TRUE(shown(stored.front()).startsWith(QStringLiteral("2026-03-14|10,00|19,89|")))
        << shown(stored.front()).toStdString();
    EXPECT_EQ(stored.front().resultat, QStringLiteral("Corpulence normale."));

    // Born a day later: the visit of 14/03/2026 is the day before a tenth birthday.
    patient.naissance = QDate(2016, 3, 15);
    patient = store->updatePatient(patient);
    EXPECT_EQ(shown(store->visits(patient.id)), judgedAs(patient, stored));
    EXPECT_EQ(store->visits(patient.id).front().age, QStringLiteral("9,99"));
    EXPECT_EQ(store->visits(patient.id).front().resultat, QStringLiteral("Obésité degré 1"));
    EXPECT_EQ(store->visits(patient.id).front().id, stored.front().id);

    patient.sexe = Sex::Male;
    patient = store->updatePatient(patient);
    EXPECT_EQ(shown(store->visits(patient.id)), judgedAs(patient, stored));
    EXPECT_EQ(store->visits(patient.id)[1].resultat, QStringLiteral("Insuffisance pondérale."));

    // A birth date after a visit would leave it unjudged; a correction read before another
    // workstation's is stale: neither changes the patient or a visit.
    const QStringList before = shown(store->visits(patient.id));
    Patient unjudgeable = patient;
    unjudgeable.naissance = QDate(2021, 1, 1);
    EXPECT_EQ(messageOf([&] { store->updatePatient(unjudgeable); }),
              QStringLiteral("Une consultation de ce patient ne peut pas être réévaluée : la date de la "
                             "consultation précède la date de naissance. Rien n'a été enregistré."));
    EXPECT_EQ(store->patient(patient.id)->naissance, QDate(2016, 3, 15));
    const auto elsewhere = openStore(path);
    Patient renamed = *elsewhere->patient(patient.id);
    renamed.nom = QStringLiteral("Lefèvre-Martin");
    elsewhere->updatePatient(renamed);
    Patient stale = patient;
    stale.sexe = Sex::Female;
    EXPECT_EQ(kindOf([&] { store->updatePatient(stale); }), StoreError::Kind::Conflict);
    EXPECT_EQ(shown(store->visits(patient.id)), before);
}

// Visits stored when the age was days / 365.25 are judged again once, when the base is opened.
// The patients the list shows with "only those with an alert", each with the titles of their alerts.
QStringList alertedPatients(const PatientStore& store, PatientQuery query = {}) {
    query.alertsOnly = true;
    QStringList lines;
    for (const PatientSummary& summary : store.patientPage(query, 0, 100))
        lines << summary.patient.nom + QStringLiteral(": ") + summary.alerts.join(QStringLiteral(", "));
    return lines;
}

QStringList noms(const std::vector<PatientSummary>& patients) {
    QStringList names;
    for (const PatientSummary& summary : patients)
        names << summary.patient.nom;
    return names;
}

QStringList titles(const std::vector<TrajectoryAlert>& alerts) {
    QStringList texts;
    for (const TrajectoryAlert& alert : alerts)
        texts << QString::fromStdString(alert.title);
    return texts;
}

TEST_P(Store, OpeningAnOlderBaseJudgesItsVisitsAgain) {
    const QString setting = freshBase("dossiers");
    Patient patient;
    Visit visit;
    {
        const auto store = openStore(setting);
        patient = store->addPatient(child(QStringLiteral("Lefèvre")));
        visit = store->addVisit(
            measured(patient, QDate(2026, 3, 14), QStringLiteral("39"), QStringLiteral("1,40")));
        Patient adult = child(QStringLiteral("Zola"));
        adult.naissance = QDate(1980, 5, 2);
        adult = store->addPatient(adult);
        store->addVisit(measured(adult, QDate(2024, 1, 8), QStringLiteral("70"), QStringLiteral("1,75")));
        store->addVisit(measured(adult, QDate(2025, 1, 8), QStringLiteral("80"), QStringLiteral("1,75")));
    }
    // As the earlier rule stored it, on the wrong row of the reference table.
    const Calculation old = calculate(Sex::Female, {"9,99", "39", "1,40"}, ',');
    const auto literal = [](const std::string& text) {
        return QString::fromStdString(text).replace(QLatin1Char('\''), QStringLiteral("''"));
    };
    rawExec(setting, QStringLiteral(
                         "UPDATE visite SET age = '9,99', resultat = '%1', conseils = '%2', objectif = '%3'")
                         .arg(literal(old.band.band), literal(old.band.advice), literal(old.band.objective)));
    makeOlder(setting, 1);

    const auto store = openStore(setting);
    EXPECT_EQ(shown(store->visits(patient.id)), QStringList{shown(visit)});
    EXPECT_EQ(store->visits(patient.id).front().resultat, QStringLiteral("Corpulence normale."));
    EXPECT_EQ(rawValue(setting, QString::fromLatin1(GetParam().versionQuery)),
              QString::number(kSchemaVersion));
    EXPECT_EQ(noms(store->patients()), QStringList({QString::fromUtf8("Lefèvre"), QStringLiteral("Zola")}));
    EXPECT_EQ(alertedPatients(*store),
              QStringList{QStringLiteral("Zola: ") + QString::fromUtf8(kResultChangeTitle)});
}

TEST_P(Store, StoresAnyTextExactlyAndFindsItWithoutCaseOrAccents) {
    const QString path = freshBase("dossiers");
    const QStringList names{QString::fromUtf8("Éloïse"), QString::fromUtf8("N'Diaye-Œuvray"),
                            QString::fromUtf8("محمد"), QString::fromUtf8("山田 🌸"),
                            QStringLiteral("Robert'); DROP TABLE patient;--")};
    {
        const auto store = openStore(path);
        for (const QString& name : names) {
            Patient patient = child(name, name.left(3));
            patient.prenom = name;
            Visit visit = measured(store->addPatient(patient), QDate(2020, 3, 20), QStringLiteral("15,5"),
                                   QStringLiteral("1,04"));
            visit.remarque = name + QStringLiteral("\n\"; --");
            store->addVisit(visit);
        }
    }
    const auto store = openStore(path);
    const std::vector<PatientSummary> patients = store->patients();
    ASSERT_EQ(patients.size(), std::size_t(names.size()));
    QStringList stored;
    for (const PatientSummary& summary : patients) {
        stored << summary.patient.nom;
        EXPECT_EQ(summary.patient.prenom, summary.patient.nom);
        EXPECT_EQ(store->visits(summary.patient.id).front().remarque,
                  summary.patient.nom + QStringLiteral("\n\"; --"));
    }
    stored.sort();
    QStringList expected = names;
    expected.sort();
    EXPECT_EQ(stored, expected);

    const auto found = [&](const QString& search) {
        QStringList hits;
        for (const PatientSummary& summary : patients) {
            if (matches(summary, search))
                hits << summary.patient.nom;
        }
        PatientQuery query;
        query.search = search;
        EXPECT_EQ(noms(store->patientPage(query, 0, 10)), hits) << search.toStdString();
        return hits;
    };
    EXPECT_EQ(found(QStringLiteral("ELOISE")), QStringList{QString::fromUtf8("Éloïse")});
    EXPECT_EQ(found(QStringLiteral("oeuvray n'di")), QStringList{QString::fromUtf8("N'Diaye-Œuvray")});
    EXPECT_EQ(found(QString::fromUtf8("🌸")), QStringList{QString::fromUtf8("山田 🌸")});
    // Taken literally by the store's query.
    EXPECT_EQ(found(QStringLiteral("%")), QStringList());
    EXPECT_EQ(found(QStringLiteral("_")), QStringList());
}

TEST_P(Store, KeepsEachPatientsAlertsCurrentAndListsPatientsInOneOrder) {
    const auto store = openStore(freshBase("dossiers"));
    const QString change = QString::fromUtf8(kResultChangeTitle);
    std::vector<Patient> adults;
    for (const char* nom : {"Zola", "durand", "Émile"}) {
        Patient adult = child(QString::fromUtf8(nom));
        adult.naissance = QDate(1980, 5, 2);
        adults.push_back(store->addPatient(adult));
        store->addVisit(
            measured(adults.back(), QDate(2024, 1, 8), QStringLiteral("70"), QStringLiteral("1,75")));
    }
    const Patient& zola = adults[0];
    EXPECT_EQ(alertedPatients(*store), QStringList());
    const QStringList withChange{QStringLiteral("Zola: ") + change};

    // Saved, deleted, then brought by an import.
    const Visit heavier =
        store->addVisit(measured(zola, QDate(2025, 1, 8), QStringLiteral("80"), QStringLiteral("1,75")));
    EXPECT_EQ(alertedPatients(*store), withChange);
    store->deleteVisit(heavier.id);
    EXPECT_EQ(alertedPatients(*store), QStringList());
    std::vector<PatientVisits> imported{
        {zola, {measured(zola, QDate(2025, 1, 8), QStringLiteral("80"), QStringLiteral("1,75"))}}};
    store->addAll(imported);
    EXPECT_EQ(alertedPatients(*store), withChange);

    // A corrected birth date judges the visits again, and their alerts with them.
    Patient younger = *store->patient(zola.id);
    younger.naissance = QDate(2012, 5, 2);
    store->updatePatient(younger);
    const QStringList judged = titles(alertsOf(store->visits(zola.id)));
    ASSERT_NE(judged, QStringList{change});
    EXPECT_EQ(alertedPatients(*store),
              judged.isEmpty() ? QStringList()
                               : QStringList{QStringLiteral("Zola: ") + judged.join(QStringLiteral(", "))});
    Patient again = *store->patient(zola.id);
    again.naissance = zola.naissance;
    store->updatePatient(again);
    EXPECT_EQ(alertedPatients(*store), withChange);

    // One order everywhere, case and accents ignored: the list, a page of it, the export, the alerts.
    const QStringList ordered{QStringLiteral("durand"), QString::fromUtf8("Émile"), QStringLiteral("Zola")};
    EXPECT_EQ(noms(store->patients()), ordered);
    EXPECT_EQ(noms(store->patientPage({}, 1, 1)), QStringList{ordered[1]});
    PatientQuery reversed;
    reversed.descending = true;
    EXPECT_EQ(noms(store->patientPage(reversed, 0, 10)), QStringList(ordered.rbegin(), ordered.rend()));
    QStringList exported;
    store->forEachRecord([&](const Patient& patient, const Visit*) {
        if (exported.isEmpty() || exported.back() != patient.nom)
            exported << patient.nom;
    });
    EXPECT_EQ(exported, ordered);
    for (const Patient& adult : adults) {
        if (adult.id != zola.id)
            store->addVisit(measured(adult, QDate(2025, 1, 8), QStringLiteral("80"), QStringLiteral("1,75")));
    }
    PatientQuery searched;
    searched.search = QStringLiteral("ILE");
    EXPECT_EQ(alertedPatients(*store, searched), QStringList{QString::fromUtf8("Émile: ") + change});
    QBuffer listed;
    listed.open(QIODevice::WriteOnly);
    writeAlerts(*store, listed);
    QStringList lines = QString::fromUtf8(listed.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeFirst();
    QStringList alerted;
    for (const QString& line : lines)
        alerted << line.section(QLatin1Char(';'), 1, 1) + QStringLiteral(": ") +
                       line.section(QLatin1Char(';'), 3, 3);
    EXPECT_EQ(alerted, alertedPatients(*store));
    EXPECT_EQ(alerted.size(), 3);

    store->deletePatient(zola.id);
    EXPECT_EQ(alertedPatients(*store).size(), 2);
}

// A visit kept despite a height typed in centimetres is flagged for the chart, and the alerts
// leave it out and say so.
TEST(Alerts, LeaveOutAVisitKeptDespiteAnImplausibleMeasure) {
    Patient adult = child(QStringLiteral("Martin"));
    adult.naissance = QDate(1980, 5, 2);
    const std::vector<Visit> visits{
        measured(adult, QDate(2024, 1, 8), QStringLiteral("70"), QStringLiteral("1,75")),
        measured(adult, QDate(2025, 1, 8), QStringLiteral("80"), QStringLiteral("1,75")),
        measured(adult, QDate(2026, 1, 8), QStringLiteral("80"), QStringLiteral("175"))};
    const std::vector<TrajectoryPoint> points = trajectoryOf(visits);
    ASSERT_EQ(points.size(), 3U);
    EXPECT_FALSE(points[1].implausible);
    EXPECT_TRUE(points[2].implausible);
    const std::vector<TrajectoryAlert> alerts = alertsOf(visits);
    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].detail, "« Corpulence normale. » le 08/01/2024, puis « Surcharge pondérale. » (1 "
                                "consultation invraisemblable écartée)");
}

TEST(SqliteFile, WaitsForAnotherProgramsLockThenSaysItIsBusy) {
    testcommon::TemporaryDirectory directory;
    const QString path = qpath(directory / "dossiers.sqlite");
    const auto store = openStore(path);

    // A lock released within the wait: the save goes through.
    std::atomic<bool> locked = false;
    std::thread other([&] {
        const RawDatabase raw(path);
        raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
        locked = true;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        raw.exec(QStringLiteral("ROLLBACK"));
    });
    while (!locked)
        std::this_thread::yield();
    EXPECT_NO_THROW(store->addPatient(child(QStringLiteral("Lefèvre"))));
    other.join();

    // A lock held longer: a French message, nothing written, and the store usable afterwards.
    const RawDatabase raw(path);
    raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
    EXPECT_TRUE(messageOf([&] {
                    store->addPatient(child(QStringLiteral("Martin")));
                }).contains(QStringLiteral("occupée par un autre programme")));
    raw.exec(QStringLiteral("ROLLBACK"));
    store->addPatient(child(QStringLiteral("Martin")));
    EXPECT_EQ(store->patients().size(), 2U);
}

// A page of the file damaged after the first rows: the read that reaches it is refused, never shown
// as a shorter list; and a base locked by another program is told busy, not another program's.
TEST(SqliteFile, AReadCutShortOrALockIsToldAsSuch) {
    testcommon::TemporaryDirectory directory;
    const std::string path = directory / "dossiers.sqlite";
    qint64 id = 0;
    {
        const auto store = openStore(qpath(path));
        for (int i = 0; i < 300; ++i)
            store->addPatient(child(QStringLiteral("Nom %1").arg(i, 3, 10, QLatin1Char('0')), {}));
        Patient last = child(QStringLiteral("Zola"), QStringLiteral("DERNIER-PATIENT"));
        id = store->addPatient(last).id;
        last.id = id;
        std::vector<PatientVisits> batch{{last, {}}};
        for (int day = 1; day <= 300; ++day) {
            Visit visit =
                measured(last, QDate(2020, 1, 1).addDays(day), QStringLiteral("20"), QStringLiteral("1,2"));
            visit.remarque = QString(day == 300 ? QStringLiteral("DERNIERE-VISITE") : QStringLiteral("r"));
            // The last written is read last: the oldest.
            if (day == 300)
                visit.date = QDate(2020, 1, 1);
            batch.front().visits.push_back(visit);
        }
        store->addAll(batch);
    }
    std::string bytes = testcommon::readFile(path);
    constexpr std::size_t kPage = 4096;
    for (const char* marker : {"DERNIER-PATIENT", "DERNIERE-VISITE"}) {
        bool damaged = false;
        for (std::size_t at = bytes.find(marker); at != std::string::npos; at = bytes.find(marker, at + 1)) {
            const std::size_t page = at / kPage * kPage;
            // A leaf page of a table, not of an index.
            if (page > 0 && bytes[page] == 0x0D) {
                bytes[page] = char(0x77);
                damaged = true;
            }
        }
        ASSERT_TRUE(damaged) << marker;
    }
    testcommon::writeFile(path, bytes);
    {
        const auto store = openStore(qpath(path));
        EXPECT_EQ(kindOf([&] { store->patients(); }), StoreError::Kind::Damaged);
        EXPECT_EQ(kindOf([&] { store->visits(id); }), StoreError::Kind::Damaged);
    }

    const std::string locked = directory / "verrouillee.sqlite";
    openStore(qpath(locked))->addPatient(child(QStringLiteral("Lefèvre")));
    const RawDatabase raw(qpath(locked));
    ASSERT_TRUE(raw.exec(QStringLiteral("PRAGMA journal_mode = DELETE")));
    ASSERT_TRUE(raw.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    EXPECT_EQ(kindOf([&] { openStore(qpath(locked)); }), StoreError::Kind::Busy);
    raw.exec(QStringLiteral("ROLLBACK"));
}

VIMORA_ON_EACH_ENGINE(Store);

} // namespace
