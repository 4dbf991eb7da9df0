#include "PostgresStore.h"

#include "Schema.h"
#include "ServerConnection.h"
#include "SqliteStore.h"
#include "StoreFaults.h"
#include "text/Quoted.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlError>
#include <QTemporaryFile>

#include <sys/socket.h>

#include <array>
#include <chrono>
#include <tuple>

namespace vimora::records {

namespace {

// One transaction at a time brings a base up to date, whichever workstation starts first: the
// lock's key is "VIMR".
constexpr qint64 kMigrationLock = 0x56494D52;
// An import holds this lock ("VIMW") of its base from its look-ups to its commit: the next one looks
// only once this one has added what was new. A patient without dossier has no key that the server
// could check. Single saves do without it, the visits' unique key keeping them apart.
constexpr qint64 kWriteLock = 0x56494D57;
const QString kInsufficientPrivilege = QStringLiteral("42501");
constexpr qint64 kQuietMs = 1000;

using text::quoted;

const std::array<QString, 3> kTables{QStringLiteral("patient"), QStringLiteral("visite"),
                                     QStringLiteral("alerte")};

const QString kPatientCopy = QStringLiteral("id, dossier, nom, prenom, sexe, naissance, creation, "
                                            "modification, version, nom_cle, prenom_cle, recherche");
const QString kVisitCopy =
    QStringLiteral("id, patient_id, date, age, poids, taille, imc, poids_max, poids_min, "
                   "resultat, conseils, objectif, remarque, creation");
const QString kAlertCopy = QStringLiteral("patient_id, rang, titre, detail");

} // namespace

// Whether the constructor throws or the store is destroyed, the watchdog is stopped and joined as
// a member before the shared part closes the connection.
PostgresStore::PostgresStore(const QString& uri)
    : m_uri(uri)
    , m_shown(shownUri(uri))
    , m_watchdog([this](const std::stop_token& stop) { watch(stop); }) {
    connect();
    migrate(checkedVersion());
    checkRights();
}

PostgresStore::~PostgresStore() = default;

void PostgresStore::connect() const {
    m_database = openServerConnection(m_uri, m_connectionName);
    {
        const std::scoped_lock lock(m_watchMutex);
        m_watched = watchedConnection(m_database);
        m_gaveUp = false;
    }
    // As long as the SQLite file waits for another program's lock.
    run(QStringLiteral("SET lock_timeout = '5s'"));
    run(QStringLiteral("SET statement_timeout = '%1s'").arg(kStatementTimeoutSeconds));
    // The records' queries are small: compiling them costs more than it saves.
    run(QStringLiteral("SET jit = off"));
    // libpq writes the server's notices on standard error itself, in English: the program says
    // in French what the user needs to know.
    run(QStringLiteral("SET client_min_messages = warning"));
}

// The watchdog lets go of the socket before it is closed and its number given to another file.
void PostgresStore::disconnect() const {
    {
        const std::scoped_lock lock(m_watchMutex);
        m_watched = {};
    }
    closeDatabase();
}

// libpq waits for an answer as long as the connection stands, and TCP keepalives see nothing amiss
// when the server's machine still answers for a server that is stuck or stopped. Shutting the socket
// down ends libpq's wait at once; the server rolls back the transaction it was left in.
void PostgresStore::watch(const std::stop_token& stop) {
    std::unique_lock lock(m_watchMutex);
    for (;;) {
        m_watchWake.wait_for(lock, stop, std::chrono::seconds(1), [] { return false; });
        if (stop.stop_requested())
            return;
        if (unansweredMs(m_watched) >= qint64(kSilenceSeconds) * 1000) {
            m_gaveUp = true;
            ::shutdown(m_watched.socket, SHUT_RDWR);
            m_watched = {};
        }
    }
}

// A connection unused for a while is tried first, so that a server restarted meanwhile costs the
// next command nothing but a new connection.
void PostgresStore::ready() const {
    if (!m_lost) {
        const bool recent = m_lastUse.isValid() && m_lastUse.elapsed() < kQuietMs;
        if (recent || QSqlQuery(m_database).exec(QStringLiteral("SELECT 1"))) {
            m_lastUse.restart();
            return;
        }
    }
    // Until a new connection is made, every command tries to make one.
    m_lost = true;
    disconnect();
    connect();
    m_lost = false;
    m_lastUse.restart();
}

StoreError PostgresStore::errorOf(const QSqlError& error) const {
    if (connectionLost(error))
        m_lost = true;
    if (m_gaveUp) {
        m_lost = true;
        return storeFault(Fault::Silent, Dialect::PostgreSql, quoted(m_shown), {});
    }
    return serverError(error, m_shown);
}

// One look into the index per patient for both the count and the latest visit: on the server, each
// correlated subquery costs a plan of its own, and the list takes half the time this way.
QString PostgresStore::patientListQuery(const QString& patientColumns, const QString& patients) const {
    return QStringLiteral("SELECT %1, l.n, l.date, l.resultat FROM %2 p LEFT JOIN LATERAL "
                          "(SELECT v.date, v.resultat, count(*) OVER () AS n FROM visite v "
                          "WHERE v.patient_id = p.id ORDER BY v.date DESC, v.id DESC LIMIT 1) l ON true")
        .arg(patientColumns, patients);
}

void PostgresStore::begin() {
    run(QStringLiteral("BEGIN"));
}

// Once COMMIT is sent, a lost connection says nothing of whether the server committed.
void PostgresStore::commit() {
    QSqlQuery query(m_database);
    if (query.exec(QStringLiteral("COMMIT")))
        return;
    const StoreError error = errorOf(query.lastError());
    if (!m_lost)
        throw error;
    throw StoreError(StoreError::Kind::Unconfirmed,
                     QStringLiteral("La connexion au serveur de dossiers %1 a été perdue au moment de "
                                    "l'enregistrement : le serveur n'a pas confirmé l'enregistrement, qui a "
                                    "peut-être été fait. Relisez les dossiers avant de l'enregistrer de "
                                    "nouveau.")
                         .arg(quoted(m_shown)));
}

void PostgresStore::lockWrites() {
    QSqlQuery lock = prepared(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
    lock.addBindValue(kWriteLock);
    run(lock);
    lock.finish();
    // An import finds every row it reads by a key, in tables that grow as it goes: the rows of an
    // open transaction are in no statistics, so that the planner, taking a new base's tables for
    // as small as they were, would scan them whole at every statement, each run slower than the
    // last.
    run(QStringLiteral("SET LOCAL enable_seqscan = off"));
}

int PostgresStore::checkedVersion() const {
    QSqlQuery query(m_database);
    // Read from pg_class in the statement's snapshot: a look-up by name may see the catalog as it
    // was before another workstation's migration committed, and take its tables for another program's.
    if (!query.exec(QStringLiteral("SELECT count(*) FILTER (WHERE c.relname = '%1') > 0, "
                                   "count(*) FILTER (WHERE c.relname = 'patient') > 0 FROM pg_class c "
                                   "WHERE c.relnamespace = to_regnamespace(current_schema())")
                        .arg(QString::fromLatin1(kServerVersionTable))) ||
        !query.next()) {
        throw errorOf(query.lastError());
    }
    const bool versioned = query.value(0).toBool();
    const bool tables = query.value(1).toBool();
    const QString notOurs =
        QStringLiteral("La base du serveur %1 contient des tables d'un autre programme, pas des "
                       "dossiers de Vimora : elle n'a pas été modifiée.")
            .arg(quoted(m_shown));
    if (!versioned) {
        if (tables)
            throw StoreError(StoreError::Kind::Damaged, notOurs);
        return 0;
    }
    if (!query.exec(
            QStringLiteral("SELECT max(version) FROM %1").arg(QString::fromLatin1(kServerVersionTable))) ||
        !query.next()) {
        throw errorOf(query.lastError());
    }
    if (query.value(0).isNull())
        throw StoreError(StoreError::Kind::Damaged, notOurs);
    const int version = query.value(0).toInt();
    if (version > kSchemaVersion) {
        throw StoreError(
            StoreError::Kind::Damaged,
            QStringLiteral("Les dossiers du serveur %1 viennent d'une version plus récente de Vimora "
                           "(schéma %2, cette version connaît le schéma %3) : ils n'ont pas été "
                           "modifiés. Installez la version récente.")
                .arg(quoted(m_shown))
                .arg(version)
                .arg(kSchemaVersion));
    }
    return version;
}

void PostgresStore::migrate(int version) {
    if (version == kSchemaVersion)
        return;
    try {
        write([&] {
            QSqlQuery lock = prepared(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
            lock.addBindValue(kMigrationLock);
            run(lock);
            lock.finish();
            // Another workstation may have brought it up to date while this one waited.
            const int current = checkedVersion();
            if (current == kSchemaVersion)
                return;
            for (int from = current; from < kSchemaVersion; ++from)
                migrateFrom(from, Dialect::PostgreSql);
            for (const QString& statement : versionStatements(kSchemaVersion, Dialect::PostgreSql))
                run(statement);
        });
    } catch (const StoreError& error) {
        if (error.nativeCode() != kInsufficientPrivilege)
            throw;
        throw StoreError(
            StoreError::Kind::Rights,
            QStringLiteral("Les tables des dossiers doivent être créées ou mises à jour (schéma %1) "
                           "sur le serveur %2, et ce rôle n'en a pas le droit : demandez à "
                           "l'administrateur d'exécuter le script vimora-setup.sql (voir l'aide, "
                           "rubrique « Dossiers sur un serveur »).")
                .arg(kSchemaVersion)
                .arg(quoted(m_shown)),
            error.nativeCode());
    }
}

void PostgresStore::checkRights() {
    QSqlQuery query(m_database);
    const QString sql = QStringLiteral(
        "SELECT has_table_privilege('patient', 'SELECT') AND has_table_privilege('visite', 'SELECT'), "
        "has_table_privilege('patient', 'INSERT') AND has_table_privilege('patient', 'UPDATE') AND "
        "has_table_privilege('patient', 'DELETE') AND has_table_privilege('visite', 'INSERT') AND "
        "has_table_privilege('visite', 'UPDATE') AND has_table_privilege('visite', 'DELETE')");
    if (!query.exec(sql) || !query.next())
        throw errorOf(query.lastError());
    if (!query.value(0).toBool()) {
        throw StoreError(
            StoreError::Kind::Rights,
            QStringLiteral("Le rôle de connexion au serveur de dossiers %1 ne peut pas lire les "
                           "dossiers : demandez à l'administrateur les droits décrits dans l'aide "
                           "(rubrique « Dossiers sur un serveur »).")
                .arg(quoted(m_shown)));
    }
    if (!query.value(1).toBool()) {
        keepReadOnly(QStringLiteral("Les dossiers du serveur %1 sont ouverts en lecture seule : ce rôle "
                                    "peut les lire, pas les modifier.")
                         .arg(quoted(m_shown)));
    }
}

QString PostgresStore::changeStamp() const {
    ready();
    // Read every few seconds while a records window is active: one row, moved by the schema's
    // triggers at the commit of every change of the records.
    QSqlQuery query = prepared(QStringLiteral("SELECT numero FROM vimora_changement"));
    run(query);
    if (!query.next())
        fail(query);
    return query.value(0).toString();
}

void PostgresStore::backup(const QString& target) const {
    const std::unique_ptr<QTemporaryFile> copy = SqliteStore::newCopyFile(target);
    const auto cannotWrite = [&](const QString& why) {
        return StoreError(
            StoreError::Kind::Output,
            QStringLiteral("La copie %1 ne peut pas être écrite : %2.").arg(quoted(target), why));
    };
    // SQLite's own texts are English: its primary result code says the reason.
    const auto copyFault = [](const QSqlError& error) {
        switch (sqliteFault(error.nativeErrorCode().toInt())) {
        case Fault::DiskFull:
            return QStringLiteral("plus de place sur le disque");
        case Fault::DiskIo:
            return QStringLiteral("erreur d'entrée-sortie");
        case Fault::ReadOnly:
            return QStringLiteral("le fichier n'accepte que la lecture");
        case Fault::Rights:
            return QStringLiteral("le fichier ne peut pas être ouvert");
        default:
            return QStringLiteral("erreur de SQLite n° %1").arg(error.nativeErrorCode());
        }
    };
    // An empty file becomes a records file of this version: its tables, its marks, its journal.
    { const SqliteStore created(copy->fileName()); }

    const QString copyConnection = m_connectionName + QStringLiteral("-copy");
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), copyConnection);
        file.setDatabaseName(copy->fileName());
        const auto closeFile = qScopeGuard([&] { file.close(); });
        if (!file.open())
            throw cannotWrite(copyFault(file.lastError()));
        ready();
        // One snapshot of the server: patients and visits as they were at one instant.
        run(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
        const auto endSnapshot = qScopeGuard([&] { QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK")); });
        QSqlQuery fileQuery(file);
        fileQuery.exec(QStringLiteral("BEGIN"));
        for (const auto& [table, columns, count] : {std::tuple{QStringLiteral("patient"), kPatientCopy, 12},
                                                    std::tuple{QStringLiteral("visite"), kVisitCopy, 14},
                                                    std::tuple{QStringLiteral("alerte"), kAlertCopy, 4}}) {
            // By the key: id, or patient and rank.
            QSqlQuery rows = prepared(QStringLiteral("SELECT %1 FROM %2 ORDER BY 1, 2").arg(columns, table));
            run(rows);
            QSqlQuery insert(file);
            QStringList marks;
            for (int i = 0; i < count; ++i)
                marks << QStringLiteral("?");
            insert.prepare(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, columns, marks.join(',')));
            while (rows.next()) {
                for (int i = 0; i < count; ++i)
                    insert.bindValue(i, rows.value(i));
                if (!insert.exec())
                    throw cannotWrite(copyFault(insert.lastError()));
            }
            if (rows.lastError().isValid())
                fail(rows);
        }
        if (!fileQuery.exec(QStringLiteral("COMMIT")))
            throw cannotWrite(copyFault(fileQuery.lastError()));
    }
    QSqlDatabase::removeDatabase(copyConnection);

    if (!SqliteStore::stillHeld(*copy))
        throw cannotWrite(QStringLiteral("son fichier temporaire a disparu"));
    SqliteStore::writeOver(*copy, target);
}

// The tables as they are against the tables the program's own schema gives, built as temporary
// tables in a transaction that is rolled back: columns, types, and every constraint.
QStringList PostgresStore::constraintProblems(bool& tablesPresent) const {
    tablesPresent = true;
    const QString shape = QStringLiteral(
        "SELECT (SELECT string_agg(attname || ' ' || format_type(atttypid, atttypmod) || "
        "CASE WHEN attnotnull THEN ' NOT NULL' ELSE '' END, ', ' ORDER BY attnum) FROM pg_attribute "
        "WHERE attrelid = c.oid AND attnum > 0 AND NOT attisdropped), "
        "(SELECT string_agg(pg_get_constraintdef(k.oid), ', ' ORDER BY pg_get_constraintdef(k.oid)) "
        "FROM pg_constraint k WHERE k.conrelid = c.oid), "
        "(SELECT count(*) FROM pg_constraint k WHERE k.conrelid = c.oid AND NOT k.convalidated) "
        "FROM pg_class c WHERE c.oid = to_regclass(?)");
    const auto shapeOf = [&](const QString& table) {
        QSqlQuery query = prepared(shape);
        query.addBindValue(table);
        run(query);
        if (!query.next())
            return QStringList();
        return QStringList{query.value(0).toString(), query.value(1).toString(), query.value(2).toString()};
    };
    QStringList problems;
    std::vector<QStringList> actual;
    for (const QString& table : kTables) {
        actual.push_back(shapeOf(table));
        if (actual.back().isEmpty()) {
            problems << QStringLiteral("la table %1 manque").arg(table);
            tablesPresent = false;
        } else if (actual.back().at(2) != QLatin1String("0"))
            problems << QStringLiteral("des contraintes de la table %1 ne sont pas vérifiées").arg(table);
    }
    run(QStringLiteral("BEGIN"));
    const auto rollback = qScopeGuard([&] { QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK")); });
    run(QStringLiteral("SET LOCAL search_path = pg_temp"));
    try {
        for (int from = 0; from < kSchemaVersion; ++from) {
            for (const QString& statement : migrationFrom(from, Dialect::PostgreSql))
                run(statement);
        }
    } catch (const StoreError& error) {
        if (error.nativeCode() != kInsufficientPrivilege)
            throw;
        // Nothing is known of the records then: not a fault of theirs.
        throw StoreError(StoreError::Kind::Rights,
                         QStringLiteral("Les dossiers du serveur %1 n'ont pas pu être vérifiés : ce rôle ne "
                                        "peut pas créer de tables temporaires (droit TEMPORARY sur la base), "
                                        "qui servent à comparer les contraintes au schéma.")
                             .arg(quoted(m_shown)),
                         error.nativeCode());
    }
    for (std::size_t i = 0; i < kTables.size(); ++i) {
        const QStringList expected = shapeOf(QStringLiteral("pg_temp.") + kTables[i]);
        if (actual[i].isEmpty())
            continue;
        if (actual[i].at(0) != expected.at(0))
            problems << QStringLiteral("les colonnes de la table %1 diffèrent du schéma %2")
                            .arg(kTables[i])
                            .arg(kSchemaVersion);
        if (actual[i].at(1) != expected.at(1))
            problems << QStringLiteral("les contraintes de la table %1 diffèrent du schéma %2")
                            .arg(kTables[i])
                            .arg(kSchemaVersion);
    }
    return problems;
}

// The schema's indexes as it makes them, usable; no trigger, which could rewrite what is stored;
// no row-level security, which could hide records from a role.
QStringList PostgresStore::schemaObjectProblems() const {
    QStringList problems;
    for (const SchemaIndex& expected : kSchemaIndexes) {
        QSqlQuery index =
            prepared(QStringLiteral("SELECT i.indisunique, i.indisvalid AND i.indisready, i.indpred IS NULL "
                                    "FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                                    "WHERE i.indrelid = to_regclass(?) AND c.relname = ?"));
        index.addBindValue(QString::fromLatin1(expected.table));
        index.addBindValue(QString::fromLatin1(expected.name));
        run(index);
        if (!index.next())
            problems << QStringLiteral("l'index %1 de la table %2 manque")
                            .arg(QLatin1String(expected.name), QLatin1String(expected.table));
        else if (index.value(0).toBool() != expected.unique || !index.value(2).toBool())
            problems << QStringLiteral("l'index %1 de la table %2 diffère du schéma %3")
                            .arg(QLatin1String(expected.name), QLatin1String(expected.table))
                            .arg(kSchemaVersion);
        else if (!index.value(1).toBool())
            problems << QStringLiteral("l'index %1 de la table %2 est inutilisable (sa création a échoué)")
                            .arg(QLatin1String(expected.name), QLatin1String(expected.table));
    }
    for (const QString& table : kTables) {
        // Only the change stamp's own trigger, calling its own function, is the schema's.
        QSqlQuery triggers = prepared(QStringLiteral(
            "SELECT t.tgname FROM pg_trigger t WHERE t.tgrelid = to_regclass(?) AND NOT t.tgisinternal AND "
            "NOT (t.tgname = 'vimora_changement' AND t.tgfoid = to_regproc('vimora_changement_note')) "
            "ORDER BY t.tgname"));
        triggers.addBindValue(table);
        run(triggers);
        while (triggers.next()) {
            problems << QStringLiteral("la table %1 porte un déclencheur (%2) que Vimora ne crée pas, qui "
                                       "peut modifier les dossiers")
                            .arg(table, triggers.value(0).toString());
        }
        QSqlQuery security = prepared(
            QStringLiteral("SELECT c.relrowsecurity, (SELECT string_agg(p.polname, ', ' ORDER BY p.polname) "
                           "FROM pg_policy p WHERE p.polrelid = c.oid) "
                           "FROM pg_class c WHERE c.oid = to_regclass(?)"));
        security.addBindValue(table);
        run(security);
        if (security.next() && security.value(0).toBool()) {
            const QString policies = security.value(1).toString();
            problems << QStringLiteral("la sécurité au niveau des lignes est activée sur la table %1 (%2) : "
                                       "des dossiers peuvent y être cachés")
                            .arg(table, policies.isEmpty() ? QStringLiteral("sans politique")
                                                           : QStringLiteral("politiques : ") + policies);
        }
    }
    return problems;
}

// What keeps the check from being made (a lock, a full disk, a right, the connection) is thrown:
// it says nothing of the records.
CheckReport PostgresStore::verify() const {
    ready();
    QStringList problems;
    const int version = checkedVersion();
    if (version != kSchemaVersion)
        problems
            << QStringLiteral("la version du schéma est %1, %2 attendue").arg(version).arg(kSchemaVersion);
    bool tablesPresent = true;
    problems << constraintProblems(tablesPresent);
    if (tablesPresent) {
        problems << schemaObjectProblems();
        QSqlQuery orphans = prepared(QStringLiteral("SELECT count(*) FROM visite v WHERE NOT EXISTS "
                                                    "(SELECT 1 FROM patient p WHERE p.id = v.patient_id)"));
        run(orphans);
        if (!orphans.next())
            fail(orphans);
        if (orphans.value(0).toLongLong() > 0)
            problems << QStringLiteral("des consultations renvoient à des patients absents");
        orphans.finish();
        QSqlQuery duplicates = prepared(duplicateVisitsQuery());
        run(duplicates);
        if (!duplicates.next())
            fail(duplicates);
        if (duplicates.value(0).toLongLong() > 0)
            problems << duplicateVisitsProblem(duplicates.value(0).toLongLong());
    }
    CheckReport report;
    report.sound = problems.isEmpty();
    report.message = report.sound
                         ? QStringLiteral("Les dossiers du serveur %1 sont sains (schéma %2 ; tables et "
                                          "contraintes conformes).")
                               .arg(quoted(m_shown))
                               .arg(kSchemaVersion)
                         : QStringLiteral("Les dossiers du serveur %1 ne sont pas sains : %2.")
                               .arg(quoted(m_shown), problems.join(QStringLiteral(" ; ")));
    return report;
}

} // namespace vimora::records
