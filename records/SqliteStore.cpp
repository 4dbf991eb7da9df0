#include "SqliteStore.h"

#include "SafeWrite.h"
#include "Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QTemporaryFile>
#include <QUrl>

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

} // namespace

// When open() throws, the shared part's destructor still closes the connection.
SqliteStore::SqliteStore(const QString& path)
    : m_path(QFileInfo(path).absoluteFilePath()) {
    open();
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
    closeDatabase();
    connect(false, false);
    migrate(version);
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
        // Another program created it meanwhile: it is opened as theirs is.
        if (QFileInfo::exists(m_path))
            return;
        throw StoreError(StoreError::Kind::Unusable,
                         QStringLiteral("La base de dossiers %1 ne peut pas être créée : %2.")
                             .arg(quoted(m_path), created.errorString()));
    }
}

bool SqliteStore::isSqliteFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(kSqliteHeader.size()) == kSqliteHeader;
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
        throw errorOfCode(m_database.lastError().nativeErrorCode().toInt());
    run(QStringLiteral("PRAGMA foreign_keys = ON"));
}

int SqliteStore::checkedVersion() const {
    const QString notOurs =
        QStringLiteral("Le fichier %1 n'est pas une base de dossiers de Vimora (il appartient "
                       "à un autre programme, ou il est endommagé). Il n'a pas été modifié.")
            .arg(quoted(m_path));
    // One statement, so one snapshot: another program creating the base meanwhile is seen before
    // or after its migration, never halfway.
    QSqlQuery query(m_database);
    if (!query.exec(QStringLiteral("SELECT (SELECT * FROM pragma_application_id), (SELECT * FROM "
                                   "pragma_user_version), (SELECT count(*) FROM sqlite_master)")) ||
        !query.next())
        throw StoreError(StoreError::Kind::Unusable, notOurs);
    const qint64 applicationId = query.value(0).toLongLong();
    const qint64 version = query.value(1).toLongLong();
    const qint64 objects = query.value(2).toLongLong();
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
        for (const QString& statement : versionStatements(kSchemaVersion, Dialect::Sqlite))
            run(statement);
    });
}

// The driver's own text is left out: it may quote a value of the records.
StoreError SqliteStore::errorOfCode(int sqliteCode) const {
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

StoreError SqliteStore::errorOf(const QSqlError& error) const {
    return errorOfCode(error.nativeErrorCode().toInt());
}

// IMMEDIATE takes the write lock first, so that a busy file is waited for at the start rather than
// failing halfway.
void SqliteStore::begin() {
    run(QStringLiteral("BEGIN IMMEDIATE"));
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
    const std::optional<QString> failure = copyFileSafely(copy, target);
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
    QSqlQuery duplicates(m_database);
    if (!duplicates.exec(duplicateVisitsQuery()) || !duplicates.next())
        problems << QStringLiteral("la recherche des consultations en double n'a pas pu aller jusqu'au bout");
    else if (const qint64 count = duplicates.value(0).toLongLong(); count > 0)
        problems << duplicateVisitsProblem(count);
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
