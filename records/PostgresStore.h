#pragma once

#include "ServerConnection.h"
#include "SqlStore.h"

#include <QElapsedTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

// The records on a PostgreSQL server through Qt SQL (QPSQL), shared by the workstations of a
// practice: the same tables and migrations as the SQLite file, the schema version in a table of
// its own, waits for another workstation's locks of at most 5 s, statements of at most 20 s, a server
// that stops answering given up after 25 s, and a connection that is made again by the next command
// after the server was stopped or out of reach.
namespace vimora::records {

class PostgresStore final : public SqlStore {
public:
    /// Connects to the server `uri` names and brings its schema up to date when the role may.
    /// Throws StoreError when the server cannot be used (which fault, in French), Damaged for a base
    /// of a newer schema version or of another program, left untouched.
    explicit PostgresStore(const QString& uri);
    ~PostgresStore() override;
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

    /// The URI without its password, if it had one.
    QString location() const override { return m_shown; }
    /// Counts and highest ids of the tables, and the sum of the patients' versions: any commit
    /// that adds, changes or deletes a row moves one of them.
    QString changeStamp() const override;

    /// Copies the server's records, as one consistent snapshot, into a SQLite records file.
    void backup(const QString& target) const override;
    /// Checks the schema version, the tables' constraints against the program's schema, and that
    /// the rows keep them.
    CheckReport verify() const override;

protected:
    StoreError errorOf(const QSqlError& error) const override;
    void begin() override;
    void commit() override;
    void lockWrites() override;
    void ready() const override;
    QString patientListQuery(const QString& patientColumns, const QString& patients) const override;
    QString patientRowLock() const override { return QStringLiteral(" FOR UPDATE"); }
    QString jsonArrayRows() const override {
        return QStringLiteral("jsonb_array_elements(CAST(? AS jsonb))");
    }
    QVariant jsonValue(const QByteArray& utf8) const override { return QString::fromUtf8(utf8); }
    QString beginReading() const override {
        return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }

private:
    void connect() const;
    void disconnect() const;
    /// The watchdog's loop: ends the connection when the server leaves a statement unanswered.
    void watch(const std::stop_token& stop);
    int checkedVersion() const;
    void migrate(int version);
    void checkRights();
    /// The differences of the tables from the schema; `tablesPresent` false when one is missing.
    QStringList constraintProblems(bool& tablesPresent) const;
    QStringList schemaObjectProblems() const;

    QString m_uri;
    QString m_shown;
    mutable bool m_lost = false;
    mutable QElapsedTimer m_lastUse;

    mutable std::mutex m_watchMutex;
    std::condition_variable_any m_watchWake;    ///< only wakes the watchdog to stop it
    mutable WatchedConnection m_watched;        ///< guarded by m_watchMutex
    mutable std::atomic<bool> m_gaveUp = false; ///< the watchdog ended the connection
    /// Last: stopped and joined before the other members go and the shared part closes the
    /// connection.
    std::jthread m_watchdog;
};

} // namespace vimora::records
