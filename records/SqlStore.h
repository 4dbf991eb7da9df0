#pragma once

#include "PatientStore.h"
#include "Schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <map>

// What every engine of the records shares through Qt SQL: the queries on the patient and visite
// tables, the same on SQLite and PostgreSQL. An engine adds how it opens the base, takes its write
// lock, reads its faults, copies and checks the base. The class's work is spread by job: statements
// and transactions (SqlStore.cpp), reads (SqlQueries), checks of what is written (SqlChecks),
// single writes (SqlWrites), many rows at once (SqlBatches), the visits judged again
// (SqlRejudging), the patient list and the alerts stored for it (SqlPatientList), and the rows'
// columns and values (SqlRows.h).
namespace vimora::records {

/// Rows inserted many to a statement: one round trip to a server for a hundred rows rather than one
/// each.
inline constexpr std::size_t kRowsPerStatement = 100;

/// Sorts the ids a statement returned from `from` on into the order of its rows: both engines draw
/// them in that order (a sequence, the next rowid), but neither promises to return them so.
void sortInsertedIds(std::vector<qint64>& ids, std::size_t from);

class SqlStore : public PatientStore {
public:
    ~SqlStore() override;
    SqlStore(const SqlStore&) = delete;
    SqlStore& operator=(const SqlStore&) = delete;

    bool readOnly() const override { return m_readOnly; }
    QString readOnlyNote() const override { return m_readOnlyNote; }

    std::vector<PatientSummary> patients() const override;
    std::vector<PatientSummary> patientPage(const PatientQuery& query, int offset, int count) const override;
    std::optional<int> patientRow(const PatientQuery& query, qint64 patientId) const override;
    void forEachAlert(const std::function<void(const Patient&, const PatientAlert&)>& each) const override;
    std::optional<Patient> patient(qint64 id) const override;
    std::vector<Patient> namesakes(const Patient& patient) const override;
    std::vector<Visit> visits(qint64 patientId) const override;

    Patient addPatient(const Patient& patient) override;
    Patient updatePatient(const Patient& patient) override;
    void deletePatient(qint64 id) override;
    Visit addVisit(const Visit& visit) override;
    void deleteVisit(qint64 visitId) override;
    int addAll(std::vector<PatientVisits>& batch) override;
    void forEachPatient(const std::function<void(const Patient&)>& each) const override;
    void forEachRecord(const std::function<void(const Patient&, const Visit*)>& each) const override;
    void forEachAssessment(const std::function<void(const Patient&, const Visit*)>& each) const override;
    void transaction(const std::function<void()>& work) override;

protected:
    SqlStore();

    /// The error the engine reads from a failed statement.
    virtual StoreError errorOf(const QSqlError& error) const = 0;
    /// Starts a write transaction.
    virtual void begin() = 0;
    /// Ends the write transaction for good.
    virtual void commit() { run(QStringLiteral("COMMIT")); }
    /// Holds the records' write lock until the transaction ends, for transaction(): the look-ups of
    /// an import and what it adds as one step. SQLite's write transaction holds it from its start.
    virtual void lockWrites() {}
    /// Starts a transaction whose statements all read one snapshot of the records.
    virtual QString beginReading() const { return QStringLiteral("BEGIN"); }
    /// Called before every command outside a transaction: an engine may connect again here.
    virtual void ready() const {}
    /// The patient list: `patientColumns` of patient p, then the number of visits, the date and the
    /// resultat of the latest one (by date, then latest stored), for the rows of `patients` (the
    /// table, or a query of it).
    virtual QString patientListQuery(const QString& patientColumns, const QString& patients) const;

    QSqlQuery prepared(const QString& sql) const;
    /// True inside write(): what is prepared may be kept until it ends.
    bool writing() const { return m_inTransaction; }
    /// Forgets the statements kept for the write transaction, as it ends.
    virtual void forgetStatements() const;
    /// Runs `use` on prepared(sql); inside a write transaction the statement is kept until it ends,
    /// so that what a large import repeats batch after batch is parsed once.
    void withStatement(const QString& sql, const std::function<void(QSqlQuery&)>& use) const;
    void run(QSqlQuery& query) const;
    /// Runs a statement without parameters, unprepared (transaction control, schema changes).
    void run(const QString& sql) const;
    [[noreturn]] void fail(const QSqlQuery& query) const;
    /// Throws when the rows of `query` stopped on an error rather than at their end.
    void failIfCut(const QSqlQuery& query) const;
    /// The patient as stored now; throws NotFound when there is none.
    Patient storedPatient(qint64 id) const;

    /// What a read of the patient row adds to keep other transactions from adding visits to it until
    /// this one ends: nothing where a write transaction already excludes every other writer.
    virtual QString patientRowLock() const { return {}; }
    /// The rows of the JSON array of arrays bound to the statement's one `?`, each in a column
    /// `value`: SQLite's json_each() by default.
    virtual QString jsonArrayRows() const { return QStringLiteral("json_each(CAST(? AS TEXT))"); }
    /// The JSON text of jsonArrayRows(), as bound: SQLite reads UTF-8 bytes as its text as they are,
    /// with nothing to convert.
    virtual QVariant jsonValue(const QByteArray& utf8) const { return utf8; }

    /// Inserts visits given as newVisitsInsert()'s values, but those identical to a stored visit;
    /// returns how many it inserted. Many to a statement, as one JSON text.
    virtual int insertVisits(const std::vector<QVariantList>& rows) const;
    /// Runs the insert that `statement(n)` gives for n rows over `rows`, a hundred to a statement,
    /// each row's values in order; returns how many rows it inserted. With `ids`, the statement ends
    /// with RETURNING id, and the ids are appended in the rows' order.
    virtual int insertRows(const std::function<QString(std::size_t rows)>& statement,
                           const std::vector<QVariantList>& rows, std::vector<qint64>* ids) const;
    /// Hands `each` the visits of kAssessedVisitColumns that `sql` selects, `ids` bound to its marks.
    virtual void readAssessedVisits(const QString& sql, const std::vector<qint64>& ids,
                                    const std::function<void(Visit&&)>& each) const;

    /// Stores again the alerts of the patients `patientIds` from their visits as stored now, in the
    /// caller's transaction: after any change of their visits or of what judges them.
    void refreshAlerts(const std::vector<qint64>& patientIds) const;

    /// Runs the step of the schema from `from` to `from + 1`, in the migration's transaction.
    void migrateFrom(int from, Dialect dialect) const;

    /// Runs `change` in one write transaction, rolled back when it throws; inside transaction(),
    /// in that one.
    void write(const std::function<void()>& change);
    void requireWritable() const;
    /// From now on every change is refused, `why` (French) saying why in readOnlyNote().
    void keepReadOnly(const QString& why);
    void closeDatabase() const;

    QString m_connectionName;
    mutable QSqlDatabase m_database;

private:
    bool m_readOnly = false;
    QString m_readOnlyNote;
    bool m_inTransaction = false;
    /// withStatement()'s statements of the write transaction open.
    mutable std::map<QString, QSqlQuery> m_kept;

    /// ready(), unless a transaction is open: a new connection would silently leave it.
    void prepare() const;
    static StoreError dossierTaken();
    static void refuseInvalid(const Patient& patient);
    void checkPatient(const Patient& patient, qint64 exceptId) const;
    /// Deletes the row `id` of `table` in its own transaction; throws NotFound with `gone` when
    /// there was none.
    void deleteRow(const QString& table, qint64 id, const QString& gone);
    /// What of each visit a read of many visits gives.
    enum class VisitDetail { Whole, Assessment };
    /// forEachRecord() or forEachAssessment(), as `detail` says.
    void readRecords(const std::function<void(const Patient&, const Visit*)>& each, VisitDetail detail) const;
    /// readRecords() in the transaction already open.
    void streamRecords(const std::function<void(const Patient&, const Visit*)>& each,
                       VisitDetail detail) const;
    /// Inserts new patients, many to a statement; returns their ids in the order given.
    std::vector<qint64> insertPatients(const std::vector<const Patient*>& patients, const QString& now) const;
    Visit insertVisit(const Visit& visit, const QString& now) const;
    /// The rows of the patient list `query` gives, `rows` (LIMIT and OFFSET) of them, or the one
    /// of the patient `patientId` when not 0, being read.
    QSqlQuery listed(const PatientQuery& query, const QString& rows, qint64 patientId) const;
    /// The alert titles of the listed patients, added to them.
    void readAlertTitles(std::vector<PatientSummary>& summaries) const;
    /// Keeps other transactions from changing the visits of the patients `ids` until this one ends;
    /// false when none of them is stored.
    bool lockPatients(const std::vector<qint64>& ids) const;
    /// refreshAlerts() for a few patients, in one statement each way.
    void writeAlerts(const std::vector<qint64>& ids) const;
    /// Stores the alerts of patients created in this transaction from their visits as stored, given
    /// with their ids: nothing to read back.
    void writeNewPatientsAlerts(const std::vector<std::pair<qint64, std::vector<Visit>>>& patients) const;
    /// Writes every patient's folded names and alerts, for a base that had none.
    void fillPatientKeys() const;
    /// What to do with a stored visit that can no longer be judged.
    enum class Unjudgeable { Refuse, KeepAsStored };
    /// Judges again the visits of the patient `patientId`, or every visit when 0, with their
    /// patient as stored now, and writes the texts that change, in the caller's transaction.
    void rejudgeVisits(qint64 patientId, Unjudgeable unjudgeable) const;
    /// Runs `each` over rows [0, total) in chunks, each chunk on the query `statement` gives for
    /// its number of rows, prepared once per size.
    void inChunks(std::size_t total, const std::function<QString(std::size_t rows)>& statement,
                  const std::function<void(QSqlQuery&, std::size_t first, std::size_t count)>& each) const;
};

} // namespace vimora::records
