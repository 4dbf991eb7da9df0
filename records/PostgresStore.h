#pragma once

#include "SqlStore.h"

#include <QElapsedTimer>

// The records on a PostgreSQL server through Qt SQL (QPSQL), shared by the workstations of a
// practice: the same tables and migrations as the SQLite file, the schema version in a table of
// its own, waits for another workstation's locks of at most 5 s, and a connection that is made
// again by the next command after the server was stopped or out of reach.
namespace vimora::records {

class PostgresStore final : public SqlStore {
public:
    /// Connects to the server `uri` names and brings its schema up to date when the role may.
    /// Throws StoreError Unusable when the server cannot be used (which fault, in French), and for
    /// a base of a newer schema version or of another program, left untouched.
    explicit PostgresStore(const QString& uri);
    ~PostgresStore() override = default;
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

    /// The URI without its password, if it had one.
    QString location() const override { return m_shown; }

    /// Copies the server's records, as one consistent snapshot, into a SQLite records file.
    void backup(const QString& target) const override;
    /// Checks the schema version, the tables' constraints against the program's schema, and that
    /// the rows keep them.
    CheckReport verify() const override;

protected:
    StoreError errorOf(const QSqlError& error) const override;
    void begin() override;
    void lockWrites() override;
    void ready() const override;
    QString patientListQuery(const QString& patientColumns) const override;

private:
    void connect() const;
    int checkedVersion() const;
    void migrate(int version);
    void checkRights();
    QStringList constraintProblems() const;

    QString m_uri;
    QString m_shown;
    mutable bool m_lost = false;
    mutable QElapsedTimer m_lastUse;
    mutable QString m_lastState; ///< the SQLSTATE of the last failed statement
};

} // namespace vimora::records
