#pragma once

#include "SqlStore.h"

// The records in one SQLite file through Qt SQL (QSQLITE, the system's SQLite): WAL journal,
// synchronous=FULL so that a committed visit survives a crash or a power cut, foreign keys on,
// and a wait of up to 5 s for a file another program is writing.
namespace vimora::records {

class SqliteStore final : public SqlStore {
public:
    /// Opens `path`, or creates it (0600, its directory 0700). Refuses with StoreError Unusable,
    /// without writing to it, a directory, a special file, a damaged file or one of another program,
    /// and a file of a newer schema version. Opens read-only what cannot be written.
    explicit SqliteStore(const QString& path);
    ~SqliteStore() override = default;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    /// True when the file at `path` begins as every SQLite file does.
    static bool isSqliteFile(const QString& path);

    QString location() const override { return m_path; }
    QString changeStamp() const override;

    void backup(const QString& target) const override;
    CheckReport verify() const override;

protected:
    StoreError errorOf(const QSqlError& error) const override;
    void begin() override;

private:
    void open();
    void createFile() const;
    void checkHeader() const;
    void connect(bool readOnly, bool immutable);
    /// Reads what the file is, with a connection that cannot write to it; throws when it is not ours.
    int checkedVersion() const;
    void migrate(int version);
    StoreError errorOfCode(int sqliteCode) const;

    QString m_path;
};

} // namespace vimora::records
