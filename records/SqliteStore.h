#pragma once

#include "SqlStore.h"
#include "SqliteDirect.h"

#include <functional>
#include <map>
#include <memory>

class QTemporaryFile;

// The records in one SQLite file through Qt SQL (QSQLITE, the system's SQLite): WAL journal,
// synchronous=FULL so that a committed visit survives a crash or a power cut, foreign keys on,
// and a wait of up to 5 s for a file another program is writing. The rows of a large write go
// straight to SQLite on the driver's own connection, in the same transaction (SqliteDirect.h).
namespace vimora::records {

class SqliteStore final : public SqlStore {
public:
    /// Opens `path`, or creates it (0600, its directory 0700) when `access` allows. Refuses with
    /// StoreError Damaged, without writing to it, a directory, a special file, a damaged file or
    /// one of another program, and a file of a newer schema version; with NotFound a missing file
    /// it may not create. Opens read-only what cannot be written, or `access` says to only read,
    /// and then creates nothing beside the file: refuses (ReadOnly) a file whose last changes
    /// cannot be read without creating a file beside it.
    explicit SqliteStore(const QString& path, Access access = Access::CreateWhenMissing);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    /// True when `path` is an ordinary file that begins as every SQLite file does (a pipe is
    /// never one, and is not read).
    static bool isSqliteFile(const QString& path);

    /// Throws StoreError Input when `path` is the records file `base` or one of its companions
    /// (-wal, -shm, -journal), by whatever path: the same file, or a new one that SQLite would take
    /// for a companion. Opens neither.
    static void refuseRecordsFile(const QString& base, const QString& path);

    /// A new hidden file beside `target`, open and locked, to write a copy of the records in
    /// before it replaces `target`; first removes those that runs killed before their end left
    /// there. Throws StoreError Output.
    static std::unique_ptr<QTemporaryFile> newCopyFile(const QString& target);
    /// True when `copy` is still the file of its name (not removed as a leftover meanwhile); reads
    /// it from its start.
    static bool stillHeld(QTemporaryFile& copy);
    /// Writes what remains to be read of `copy` over `target`, whole or not at all. Throws
    /// StoreError Output.
    static void writeOver(QIODevice& copy, const QString& target);

    QString location() const override { return m_path; }
    QString changeStamp() const override;

    void backup(const QString& target) const override;
    CheckReport verify() const override;

protected:
    StoreError errorOf(const QSqlError& error) const override;
    void begin() override;
    int insertVisits(const std::vector<QVariantList>& rows) const override;
    int insertRows(const std::function<QString(std::size_t rows)>& statement,
                   const std::vector<QVariantList>& rows, std::vector<qint64>* ids) const override;
    void readAssessedVisits(const QString& sql, const std::vector<qint64>& ids,
                            const std::function<void(Visit&&)>& each) const override;

private:
    void open(Access access);
    void createFile() const;
    void checkHeader() const;
    void makePrivate() const;
    /// Whether a read-only connection may read the file alone; throws when it may not read it at all.
    bool readableAsImmutable() const;
    void connect(bool readOnly, bool immutable);
    /// Reads what the file is, with a connection that cannot write to it; throws when it is not ours.
    int checkedVersion() const;
    void migrate(int version);
    /// Runs `step`, again while it finds the base busy, for at most as long as a lock is waited for.
    static void whileBusy(const std::function<void()>& step);
    StoreError errorOfCode(int sqliteCode) const;
    /// `sql` prepared straight on SQLite, kept until the write transaction ends; null outside one,
    /// or when the connection cannot be reached so.
    SqliteStatement* direct(const QString& sql) const;
    void forgetStatements() const override;
    QStringList schemaObjectProblems() const;

    QString m_path;
    /// Counts the file as open in this process while the store lives.
    std::shared_ptr<const void> m_openHere;
    std::shared_ptr<const void> m_writeGuard;
    mutable std::map<QString, SqliteStatement> m_direct;
};

} // namespace vimora::records
