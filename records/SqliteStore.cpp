#include "SqliteStore.h"

#include "SafeWrite.h"
#include "Schema.h"
#include "VisitRecords.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <QUrl>

#include <algorithm>

namespace vimora::records {

namespace {

// The SQLite result codes the records tell apart (their primary codes).
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteIoError = 10;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteFull = 13;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteConstraint = 19;
constexpr int kSqliteNotADatabase = 26;

constexpr int kBusyTimeoutMs = 5000;
constexpr qsizetype kReportedProblems = 10;

const QByteArray kSqliteHeader("SQLite format 3\0", 16);

QString quoted(const QString& path) {
    return QStringLiteral("« %1 »").arg(QDir::toNativeSeparators(path));
}

QString isoDate(QDate date) {
    return date.toString(Qt::ISODate);
}

QString timestampNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QVariant nullableText(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

// Qt binds a null QString as NULL: the records' texts are never NULL, at most empty.
QVariant text(const QString& value) {
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

QString sexCode(Sex sex) {
    return sex == Sex::Female ? QStringLiteral("F") : QStringLiteral("M");
}

// Timestamps are written by timestampNow() alone: read back without Qt's general date parser,
// which costs more than the rest of the patient list.
QDateTime readTimestamp(const QString& text) {
    if (text.size() != 20)
        return QDateTime::fromString(text, Qt::ISODate);
    const auto number = [&](qsizetype from, qsizetype length) {
        return QStringView(text).mid(from, length).toInt();
    };
    return {QDate(number(0, 4), number(5, 2), number(8, 2)),
            QTime(number(11, 2), number(14, 2), number(17, 2)), Qt::UTC};
}

// The columns of a patient, in the order patientAt() reads them from `first` on.
const QString kPatientColumns = QStringLiteral(
    "p.id, p.dossier, p.nom, p.prenom, p.sexe, p.naissance, p.creation, p.modification, p.version");
constexpr int kPatientColumnCount = 9;
const QString kVisitColumns = QStringLiteral("v.id, v.patient_id, v.date, v.age, v.poids, v.taille, v.imc, "
                                             "v.poids_max, v.poids_min, v.resultat, v.conseils, v.objectif, "
                                             "v.remarque, v.creation");

Patient patientAt(const QSqlQuery& query, int first) {
    Patient patient;
    patient.id = query.value(first).toLongLong();
    patient.dossier = query.value(first + 1).toString();
    patient.nom = query.value(first + 2).toString();
    patient.prenom = query.value(first + 3).toString();
    patient.sexe = query.value(first + 4).toString() == QLatin1String("F") ? Sex::Female : Sex::Male;
    patient.naissance = QDate::fromString(query.value(first + 5).toString(), Qt::ISODate);
    patient.created = readTimestamp(query.value(first + 6).toString());
    patient.updated = readTimestamp(query.value(first + 7).toString());
    patient.version = query.value(first + 8).toInt();
    return patient;
}

Visit visitAt(const QSqlQuery& query, int first) {
    Visit visit;
    visit.id = query.value(first).toLongLong();
    visit.patientId = query.value(first + 1).toLongLong();
    visit.date = QDate::fromString(query.value(first + 2).toString(), Qt::ISODate);
    visit.age = query.value(first + 3).toString();
    visit.poids = query.value(first + 4).toString();
    visit.taille = query.value(first + 5).toString();
    visit.imc = query.value(first + 6).toString();
    visit.poidsMax = query.value(first + 7).toString();
    visit.poidsMin = query.value(first + 8).toString();
    visit.resultat = query.value(first + 9).toString();
    visit.conseils = query.value(first + 10).toString();
    visit.objectif = query.value(first + 11).toString();
    visit.remarque = query.value(first + 12).toString();
    visit.created = readTimestamp(query.value(first + 13).toString());
    return visit;
}

QString nextConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("vimora-records-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

SqliteStore::SqliteStore(const QString& path)
    : m_path(QFileInfo(path).absoluteFilePath())
    , m_connectionName(nextConnectionName()) {
    // A constructor that throws runs no destructor: the connection is closed here.
    try {
        open();
    } catch (...) {
        disconnect();
        throw;
    }
}

void SqliteStore::open() {
    const QFileInfo file(m_path);
    if (file.isDir()) {
        throw StoreError(
            StoreError::Kind::Unusable,
            QStringLiteral("%1 est un répertoire, pas une base de dossiers.").arg(quoted(m_path)));
    }
    if (file.exists() && !file.isFile()) {
        throw StoreError(StoreError::Kind::Unusable,
                         QStringLiteral("%1 n'est pas un fichier ordinaire : ce ne peut pas être une base de "
                                        "dossiers.")
                             .arg(quoted(m_path)));
    }
    if (!file.exists())
        createFile();
    checkHeader();

    const QFileInfo directory(file.absolutePath());
    m_readOnly = !QFileInfo(m_path).isWritable() || !directory.isWritable();
    if (m_readOnly) {
        m_readOnlyNote =
            QStringLiteral("La base de dossiers %1 est ouverte en lecture seule : %2 ne peut pas "
                           "être modifié. Les dossiers peuvent être consultés, pas enregistrés.")
                .arg(quoted(m_path), directory.isWritable() ? QStringLiteral("le fichier")
                                                            : QStringLiteral("son répertoire"));
    }

    // Without the right to create the journal's files beside it, SQLite can read a WAL file only
    // as immutable.
    connect(true, m_readOnly && !directory.isWritable());
    const int version = checkedVersion();
    if (m_readOnly) {
        if (version < kSchemaVersion) {
            throw StoreError(StoreError::Kind::Unusable,
                             QStringLiteral("La base de dossiers %1 doit être mise à jour, mais elle est en "
                                            "lecture seule.")
                                 .arg(quoted(m_path)));
        }
        return;
    }
    disconnect();
    connect(false, false);
    migrate(version);
}

SqliteStore::~SqliteStore() {
    disconnect();
}

void SqliteStore::createFile() const {
    const QFileInfo file(m_path);
    const QString directory = file.absolutePath();
    if (!QFileInfo::exists(directory)) {
        const QFileInfo parent(directory);
        const bool made =
            QDir().mkpath(parent.absolutePath()) &&
            QDir().mkdir(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (!made) {
            throw StoreError(StoreError::Kind::Unusable,
                             QStringLiteral("Le répertoire %1 de la base de dossiers ne peut pas être créé.")
                                 .arg(quoted(directory)));
        }
    }
    QFile created(m_path);
    if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        throw StoreError(StoreError::Kind::Unusable,
                         QStringLiteral("La base de dossiers %1 ne peut pas être créée : %2.")
                             .arg(quoted(m_path), created.errorString()));
    }
}

// Before SQLite sees it: a file that is neither empty (a new base) nor a SQLite file is never
// handed to it, so that nothing can write to it.
void SqliteStore::checkHeader() const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw StoreError(StoreError::Kind::Unusable,
                         QStringLiteral("La base de dossiers %1 ne peut pas être lue : %2.")
                             .arg(quoted(m_path), file.errorString()));
    }
    const QByteArray header = file.read(kSqliteHeader.size());
    if (!header.isEmpty() && header != kSqliteHeader) {
        throw StoreError(StoreError::Kind::Unusable,
                         QStringLiteral("Le fichier %1 n'est pas une base de dossiers de Vimora, ou il est "
                                        "endommagé. Il n'a pas été modifié.")
                             .arg(quoted(m_path)));
    }
}

void SqliteStore::connect(bool readOnly, bool immutable) {
    m_database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
    if (readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    if (immutable) {
        options += QStringLiteral(";QSQLITE_OPEN_URI");
        m_database.setDatabaseName(QUrl::fromLocalFile(m_path).toString(QUrl::FullyEncoded) +
                                   QStringLiteral("?immutable=1"));
    } else {
        m_database.setDatabaseName(m_path);
    }
    m_database.setConnectOptions(options);
    if (!m_database.isValid()) {
        throw StoreError(
            StoreError::Kind::Unusable,
            QStringLiteral("Le pilote SQLite de Qt (paquet libqt6sql6-sqlite) est introuvable."));
    }
    if (!m_database.open())
        throw errorOf(m_database.lastError().nativeErrorCode().toInt());
    run(QStringLiteral("PRAGMA foreign_keys = ON"));
}

void SqliteStore::disconnect() {
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

int SqliteStore::checkedVersion() const {
    const QString notOurs =
        QStringLiteral("Le fichier %1 n'est pas une base de dossiers de Vimora (il appartient "
                       "à un autre programme, ou il est endommagé). Il n'a pas été modifié.")
            .arg(quoted(m_path));
    QSqlQuery query(m_database);
    const auto number = [&](const QString& sql) {
        if (!query.exec(sql) || !query.next())
            throw StoreError(StoreError::Kind::Unusable, notOurs);
        return query.value(0).toLongLong();
    };
    const qint64 applicationId = number(QStringLiteral("PRAGMA application_id"));
    const qint64 version = number(QStringLiteral("PRAGMA user_version"));
    const qint64 objects = number(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    const bool fresh = applicationId == 0 && version == 0 && objects == 0;
    if (applicationId != kSqliteApplicationId && !fresh)
        throw StoreError(StoreError::Kind::Unusable, notOurs);
    if (version > kSchemaVersion) {
        throw StoreError(StoreError::Kind::Unusable,
                         QStringLiteral("La base de dossiers %1 vient d'une version plus récente de Vimora "
                                        "(schéma %2, cette version connaît le schéma %3) : elle n'a pas été "
                                        "ouverte ni modifiée. Installez la version récente.")
                             .arg(quoted(m_path))
                             .arg(version)
                             .arg(kSchemaVersion));
    }
    return int(version);
}

void SqliteStore::migrate(int version) {
    run(QStringLiteral("PRAGMA journal_mode = WAL"));
    run(QStringLiteral("PRAGMA synchronous = FULL"));
    if (version == kSchemaVersion)
        return;
    write([&] {
        // Another program may have brought it up to date while this one waited for the lock.
        QSqlQuery current = prepared(QStringLiteral("PRAGMA user_version"));
        run(current);
        current.next();
        const int stored = current.value(0).toInt();
        current.finish();
        for (int from = stored; from < kSchemaVersion; ++from) {
            for (const QString& statement : migrationFrom(from, Dialect::Sqlite))
                run(statement);
        }
        // PRAGMA takes no bound parameter: these are the program's own numbers.
        run(QStringLiteral("PRAGMA application_id = %1").arg(kSqliteApplicationId));
        run(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
    });
}

QSqlQuery SqliteStore::prepared(const QString& sql) const {
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(query);
    return query;
}

void SqliteStore::run(QSqlQuery& query) const {
    if (!query.exec())
        fail(query);
}

void SqliteStore::run(const QString& sql) const {
    QSqlQuery query = prepared(sql);
    run(query);
    query.finish();
}

void SqliteStore::fail(const QSqlQuery& query) const {
    throw errorOf(query.lastError().nativeErrorCode().toInt());
}

// The driver's own text is left out: it may quote a value of the records.
StoreError SqliteStore::errorOf(int sqliteCode) const {
    using Kind = StoreError::Kind;
    switch (sqliteCode & 0xFF) {
    case kSqliteBusy:
    case kSqliteLocked:
        return {Kind::Busy,
                QStringLiteral("La base de dossiers %1 est occupée par un autre programme depuis plus "
                               "de 5 secondes. Rien n'a été enregistré ; réessayez dans un instant.")
                    .arg(quoted(m_path))};
    case kSqliteFull:
        return {Kind::DiskFull, QStringLiteral("Le disque de la base de dossiers %1 est plein : rien n'a été "
                                               "enregistré. Libérez de la place et réessayez.")
                                    .arg(quoted(m_path))};
    case kSqliteReadOnly:
        return {
            Kind::ReadOnly,
            QStringLiteral("La base de dossiers %1 ne peut pas être modifiée (lecture seule) : rien n'a été "
                           "enregistré.")
                .arg(quoted(m_path))};
    case kSqliteCorrupt:
    case kSqliteNotADatabase:
        return {Kind::Unusable,
                QStringLiteral("La base de dossiers %1 est endommagée, ou ce n'est pas une base de "
                               "dossiers de Vimora.")
                    .arg(quoted(m_path))};
    case kSqliteCantOpen:
        return {Kind::Unusable,
                QStringLiteral("La base de dossiers %1 ne peut pas être ouverte.").arg(quoted(m_path))};
    case kSqliteIoError:
        return {Kind::Failed,
                QStringLiteral("Erreur de lecture ou d'écriture sur le disque de la base de dossiers "
                               "%1 : rien n'a été enregistré.")
                    .arg(quoted(m_path))};
    case kSqliteConstraint:
        return {Kind::Invalid,
                QStringLiteral("Une valeur ne respecte pas les règles de la base de dossiers : rien "
                               "n'a été enregistré.")};
    default:
        return {Kind::Failed,
                QStringLiteral("La base de dossiers %1 a signalé une erreur (code SQLite %2) : rien "
                               "n'a été enregistré.")
                    .arg(quoted(m_path))
                    .arg(sqliteCode)};
    }
}

void SqliteStore::requireWritable() const {
    if (m_readOnly)
        throw StoreError(StoreError::Kind::ReadOnly, m_readOnlyNote);
}

void SqliteStore::write(const std::function<void()>& change) {
    requireWritable();
    // IMMEDIATE takes the write lock first, so that a busy file is waited for at the start rather
    // than failing halfway.
    run(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        change();
        run(QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery rollback(m_database);
        rollback.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

std::vector<PatientSummary> SqliteStore::patients() const {
    QSqlQuery query =
        prepared(QStringLiteral("SELECT %1, (SELECT count(*) FROM visite c WHERE c.patient_id = p.id), "
                                "v.date, v.resultat FROM patient p LEFT JOIN visite v ON v.id = "
                                "(SELECT l.id FROM visite l WHERE l.patient_id = p.id "
                                "ORDER BY l.date DESC, l.id DESC LIMIT 1)")
                     .arg(kPatientColumns));
    run(query);
    struct Sorted {
        PatientSummary summary;
        QString nom;
        QString prenom;
    };
    std::vector<Sorted> rows;
    while (query.next()) {
        Sorted row;
        row.summary.patient = patientAt(query, 0);
        row.summary.visitCount = query.value(kPatientColumnCount).toInt();
        row.summary.lastVisit =
            QDate::fromString(query.value(kPatientColumnCount + 1).toString(), Qt::ISODate);
        row.summary.lastResult = query.value(kPatientColumnCount + 2).toString();
        const Patient& patient = row.summary.patient;
        row.nom = foldForSearch(patient.nom);
        row.prenom = foldForSearch(patient.prenom);
        row.summary.searchKey =
            row.nom + QLatin1Char(' ') + row.prenom + QLatin1Char(' ') + foldForSearch(patient.dossier);
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [](const Sorted& a, const Sorted& b) {
        if (const int byNom = a.nom.compare(b.nom))
            return byNom < 0;
        if (const int byPrenom = a.prenom.compare(b.prenom))
            return byPrenom < 0;
        return a.summary.patient.naissance < b.summary.patient.naissance;
    });
    std::vector<PatientSummary> summaries;
    summaries.reserve(rows.size());
    for (Sorted& row : rows)
        summaries.push_back(std::move(row.summary));
    return summaries;
}

std::optional<Patient> SqliteStore::patient(qint64 id) const {
    QSqlQuery query =
        prepared(QStringLiteral("SELECT %1 FROM patient p WHERE p.id = ?").arg(kPatientColumns));
    query.addBindValue(id);
    run(query);
    if (!query.next())
        return std::nullopt;
    return patientAt(query, 0);
}

std::vector<Visit> SqliteStore::visits(qint64 patientId) const {
    QSqlQuery query = prepared(
        QStringLiteral("SELECT %1 FROM visite v WHERE v.patient_id = ? ORDER BY v.date DESC, v.id DESC")
            .arg(kVisitColumns));
    query.addBindValue(patientId);
    run(query);
    std::vector<Visit> visits;
    while (query.next())
        visits.push_back(visitAt(query, 0));
    return visits;
}

void SqliteStore::checkPatient(const Patient& patient, qint64 exceptId) const {
    const std::vector<FieldProblem> problems = patientProblems(patient, QDate::currentDate());
    if (!problems.empty())
        throw StoreError(StoreError::Kind::Invalid, problems.front().message);
    if (patient.dossier.isEmpty())
        return;
    QSqlQuery taken = prepared(QStringLiteral("SELECT 1 FROM patient WHERE dossier = ? AND id <> ?"));
    taken.addBindValue(patient.dossier);
    taken.addBindValue(exceptId);
    run(taken);
    if (taken.next()) {
        throw StoreError(StoreError::Kind::Invalid,
                         QStringLiteral("Ce numéro de dossier est déjà celui d'un autre patient."));
    }
}

qint64 SqliteStore::insertPatient(QSqlQuery& insert, const Patient& patient, const QString& now) const {
    insert.bindValue(0, nullableText(patient.dossier));
    insert.bindValue(1, text(patient.nom));
    insert.bindValue(2, text(patient.prenom));
    insert.bindValue(3, sexCode(patient.sexe));
    insert.bindValue(4, isoDate(patient.naissance));
    insert.bindValue(5, now);
    insert.bindValue(6, now);
    run(insert);
    insert.next();
    const qint64 id = insert.value(0).toLongLong();
    insert.finish();
    return id;
}

Patient SqliteStore::addPatient(const Patient& patient) {
    qint64 id = 0;
    write([&] {
        checkPatient(patient, 0);
        QSqlQuery insert =
            prepared(QStringLiteral("INSERT INTO patient (dossier, nom, prenom, sexe, naissance, "
                                    "creation, modification, version) VALUES (?, ?, ?, ?, ?, ?, ?, "
                                    "1) RETURNING id"));
        id = insertPatient(insert, patient, timestampNow());
    });
    return *this->patient(id);
}

Patient SqliteStore::updatePatient(const Patient& patient) {
    write([&] {
        checkPatient(patient, patient.id);
        QSqlQuery update =
            prepared(QStringLiteral("UPDATE patient SET dossier = ?, nom = ?, prenom = ?, sexe = ?, "
                                    "naissance = ?, modification = ?, version = version + 1 "
                                    "WHERE id = ? AND version = ?"));
        update.addBindValue(nullableText(patient.dossier));
        update.addBindValue(text(patient.nom));
        update.addBindValue(text(patient.prenom));
        update.addBindValue(sexCode(patient.sexe));
        update.addBindValue(isoDate(patient.naissance));
        update.addBindValue(timestampNow());
        update.addBindValue(patient.id);
        update.addBindValue(patient.version);
        run(update);
        if (update.numRowsAffected() == 1)
            return;
        if (!this->patient(patient.id)) {
            throw StoreError(
                StoreError::Kind::NotFound,
                QStringLiteral("Ce patient a été supprimé entre-temps, sur ce poste ou sur un autre."));
        }
        throw StoreError(
            StoreError::Kind::Stale,
            QStringLiteral("Ce patient a été modifié sur un autre poste depuis qu'il est affiché : "
                           "rien n'a été enregistré. Ses données vont être rechargées."));
    });
    return *this->patient(patient.id);
}

void SqliteStore::deletePatient(qint64 id) {
    write([&] {
        QSqlQuery remove = prepared(QStringLiteral("DELETE FROM patient WHERE id = ?"));
        remove.addBindValue(id);
        run(remove);
        if (remove.numRowsAffected() == 0) {
            throw StoreError(StoreError::Kind::NotFound,
                             QStringLiteral("Ce patient a déjà été supprimé, sur ce poste ou sur un autre."));
        }
    });
}

Visit SqliteStore::insertVisit(QSqlQuery& insert, const Visit& visit, const QString& now) const {
    const QString problem = visitProblem(visit);
    if (!problem.isEmpty())
        throw StoreError(StoreError::Kind::Invalid, problem);
    if (!visit.date.isValid())
        throw StoreError(StoreError::Kind::Invalid,
                         QStringLiteral("La date de la consultation est obligatoire."));
    const QVariantList values{visit.patientId,
                              isoDate(visit.date),
                              text(visit.age),
                              text(visit.poids),
                              text(visit.taille),
                              text(visit.imc),
                              text(visit.poidsMax),
                              text(visit.poidsMin),
                              text(visit.resultat),
                              text(visit.conseils),
                              text(visit.objectif),
                              text(visit.remarque),
                              now};
    for (int i = 0; i < values.size(); ++i)
        insert.bindValue(i, values[i]);
    run(insert);
    insert.next();
    Visit stored = visit;
    stored.id = insert.value(0).toLongLong();
    stored.created = QDateTime::fromString(now, Qt::ISODate);
    insert.finish();
    return stored;
}

namespace {

const QString kInsertVisit =
    QStringLiteral("INSERT INTO visite (patient_id, date, age, poids, taille, imc, poids_max, "
                   "poids_min, resultat, conseils, objectif, remarque, creation) VALUES "
                   "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id");

} // namespace

Visit SqliteStore::addVisit(const Visit& visit) {
    Visit stored;
    write([&] {
        if (!patient(visit.patientId)) {
            throw StoreError(
                StoreError::Kind::NotFound,
                QStringLiteral("Ce patient a été supprimé entre-temps : la consultation n'a pas été "
                               "enregistrée."));
        }
        QSqlQuery insert = prepared(kInsertVisit);
        stored = insertVisit(insert, visit, timestampNow());
    });
    return stored;
}

void SqliteStore::deleteVisit(qint64 visitId) {
    write([&] {
        QSqlQuery remove = prepared(QStringLiteral("DELETE FROM visite WHERE id = ?"));
        remove.addBindValue(visitId);
        run(remove);
        if (remove.numRowsAffected() == 0) {
            throw StoreError(StoreError::Kind::NotFound,
                             QStringLiteral("Cette consultation a déjà été supprimée, sur ce poste ou sur un "
                                            "autre."));
        }
    });
}

void SqliteStore::addAll(const std::vector<PatientVisits>& batch) {
    write([&] {
        const QString now = timestampNow();
        QSqlQuery insertPatientQuery =
            prepared(QStringLiteral("INSERT INTO patient (dossier, nom, prenom, sexe, "
                                    "naissance, creation, modification, version) "
                                    "VALUES (?, ?, ?, ?, ?, ?, ?, 1) RETURNING id"));
        QSqlQuery insertVisitQuery = prepared(kInsertVisit);
        for (const PatientVisits& entry : batch) {
            qint64 patientId = entry.patient.id;
            if (patientId == 0) {
                checkPatient(entry.patient, 0);
                patientId = insertPatient(insertPatientQuery, entry.patient, now);
            }
            for (Visit visit : entry.visits) {
                visit.patientId = patientId;
                insertVisit(insertVisitQuery, visit, now);
            }
        }
    });
}

void SqliteStore::forEachVisit(const std::function<void(const Patient&, const Visit&)>& each) const {
    QSqlQuery query =
        prepared(QStringLiteral("SELECT %1, %2 FROM visite v JOIN patient p ON p.id = v.patient_id "
                                "ORDER BY p.nom, p.prenom, p.naissance, p.id, v.date, v.id")
                     .arg(kPatientColumns, kVisitColumns));
    run(query);
    Patient patient;
    while (query.next()) {
        if (query.value(0).toLongLong() != patient.id)
            patient = patientAt(query, 0);
        each(patient, visitAt(query, kPatientColumnCount));
    }
    if (query.lastError().isValid())
        fail(query);
}

void SqliteStore::backup(const QString& target) const {
    const QFileInfo targetFile(target);
    // The copy is made beside the target, where the user chose to put the records, then written
    // over it whole.
    QTemporaryFile copy(targetFile.absolutePath() + QStringLiteral("/.") + targetFile.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!copy.open()) {
        throw StoreError(StoreError::Kind::Failed, QStringLiteral("La copie %1 ne peut pas être écrite : %2.")
                                                       .arg(quoted(target), copy.errorString()));
    }
    copy.close();
    QSqlQuery vacuum = prepared(QStringLiteral("VACUUM INTO ?"));
    vacuum.addBindValue(copy.fileName());
    if (!vacuum.exec()) {
        const int code = vacuum.lastError().nativeErrorCode().toInt();
        if ((code & 0xFF) == kSqliteFull) {
            throw StoreError(
                StoreError::Kind::DiskFull,
                QStringLiteral("Le disque est plein : la copie %1 n'a pas été écrite.").arg(quoted(target)));
        }
        fail(vacuum);
    }
    if (!copy.open()) {
        throw StoreError(StoreError::Kind::Failed, QStringLiteral("La copie %1 ne peut pas être écrite : %2.")
                                                       .arg(quoted(target), copy.errorString()));
    }
    const std::optional<QString> failure = writeFileSafely(target, [&](QIODevice& out) {
        constexpr qint64 kChunk = qint64(1) << 20;
        while (!copy.atEnd()) {
            const QByteArray bytes = copy.read(kChunk);
            if (bytes.isEmpty() || out.write(bytes) != bytes.size())
                return false;
        }
        return true;
    });
    if (failure)
        throw StoreError(StoreError::Kind::Failed, *failure);
}

CheckReport SqliteStore::verify() const {
    QStringList problems;
    QSqlQuery integrity(m_database);
    if (!integrity.exec(QStringLiteral("PRAGMA integrity_check"))) {
        problems << QStringLiteral("la vérification d'intégrité n'a pas pu aller jusqu'au bout");
    } else {
        while (integrity.next()) {
            const QString line = integrity.value(0).toString();
            if (line != QLatin1String("ok"))
                problems << line;
        }
    }
    QSqlQuery references(m_database);
    if (references.exec(QStringLiteral("PRAGMA foreign_key_check")) && references.next())
        problems << QStringLiteral("des consultations renvoient à des patients absents");
    CheckReport report;
    report.sound = problems.isEmpty();
    if (report.sound) {
        report.message =
            QStringLiteral("La base de dossiers %1 est saine (schéma %2, vérification d'intégrité "
                           "complète).")
                .arg(quoted(m_path))
                .arg(kSchemaVersion);
    } else {
        report.message =
            QStringLiteral("La base de dossiers %1 est endommagée : %2.")
                .arg(quoted(m_path), problems.mid(0, kReportedProblems).join(QStringLiteral(" ; ")));
    }
    return report;
}

} // namespace vimora::records
