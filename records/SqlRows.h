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

/// A date as isoDate() writes it.
QDate storedDate(const QString& text);

Patient patientAt(const QSqlQuery& query, int first);
Visit visitAt(const QSqlQuery& query, int first);
// The columns of what assesses a visit, as assessedVisitAt() reads them.
extern const QString kAssessedVisitColumns;
/// A visit of kAssessedVisitColumns: its other texts empty.
Visit assessedVisitAt(const QSqlQuery& query, int first);

/// assessedVisitAt() of a row that gives its columns as `integer(i)` and `text(i)`.
template <typename Row> Visit assessedVisitOf(const Row& row, int first) {
    Visit visit;
    visit.id = row.integer(first);
    visit.patientId = row.integer(first + 1);
    visit.date = storedDate(row.text(first + 2));
    visit.age = row.text(first + 3);
    visit.poids = row.text(first + 4);
    visit.taille = row.text(first + 5);
    visit.imc = row.text(first + 6);
    visit.resultat = row.text(first + 7);
    return visit;
}

QString rowsInsert(const QString& insert, const QString& row, std::size_t rows);
/// A visit identical to a stored one (the schema's unique key) is not inserted, rather than failing
/// the whole transaction: both engines then insert no row.
extern const QString kUnlessStored;
/// Inserts `rows` visits, each of the thirteen values of the visite row but its id, the patient's
/// first, but those already stored.
QString newVisitsInsert(std::size_t rows);

} // namespace vimora::records
