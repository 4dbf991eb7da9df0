#include "SqlRows.h"

namespace vimora::records {

// Written by hand: through QDate's format writer, the dates were a twentieth of a large import.
QString isoDate(QDate date) {
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (!date.isValid() || year < 1 || year > 9999)
        return date.toString(Qt::ISODate);
    const auto digits = [](char16_t* at, int value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            at[i] = char16_t(u'0' + value % 10);
    };
    QString written(10, u'-');
    auto* at = reinterpret_cast<char16_t*>(written.data());
    digits(at, year, 4);
    digits(at + 5, month, 2);
    digits(at + 8, day, 2);
    return written;
}

QString timestampNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QVariant nullableText(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QVariant text(const QString& value) {
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

QString sexCode(Sex sex) {
    return sex == Sex::Female ? QStringLiteral("F") : QStringLiteral("M");
}

namespace {

// Timestamps are written by timestampNow() alone: read back without Qt's general date parser,
// which costs more than the rest of the patient list.
QDateTime readTimestamp(const QString& text) {
    if (text.size() != 20)
        return QDateTime::fromString(text, Qt::ISODate);
    const auto number = [&](qsizetype from, qsizetype length) {
        return QStringView(text).mid(from, length).toInt();
    };
    return {QDate(number(0, 4), number(5, 2), number(8, 2)),
            QTime(number(11, 2), number(14, 2), number(17, 2)), Qt::UTC};
}

} // namespace

const QString kPatientColumns = QStringLiteral(
    "p.id, p.dossier, p.nom, p.prenom, p.sexe, p.naissance, p.creation, p.modification, p.version");
// The columns that assess a visit come first, so that a whole visit reads on from them.
const QString kAssessedVisitColumns =
    QStringLiteral("v.id, v.patient_id, v.date, v.age, v.poids, v.taille, v.imc, v.resultat");
const QString kVisitColumns =
    kAssessedVisitColumns +
    QStringLiteral(", v.poids_max, v.poids_min, v.conseils, v.objectif, v.remarque, v.creation");

// Dates are written by isoDate() alone: read back by hand, as readTimestamp().
QDate storedDate(const QString& text) {
    if (text.size() != 10)
        return QDate::fromString(text, Qt::ISODate);
    const auto number = [&](qsizetype from, qsizetype length) {
        return QStringView(text).mid(from, length).toInt();
    };
    return {number(0, 4), number(5, 2), number(8, 2)};
}

Patient patientAt(const QSqlQuery& query, int first) {
    Patient patient;
    patient.id = query.value(first).toLongLong();
    patient.dossier = query.value(first + 1).toString();
    patient.nom = query.value(first + 2).toString();
    patient.prenom = query.value(first + 3).toString();
    patient.sexe = query.value(first + 4).toString() == QLatin1String("F") ? Sex::Female : Sex::Male;
    patient.naissance = storedDate(query.value(first + 5).toString());
    patient.created = readTimestamp(query.value(first + 6).toString());
    patient.updated = readTimestamp(query.value(first + 7).toString());
    patient.version = query.value(first + 8).toInt();
    return patient;
}

namespace {

struct QueryRow {
    const QSqlQuery& query;
    qint64 integer(int column) const { return query.value(column).toLongLong(); }
    QString text(int column) const { return query.value(column).toString(); }
};

} // namespace

Visit assessedVisitAt(const QSqlQuery& query, int first) {
    return assessedVisitOf(QueryRow{query}, first);
}

Visit visitAt(const QSqlQuery& query, int first) {
    Visit visit = assessedVisitAt(query, first);
    visit.poidsMax = query.value(first + 8).toString();
    visit.poidsMin = query.value(first + 9).toString();
    visit.conseils = query.value(first + 10).toString();
    visit.objectif = query.value(first + 11).toString();
    visit.remarque = query.value(first + 12).toString();
    visit.created = readTimestamp(query.value(first + 13).toString());
    return visit;
}

QString rowsInsert(const QString& insert, const QString& row, std::size_t rows) {
    QStringList marks;
    for (std::size_t i = 0; i < rows; ++i)
        marks << row;
    return insert + marks.join(QStringLiteral(", "));
}

const QString kUnlessStored = QStringLiteral(" ON CONFLICT DO NOTHING");

QString newVisitsInsert(std::size_t rows) {
    return rowsInsert(
               QStringLiteral("INSERT INTO visite (patient_id, date, age, poids, taille, imc, poids_max, "
                              "poids_min, resultat, conseils, objectif, remarque, creation) VALUES "),
               QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"), rows) +
           kUnlessStored;
}

} // namespace vimora::records
