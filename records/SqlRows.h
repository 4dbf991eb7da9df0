#pragma once

#include "PatientStore.h"

#include <QSqlQuery>
#include <QString>
#include <QVariant>

// How the records' rows are read and written through Qt SQL: their columns, their values and the
// text of statements that insert many rows at once.
namespace vimora::records {

QString isoDate(QDate date);
QString timestampNow();
QVariant nullableText(const QString& text);
// Qt binds a null QString as NULL: the records' texts are never NULL, at most empty.
QVariant text(const QString& value);
QString sexCode(Sex sex);

// The columns of a patient, in the order patientAt() reads them from `first` on.
extern const QString kPatientColumns;
constexpr int kPatientColumnCount = 9;
extern const QString kVisitColumns;

Patient patientAt(const QSqlQuery& query, int first);
Visit visitAt(const QSqlQuery& query, int first);
// The columns of what assesses a visit, as assessedVisitAt() reads them.
extern const QString kAssessedVisitColumns;
/// A visit of kAssessedVisitColumns: its other texts empty.
Visit assessedVisitAt(const QSqlQuery& query, int first);

QString rowsInsert(const QString& insert, const QString& row, std::size_t rows);
/// A visit identical to a stored one (the schema's unique key) is not inserted, rather than failing
/// the whole transaction: both engines then insert no row.
extern const QString kUnlessStored;
/// Inserts `rows` visits, each of the thirteen values of the visite row but its id, the patient's
/// first, but those already stored.
QString newVisitsInsert(std::size_t rows);

} // namespace vimora::records
