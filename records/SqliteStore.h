#pragma once

#include "PatientStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>

// The records in one SQLite file through Qt SQL (QSQLITE, the system's SQLite): WAL journal,
// synchronous=FULL so that a committed visit survives a crash or a power cut, foreign keys on,
// and a wait of up to 5 s for a file another program is writing.
namespace vimora::records {

class SqliteStore final : public PatientStore {
public:
    /// Opens `path`, or creates it (0600, its directory 0700). Refuses with StoreError Unusable,
    /// without writing to it, a directory, a special file, a damaged file or one of another program,
    /// and a file of a newer schema version. Opens read-only what cannot be written.
    explicit SqliteStore(const QString& path);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    QString location() const override { return m_path; }
    bool readOnly() const override { return m_readOnly; }
    QString readOnlyNote() const override { return m_readOnlyNote; }

    std::vector<PatientSummary> patients() const override;
    std::optional<Patient> patient(qint64 id) const override;
    std::vector<Visit> visits(qint64 patientId) const override;

    Patient addPatient(const Patient& patient) override;
    Patient updatePatient(const Patient& patient) override;
    void deletePatient(qint64 id) override;
    Visit addVisit(const Visit& visit) override;
    void deleteVisit(qint64 visitId) override;
    void addAll(const std::vector<PatientVisits>& batch) override;
    void forEachVisit(const std::function<void(const Patient&, const Visit&)>& each) const override;

    void backup(const QString& target) const override;
    CheckReport verify() const override;

private:
    void open();
    void createFile() const;
    void checkHeader() const;
    void connect(bool readOnly, bool immutable);
    void disconnect();
    /// Reads what the file is, with a connection that cannot write to it; throws when it is not ours.
    int checkedVersion() const;
    void migrate(int version);

    QSqlQuery prepared(const QString& sql) const;
    void run(QSqlQuery& query) const;
    void run(const QString& sql) const;
    [[noreturn]] void fail(const QSqlQuery& query) const;
    StoreError errorOf(int sqliteCode) const;

    /// Runs `change` in one write transaction (waiting for the file's lock), rolled back when it
    /// throws.
    void write(const std::function<void()>& change);
    void requireWritable() const;
    void checkPatient(const Patient& patient, qint64 exceptId) const;
    qint64 insertPatient(QSqlQuery& insert, const Patient& patient, const QString& now) const;
    Visit insertVisit(QSqlQuery& insert, const Visit& visit, const QString& now) const;

    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_database;
    bool m_readOnly = false;
    QString m_readOnlyNote;
};

} // namespace vimora::records
