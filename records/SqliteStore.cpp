#include "SqliteStore.h"

#include "Schema.h"
#include "SqlRows.h"
#include "StoreFaults.h"
#include "platform/qt/FileErrors.h"
#include "platform/qt/WholeFile.h"
#include "text/Quoted.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QTemporaryFile>
#include <QThread>
#include <QUrl>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace vimora::records {

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kBusyRetryMs = 20;
constexpr qsizetype kReportedProblems = 10;

const QByteArray kSqliteHeader("SQLite format 3\0", 16);

const std::array<QString, 4> kCompanionSuffixes{QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                                QStringLiteral("-journal")};

using text::quoted;

using FileIdentity = std::pair<dev_t, ino_t>;

std::optional<FileIdentity> identityOf(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

bool sameFile(const QString& first, const QString& second) {
    const std::optional<FileIdentity> one = identityOf(first);
    return one && one == identityOf(second);
}

// The records files this process's stores have open, with how many stores hold each.
std::mutex openFilesMutex;
std::map<FileIdentity, int> openFiles;

// Counts `file` as open until the result is dropped; `alreadyOpen` tells whether another store of
// this process had it open.
std::shared_ptr<const void> holdOpen(const FileIdentity& file, bool& alreadyOpen) {
    const std::scoped_lock lock(openFilesMutex);
    alreadyOpen = openFiles[file]++ > 0;
    return {nullptr, [file](const void*) {
                const std::scoped_lock unlock(openFilesMutex);
                if (--openFiles[file] == 0)
                    openFiles.erase(file);
            }};
}

// A copy is made in a hidden file beside its target, held with flock() while it is written (SQLite
// opening and closing the file leaves that lock alone): one that nobody holds was left by a run
// that was killed, and is removed with its journal.
const QString kCopyPattern = QStringLiteral("^\\.%1\\.[A-Za-z0-9]{6}(-journal|-wal|-shm)?$");

void removeLeftoverCopies(const QFileInfo& target) {
    const QDir directory(target.absolutePath());
    const QRegularExpression leftover(kCopyPattern.arg(QRegularExpression::escape(target.fileName())));
    const QStringList names = directory.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = leftover.match(name);
        if (!match.hasMatch())
            continue;
        const QString copy = directory.filePath(name.chopped(match.capturedLength(1)));
        const int handle = ::open(QFile::encodeName(copy).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (handle < 0 && errno != ENOENT)
            continue;
        if (handle < 0 || ::flock(handle, LOCK_EX | LOCK_NB) == 0) {
            for (const QString& suffix : kCompanionSuffixes)
                QFile::remove(copy + suffix);
        }
        if (handle >= 0)
            ::close(handle);
    }
}

} // namespace

// When open() throws, the shared part's destructor still closes the connection.
SqliteStore::SqliteStore(const QString& path, Access access)
    : m_path(QFileInfo(path).absoluteFilePath()) {
    open(access);
}

// Closed before the file stops counting as open here.
SqliteStore::~SqliteStore() {
    m_direct.clear();
    closeDatabase();
}

void SqliteStore::open(Access access) {
    const QFileInfo file(m_path);
    if (file.isDir()) {
        throw StoreError(
            StoreError::Kind::Damaged,
            QStringLiteral("%1 est un répertoire, pas une base de dossiers.").arg(quoted(m_path)));
    }
    if (file.exists() && !file.isFile()) {
        throw StoreError(StoreError::Kind::Damaged,
                         QStringLiteral("%1 n'est pas un fichier ordinaire : ce ne peut pas être une base de "
                                        "dossiers.")
                             .arg(quoted(m_path)));
    }
    if (!file.exists()) {
        if (access != Access::CreateWhenMissing) {
            throw StoreError(
                StoreError::Kind::NotFound,
                QStringLiteral("La base de dossiers %1 n'existe pas : rien n'a été créé. Vérifiez "
                               "le chemin (et que le partage qui la contient est monté) ; seuls "
                               "« importer » et la fenêtre de Vimora créent une base.")
                    .arg(quoted(m_path)));
        }
        createFile();
    }
    const std::optional<FileIdentity> identity = identityOf(m_path);
    bool alreadyOpen = false;
    if (identity)
        m_openHere = holdOpen(*identity, alreadyOpen);
    // No file the program writes, from any window or command, replaces the records or a journal.
    m_writeGuard = platform::guardWrites([base = m_path](const QString& target) -> std::optional<QString> {
        try {
            refuseRecordsFile(base, target);
        } catch (const StoreError& error) {
            return error.message();
        }
        return std::nullopt;
    });
    // Opening and closing the file here would drop the locks SQLite holds on it for another store
    // of this process; that store's opening checked it.
    if (!alreadyOpen)
        checkHeader();

    const QFileInfo directory(file.absolutePath());
    if (access == Access::ReadOnly || !QFileInfo(m_path).isWritable() || !directory.isWritable()) {
        keepReadOnly(QStringLiteral("La base de dossiers %1 est ouverte en lecture seule : %2 ne peut pas "
                                    "être modifié.")
                         .arg(quoted(m_path), directory.isWritable() ? QStringLiteral("le fichier")
                                                                     : QStringLiteral("son répertoire")));
    }

    connect(true, readOnly() && readableAsImmutable());
    int version = 0;
    whileBusy([&] { version = checkedVersion(); });
    if (readOnly()) {
        // A copy of an earlier version is read as it is: it is never changed.
        if (version == 0 || (version < kSchemaVersion && access != Access::ReadOnly)) {
            throw StoreError(StoreError::Kind::ReadOnly,
                             QStringLiteral("La base de dossiers %1 doit être mise à jour, mais elle est en "
                                            "lecture seule.")
                                 .arg(quoted(m_path)));
        }
        return;
    }
    closeDatabase();
    if (version == 0)
        makePrivate();
    connect(false, false);
    whileBusy([&] { migrate(version); });
}

// A base that another program is creating, or whose journal it is recovering, can answer "busy" at
// once rather than after the wait for a lock: tried again for as long as that wait.
void SqliteStore::whileBusy(const std::function<void()>& step) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        try {
            step();
            return;
        } catch (const StoreError& error) {
            if (error.kind() != StoreError::Kind::Busy || waited.elapsed() >= kBusyTimeoutMs)
                throw;
        }
        QThread::msleep(kBusyRetryMs);
    }
}

// A file becoming a base, made by another program (an empty file, a new SQLite file), is the
// owner's alone before anything is written to it, with its journals.
void SqliteStore::makePrivate() const {
    for (const QString& suffix : kCompanionSuffixes) {
        const QByteArray name = QFile::encodeName(m_path + suffix);
        if (::chmod(name.constData(), S_IRUSR | S_IWUSR) != 0 && (suffix.isEmpty() || errno != ENOENT)) {
            throw StoreError(StoreError::Kind::Rights,
                             QStringLiteral("Le fichier %1 ne peut pas devenir une base de dossiers : ses "
                                            "droits ne peuvent pas être réservés à son propriétaire.")
                                 .arg(quoted(m_path + suffix)));
        }
    }
}

void SqliteStore::createFile() const {
    const QFileInfo file(m_path);
    const QString directory = file.absolutePath();
    if (!QFileInfo::exists(directory)) {
        // Each missing folder is the owner's alone, whatever the umask.
        QStringList missing;
        for (QString folder = directory; !QFileInfo::exists(folder);
             folder = QFileInfo(folder).absolutePath())
            missing.prepend(folder);
        const bool made = std::ranges::all_of(missing, [](const QString& folder) {
            return ::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) == 0 || errno == EEXIST;
        });
        if (!made) {
            throw StoreError(StoreError::Kind::Rights,
                             QStringLiteral("Le répertoire %1 de la base de dossiers ne peut pas être créé.")
                                 .arg(quoted(directory)));
        }
    }
    QFile created(m_path);
    errno = 0;
    if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const int error = errno;
        // Another program created it meanwhile: it is opened as theirs is.
        if (QFileInfo::exists(m_path))
            return;
        throw StoreError(StoreError::Kind::Rights,
                         QStringLiteral("La base de dossiers %1 ne peut pas être créée : %2.")
                             .arg(quoted(m_path), platform::fileErrorText(created, error)));
    }
}

bool SqliteStore::isSqliteFile(const QString& path) {
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(kSqliteHeader.size()) == kSqliteHeader;
}

void SqliteStore::refuseRecordsFile(const QString& base, const QString& path) {
    const QFileInfo given(base);
    QStringList records;
    for (const QString& name : {given.absoluteFilePath(), given.canonicalFilePath()}) {
        if (name.isEmpty())
            continue;
        for (const QString& suffix : kCompanionSuffixes)
            records << name + suffix;
    }
    const QFileInfo target(path);
    // A path that names no file yet is created where a link leads.
    const QFileInfo created(target.isSymLink() ? target.symLinkTarget() : target.absoluteFilePath());
    const bool isRecords = std::ranges::any_of(records, [&](const QString& name) {
        const QFileInfo record(name);
        return sameFile(path, name) || (!target.exists() && created.fileName() == record.fileName() &&
                                        sameFile(created.absolutePath(), record.absolutePath()));
    });
    if (isRecords) {
        throw StoreError(StoreError::Kind::Input,
                         QStringLiteral("%1 est la base de dossiers %2 ou l'un de ses fichiers (-wal, -shm, "
                                        "-journal) : la commande ne l'a ni lu ni écrit. Choisissez un autre "
                                        "fichier.")
                             .arg(quoted(path), quoted(given.absoluteFilePath())));
    }
}

// Before SQLite sees it: a file that is neither empty (a new base) nor a SQLite file is never
// handed to it, so that nothing can write to it.
void SqliteStore::checkHeader() const {
    QFile file(m_path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        throw StoreError(StoreError::Kind::Rights,
                         QStringLiteral("La base de dossiers %1 ne peut pas être lue : %2.")
                             .arg(quoted(m_path), platform::fileErrorText(file, errno)));
    }
    const QByteArray header = file.read(kSqliteHeader.size());
    if (!header.isEmpty() && header != kSqliteHeader) {
        throw StoreError(StoreError::Kind::Damaged,
                         QStringLiteral("Le fichier %1 n'est pas une base de dossiers de Vimora, ou il est "
                                        "endommagé. Il n'a pas été modifié.")
                             .arg(quoted(m_path)));
    }
}

// A read-only connection creates the -wal and -shm files it lacks wherever it can, with the base's
// permissions, and leaves them behind (a -shm that cannot be written keeps the base read-only even
// once it can be). Without a -wal, or with an empty one nobody has open, the base alone holds every
// committed change: it is read as immutable, creating nothing. With both, SQLite reads the -wal
// through them. A -wal that holds changes without its -shm cannot be read without creating one.
bool SqliteStore::readableAsImmutable() const {
    const QString canonical = QFileInfo(m_path).canonicalFilePath();
    const QFileInfo wal(canonical + QStringLiteral("-wal"));
    const bool shm = QFileInfo::exists(canonical + QStringLiteral("-shm"));
    if (!wal.exists() || (wal.size() == 0 && !shm))
        return true;
    if (shm)
        return false;
    // Not Unusable: nothing says the base is damaged.
    throw StoreError(
        StoreError::Kind::ReadOnly,
        QStringLiteral("La base de dossiers %1 est en lecture seule, et ses derniers "
                       "enregistrements sont encore dans son journal %2, qui ne peut pas être lu "
                       "sans créer un fichier à côté d'elle : elle n'a pas été ouverte, pour ne "
                       "pas montrer une partie des dossiers comme s'ils étaient complets. "
                       "Ouvrez-la une fois là où elle peut être modifiée : le journal y sera "
                       "intégré à la base.")
            .arg(quoted(m_path), quoted(wal.filePath())));
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
            StoreError::Kind::Failed,
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
        !query.next()) {
        // A lock held elsewhere, a full disk or a file it may not read say nothing of whose it is.
        const StoreError error = errorOf(query.lastError());
        if (error.kind() == StoreError::Kind::Damaged)
            throw StoreError(StoreError::Kind::Damaged, notOurs, error.nativeCode());
        throw error;
    }
    const qint64 applicationId = query.value(0).toLongLong();
    const qint64 version = query.value(1).toLongLong();
    const qint64 objects = query.value(2).toLongLong();
    const bool fresh = applicationId == 0 && version == 0 && objects == 0;
    if (applicationId != kSqliteApplicationId && !fresh)
        throw StoreError(StoreError::Kind::Damaged, notOurs);
    if (version > kSchemaVersion) {
        throw StoreError(StoreError::Kind::Damaged,
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
        if (!current.next())
            fail(current);
        const int stored = current.value(0).toInt();
        current.finish();
        for (int from = stored; from < kSchemaVersion; ++from)
            migrateFrom(from, Dialect::Sqlite);
        for (const QString& statement : versionStatements(kSchemaVersion, Dialect::Sqlite))
            run(statement);
    });
}

// The driver's own text is left out: it may quote a value of the records.
StoreError SqliteStore::errorOfCode(int sqliteCode) const {
    return storeFault(sqliteFault(sqliteCode), Dialect::Sqlite, quoted(m_path), QString::number(sqliteCode));
}

StoreError SqliteStore::errorOf(const QSqlError& error) const {
    return errorOfCode(error.nativeErrorCode().toInt());
}

// IMMEDIATE takes the write lock first, so that a busy file is waited for at the start rather than
// failing halfway.
void SqliteStore::begin() {
    run(QStringLiteral("BEGIN IMMEDIATE"));
}

QString SqliteStore::changeStamp() const {
    ready();
    QSqlQuery query = prepared(QStringLiteral("PRAGMA data_version"));
    run(query);
    query.next();
    return query.value(0).toString();
}

std::unique_ptr<QTemporaryFile> SqliteStore::newCopyFile(const QString& target) {
    const QFileInfo targetFile(target);
    removeLeftoverCopies(targetFile);
    // Beside the target, where the user chose to put the records, then written over it whole.
    auto copy = std::make_unique<QTemporaryFile>(targetFile.absolutePath() + QStringLiteral("/.") +
                                                 targetFile.fileName() + QStringLiteral(".XXXXXX"));
    errno = 0;
    if (!copy->open() || ::flock(copy->handle(), LOCK_EX | LOCK_NB) != 0) {
        throw StoreError(StoreError::Kind::Output,
                         QStringLiteral("La copie %1 ne peut pas être écrite : %2.")
                             .arg(quoted(target), platform::fileErrorText(*copy, errno)));
    }
    return copy;
}

bool SqliteStore::stillHeld(QTemporaryFile& copy) {
    struct stat held {};
    return ::fstat(copy.handle(), &held) == 0 &&
           identityOf(copy.fileName()) == FileIdentity{held.st_dev, held.st_ino} && copy.seek(0);
}

void SqliteStore::writeOver(QIODevice& copy, const QString& target) {
    const std::optional<platform::WriteFailure> failure =
        platform::writeWholeFile(target, [&](QIODevice& out) {
            constexpr qint64 kChunk = qint64(1) << 20;
            while (!copy.atEnd()) {
                const QByteArray bytes = copy.read(kChunk);
                if (bytes.isEmpty() || out.write(bytes) != bytes.size())
                    return false;
            }
            return true;
        });
    if (failure)
        throw StoreError(StoreError::Kind::Output, failure->message(target));
}

void SqliteStore::backup(const QString& target) const {
    refuseRecordsFile(m_path, target);
    const std::unique_ptr<QTemporaryFile> copy = newCopyFile(target);
    QSqlQuery vacuum = prepared(QStringLiteral("VACUUM INTO ?"));
    vacuum.addBindValue(copy->fileName());
    if (!vacuum.exec()) {
        if (sqliteFault(vacuum.lastError().nativeErrorCode().toInt()) == Fault::DiskFull) {
            throw StoreError(
                StoreError::Kind::DiskFull,
                QStringLiteral("Le disque est plein : la copie %1 n'a pas été écrite.").arg(quoted(target)));
        }
        fail(vacuum);
    }
    if (!stillHeld(*copy)) {
        throw StoreError(StoreError::Kind::Output,
                         QStringLiteral("La copie %1 n'a pas été écrite : son fichier temporaire a disparu.")
                             .arg(quoted(target)));
    }
    writeOver(*copy, target);
}

// The schema's indexes as it makes them, and no trigger: one could rewrite what is stored.
QStringList SqliteStore::schemaObjectProblems() const {
    QStringList problems;
    for (const SchemaIndex& expected : kSchemaIndexes) {
        QSqlQuery index(m_database);
        index.prepare(QStringLiteral(
            "SELECT il.\"unique\", il.partial FROM pragma_index_list(?) il WHERE il.name = ?"));
        index.addBindValue(QString::fromLatin1(expected.table));
        index.addBindValue(QString::fromLatin1(expected.name));
        if (!index.exec()) {
            problems << QStringLiteral("la recherche des index n'a pas pu aller jusqu'au bout");
            break;
        }
        if (!index.next())
            problems << QStringLiteral("l'index %1 de la table %2 manque")
                            .arg(QLatin1String(expected.name), QLatin1String(expected.table));
        else if (index.value(0).toBool() != expected.unique || index.value(1).toBool())
            problems << QStringLiteral("l'index %1 de la table %2 diffère du schéma %3")
                            .arg(QLatin1String(expected.name), QLatin1String(expected.table))
                            .arg(kSchemaVersion);
    }
    QSqlQuery triggers(m_database);
    if (!triggers.exec(QStringLiteral(
            "SELECT name, tbl_name FROM sqlite_master WHERE type = 'trigger' ORDER BY name"))) {
        problems << QStringLiteral("la recherche des déclencheurs n'a pas pu aller jusqu'au bout");
        return problems;
    }
    while (triggers.next()) {
        problems << QStringLiteral("la table %1 porte un déclencheur (%2) que Vimora ne crée pas, qui peut "
                                   "modifier les dossiers")
                        .arg(triggers.value(1).toString(), triggers.value(0).toString());
    }
    return problems;
}

// A check that could not be made for a lock, a full disk or the file's rights says nothing of the
// records: it is thrown. One that fails on the file itself is part of what is wrong with it.
CheckReport SqliteStore::verify() const {
    QStringList problems;
    const auto unchecked = [&](const QSqlQuery& query, const QString& what) {
        const StoreError error = errorOf(query.lastError());
        if (error.kind() != StoreError::Kind::Damaged && error.kind() != StoreError::Kind::Failed)
            throw error;
        problems << QStringLiteral("%1 n'a pas pu aller jusqu'au bout (code SQLite %2)")
                        .arg(what, error.nativeCode());
    };
    QSqlQuery integrity(m_database);
    integrity.setForwardOnly(true);
    const QString integrityCheck = QStringLiteral("la vérification d'intégrité");
    if (!integrity.exec(QStringLiteral("PRAGMA integrity_check"))) {
        unchecked(integrity, integrityCheck);
    } else {
        while (integrity.next()) {
            const QString line = integrity.value(0).toString();
            if (line != QLatin1String("ok"))
                problems << line;
        }
        if (integrity.lastError().isValid())
            unchecked(integrity, integrityCheck);
    }
    QSqlQuery references(m_database);
    references.setForwardOnly(true);
    const QString referenceCheck = QStringLiteral("la vérification des patients des consultations");
    const bool referencesRead = references.exec(QStringLiteral("PRAGMA foreign_key_check"));
    if (referencesRead && references.next())
        problems << QStringLiteral("des consultations renvoient à des patients absents");
    else if (!referencesRead || references.lastError().isValid())
        unchecked(references, referenceCheck);
    problems << schemaObjectProblems();
    QSqlQuery duplicates(m_database);
    const QString duplicateCheck = QStringLiteral("la recherche des consultations en double");
    if (!duplicates.exec(duplicateVisitsQuery()) || !duplicates.next())
        unchecked(duplicates, duplicateCheck);
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

// Straight through SQLite, a hundred rows a statement: no JSON text to write and read.
int SqliteStore::insertVisits(const std::vector<QVariantList>& rows) const {
    return insertRows(newVisitsInsert, rows, nullptr);
}

// Straight through SQLite, as many rows a statement as through Qt SQL, each statement kept for the
// transaction.
int SqliteStore::insertRows(const std::function<QString(std::size_t rows)>& statement,
                            const std::vector<QVariantList>& rows, std::vector<qint64>* ids) const {
    if (rows.empty())
        return 0;
    SqliteStatement* insert = direct(statement(std::min(kRowsPerStatement, rows.size())));
    if (insert == nullptr)
        return SqlStore::insertRows(statement, rows, ids);
    int inserted = 0;
    QVariantList values;
    for (std::size_t first = 0; first < rows.size(); first += kRowsPerStatement) {
        const std::size_t count = std::min(kRowsPerStatement, rows.size() - first);
        if (first > 0 && count < kRowsPerStatement)
            insert = direct(statement(count));
        values.clear();
        for (std::size_t row = first; row < first + count; ++row)
            values += rows[row];
        insert->bind(values);
        const std::size_t chunkStart = ids != nullptr ? ids->size() : 0;
        while (insert->next()) {
            if (ids != nullptr)
                ids->push_back(insert->integer(0));
        }
        if (ids != nullptr)
            sortInsertedIds(*ids, chunkStart);
        inserted += insert->changes();
    }
    return inserted;
}

void SqliteStore::readAssessedVisits(const QString& sql, const std::vector<qint64>& ids,
                                     const std::function<void(Visit&&)>& each) const {
    SqliteStatement* read = direct(sql);
    if (read == nullptr) {
        SqlStore::readAssessedVisits(sql, ids, each);
        return;
    }
    read->bind(QVariantList(ids.begin(), ids.end()));
    while (read->next())
        each(assessedVisitOf(*read, 0));
}

SqliteStatement* SqliteStore::direct(const QString& sql) const {
    if (!writing())
        return nullptr;
    if (const auto kept = m_direct.find(sql); kept != m_direct.end())
        return &kept->second;
    std::optional<SqliteStatement> statement =
        SqliteStatement::prepare(m_database, sql, [this](int code) { return errorOfCode(code); });
    if (!statement)
        return nullptr;
    return &m_direct.emplace(sql, std::move(*statement)).first->second;
}

void SqliteStore::forgetStatements() const {
    m_direct.clear();
    SqlStore::forgetStatements();
}

} // namespace vimora::records
