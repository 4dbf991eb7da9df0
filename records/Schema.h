#pragma once

#include <QStringList>

#include <array>

// The records' schema and its migrations, for every engine: one list of steps, each bringing
// the schema one version up, with the few differences of dialect in the schema kept here; those of
// the queries and transactions (locks, snapshots, the patient list) are the stores' overrides of
// SqlStore. A step may also need the program's own rules on the stored data, which no statement
// can give: rejudgesVisits() says which, and the store runs that part after the step's
// statements, in the same transaction.
namespace vimora::records {

enum class Dialect { Sqlite, PostgreSql };

/// The version this program writes and reads; a base of a newer version is refused.
inline constexpr int kSchemaVersion = 5;

/// Marks a SQLite file as ours (PRAGMA application_id): "VIMR".
inline constexpr int kSqliteApplicationId = 0x56494D52;

/// The statements that bring a schema of version `from` to `from + 1`, to run in one transaction
/// with the others.
QStringList migrationFrom(int from, Dialect dialect);

/// True when the step from `from` to `from + 1` judges every stored visit again (a rule that gives
/// a visit's figures changed), after its statements.
bool rejudgesVisits(int from);

/// True when the step from `from` to `from + 1` writes, after its statements, every patient's
/// folded names and alerts, which the store keeps current from then on.
bool fillsPatientKeys(int from);

/// The patients' one order, for every list of patients (table alias p): nom then prénom folded as
/// the search folds them, naissance, id; the same on every engine, read from an index.
QString patientOrder(bool descending = false);

/// The statements that mark the base as ours at schema `version`, in the migration's transaction:
/// PRAGMA application_id and user_version on SQLite, the one row of the version table on the server.
QStringList versionStatements(int version, Dialect dialect);

/// The number of visits stored more than once, which the schema's unique key rules out.
QString duplicateVisitsQuery();
/// What verify() says of `count` visits stored more than once (French).
QString duplicateVisitsProblem(qint64 count);

/// An index the schema makes, which verify() looks for: without it, lists are slow or the visits'
/// unique key is gone.
struct SchemaIndex {
    const char* table;
    const char* name;
    bool unique;
};
inline constexpr std::array<SchemaIndex, 3> kSchemaIndexes{{{"visite", "visite_patient_date", false},
                                                            {"visite", "visite_mesure", true},
                                                            {"patient", "patient_ordre", false}}};

/// The server's version table, one row with the schema version.
inline constexpr const char* kServerVersionTable = "vimora_version";

} // namespace vimora::records
