#include "SqlRows.h"
#include "SqlStore.h"

#include "VisitRecords.h"

#include <QSet>

#include <algorithm>
#include <set>
#include <tuple>

namespace vimora::records {

namespace {

const QString kInsertPatient = QStringLiteral("INSERT INTO patient (dossier, nom, prenom, sexe, naissance, "
                                              "creation, modification, nom_cle, prenom_cle, recherche, "
                                              "version) VALUES ");
const QString kPatientRow = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1)");
// newVisitsInsert()'s columns read from a JSON row `r.value`, the patient's id first. "WHERE true"
// keeps SQLite from reading ON CONFLICT as part of the join.
const QString kVisitsFromJson = QStringLiteral(
    "INSERT INTO visite (patient_id, date, age, poids, taille, imc, poids_max, poids_min, resultat, "
    "conseils, objectif, remarque, creation) SELECT CAST(r.value ->> 0 AS BIGINT), r.value ->> 1, "
    "r.value ->> 2, r.value ->> 3, r.value ->> 4, r.value ->> 5, r.value ->> 6, r.value ->> 7, "
    "r.value ->> 8, r.value ->> 9, r.value ->> 10, r.value ->> 11, r.value ->> 12 FROM %1 AS r WHERE true");
const QString kReturningId = QStringLiteral(" RETURNING id");
// Its visits go as one JSON text of this many rows: one value to bind rather than thirteen a row,
// which is most of the cost of a row through Qt SQL.
constexpr std::size_t kVisitsPerStatement = 5000;

// `text` as a JSON string, in UTF-8.
void appendJsonString(QByteArray& json, const QString& text) {
    json += '"';
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            json += "\\u00";
            json += QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
        } else {
            json += c;
        }
    }
    json += '"';
}

// Rows of values as a JSON array of arrays in UTF-8: whole numbers as numbers, any other value as a
// string.
QByteArray jsonRows(const std::vector<QVariantList>& rows, std::size_t first, std::size_t count) {
    QByteArray json = "[";
    for (std::size_t row = first; row < first + count; ++row) {
        json += row == first ? "[" : ",[";
        for (qsizetype i = 0; i < rows[row].size(); ++i) {
            if (i > 0)
                json += ',';
            const QVariant& value = rows[row][i];
            if (value.typeId() == QMetaType::LongLong)
                json += QByteArray::number(value.toLongLong());
            else
                appendJsonString(json, value.toString());
        }
        json += ']';
    }
    json += ']';
    return json;
}

// The values of kInsertPatient's columns.
QVariantList patientValues(const Patient& patient, const QString& now) {
    return {nullableText(patient.dossier),
            text(patient.nom),
            text(patient.prenom),
            sexCode(patient.sexe),
            isoDate(patient.naissance),
            now,
            now,
            text(foldForSearch(patient.nom)),
            text(foldForSearch(patient.prenom)),
            text(searchKey(patient))};
}

// The values of newVisitsInsert()'s columns, once the visit is found fit to be stored.
QVariantList visitValues(const Visit& visit, const QString& now) {
    const QString problem = visitProblem(visit);
    if (!problem.isEmpty())
        throw StoreError(StoreError::Kind::Input, problem);
    if (!visit.date.isValid())
        throw StoreError(StoreError::Kind::Input,
                         QStringLiteral("La date de la consultation est obligatoire."));
    // A restored copy keeps when its visits were first stored.
    const QString created = visit.created.isValid() ? visit.created.toUTC().toString(Qt::ISODate) : now;
    return {visit.patientId,
            isoDate(visit.date),
            text(visit.age),
            text(visit.poids),
            text(visit.taille),
            text(visit.imc),
            text(visit.poidsMax),
            text(visit.poidsMin),
            text(visit.resultat),
            text(visit.conseils),
            text(visit.objectif),
            text(visit.remarque),
            created};
}

// The visits of a patient new in this transaction as the records' unique key stores them, each
// numbered as its id will order it: the first of each date, poids and taille (as numbers), in the
// order given.
std::vector<Visit> storedOnce(const std::vector<Visit>& visits) {
    std::vector<Visit> stored;
    std::set<std::tuple<QDate, double, double>> seen;
    for (const Visit& visit : visits) {
        if (!seen.emplace(visit.date, measureNumber(visit.poids).value_or(0),
                          measureNumber(visit.taille).value_or(0))
                 .second)
            continue;
        stored.push_back(visit);
        stored.back().id = qint64(stored.size());
    }
    return stored;
}

} // namespace

void sortInsertedIds(std::vector<qint64>& ids, std::size_t from) {
    std::sort(ids.begin() + std::ptrdiff_t(from), ids.end());
}

Visit SqlStore::insertVisit(const Visit& visit, const QString& now) const {
    const QVariantList values = visitValues(visit, now);
    QSqlQuery insert = prepared(newVisitsInsert(1) + kReturningId);
    for (int i = 0; i < values.size(); ++i)
        insert.bindValue(i, values[i]);
    run(insert);
    if (!insert.next()) {
        failIfCut(insert);
        throw StoreError(StoreError::Kind::Conflict,
                         QStringLiteral("Cette consultation est déjà enregistrée."));
    }
    Visit stored = visit;
    stored.id = insert.value(0).toLongLong();
    stored.created = QDateTime::fromString(values.back().toString(), Qt::ISODate);
    insert.finish();
    return stored;
}

void SqlStore::inChunks(
    std::size_t total, const std::function<QString(std::size_t rows)>& statement,
    const std::function<void(QSqlQuery&, std::size_t first, std::size_t count)>& each) const {
    const std::size_t whole = total / kRowsPerStatement * kRowsPerStatement;
    if (whole > 0) {
        withStatement(statement(kRowsPerStatement), [&](QSqlQuery& query) {
            for (std::size_t first = 0; first < whole; first += kRowsPerStatement)
                each(query, first, kRowsPerStatement);
        });
    }
    if (whole < total)
        withStatement(statement(total - whole), [&](QSqlQuery& query) { each(query, whole, total - whole); });
}

int SqlStore::insertVisits(const std::vector<QVariantList>& rows) const {
    int inserted = 0;
    withStatement(kVisitsFromJson.arg(jsonArrayRows()) + kUnlessStored, [&](QSqlQuery& insert) {
        for (std::size_t first = 0; first < rows.size(); first += kVisitsPerStatement) {
            insert.bindValue(
                0, jsonValue(jsonRows(rows, first, std::min(kVisitsPerStatement, rows.size() - first))));
            run(insert);
            inserted += insert.numRowsAffected();
            insert.finish();
        }
    });
    return inserted;
}

int SqlStore::insertRows(const std::function<QString(std::size_t rows)>& statement,
                         const std::vector<QVariantList>& rows, std::vector<qint64>* ids) const {
    int inserted = 0;
    inChunks(rows.size(), statement, [&](QSqlQuery& insert, std::size_t first, std::size_t count) {
        int mark = 0;
        for (std::size_t row = first; row < first + count; ++row) {
            for (const QVariant& value : rows[row])
                insert.bindValue(mark++, value);
        }
        run(insert);
        inserted += insert.numRowsAffected();
        if (ids != nullptr) {
            const std::size_t chunkStart = ids->size();
            while (insert.next())
                ids->push_back(insert.value(0).toLongLong());
            failIfCut(insert);
            sortInsertedIds(*ids, chunkStart);
        }
        insert.finish();
    });
    return inserted;
}

std::vector<qint64> SqlStore::insertPatients(const std::vector<const Patient*>& patients,
                                             const QString& now) const {
    std::vector<QString> dossiers;
    QSet<QString> seen;
    for (const Patient* patient : patients) {
        refuseInvalid(*patient);
        if (patient->dossier.isEmpty())
            continue;
        if (seen.contains(patient->dossier))
            throw dossierTaken();
        seen.insert(patient->dossier);
        dossiers.push_back(patient->dossier);
    }
    inChunks(
        dossiers.size(),
        [](std::size_t count) {
            return QStringLiteral("SELECT 1 FROM patient WHERE dossier IN (%1)")
                .arg(QStringList(qsizetype(count), QStringLiteral("?")).join(QStringLiteral(", ")));
        },
        [&](QSqlQuery& taken, std::size_t first, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i)
                taken.bindValue(int(i), dossiers[first + i]);
            run(taken);
            if (taken.next())
                throw dossierTaken();
            failIfCut(taken);
            taken.finish();
        });
    std::vector<QVariantList> rows;
    rows.reserve(patients.size());
    for (const Patient* patient : patients)
        rows.push_back(patientValues(*patient, now));
    std::vector<qint64> ids;
    ids.reserve(patients.size());
    insertRows(
        [](std::size_t count) { return rowsInsert(kInsertPatient, kPatientRow, count) + kReturningId; }, rows,
        &ids);
    if (ids.size() != patients.size())
        throw StoreError(StoreError::Kind::Failed,
                         QStringLiteral("Les nouveaux patients n'ont pas tous été enregistrés."));
    return ids;
}

int SqlStore::addAll(std::vector<PatientVisits>& batch) {
    int stored = 0;
    std::vector<qint64> createdIds;
    write([&] {
        const QString now = timestampNow();
        std::vector<const Patient*> created;
        for (const PatientVisits& entry : batch) {
            if (entry.patient.id == 0)
                created.push_back(&entry.patient);
        }
        createdIds = insertPatients(created, now);
        auto createdId = createdIds.begin();
        std::vector<QVariantList> visits;
        std::vector<qint64> judged;
        std::vector<std::pair<qint64, std::vector<Visit>>> createdVisits;
        for (const PatientVisits& entry : batch) {
            const bool created = entry.patient.id == 0;
            const qint64 patientId = created ? *createdId++ : entry.patient.id;
            for (const Visit& visit : entry.visits) {
                visits.push_back(visitValues(visit, now));
                visits.back().front() = patientId;
            }
            if (created)
                createdVisits.emplace_back(patientId, storedOnce(entry.visits));
            else if (!entry.visits.empty())
                judged.push_back(patientId);
        }
        stored = insertVisits(visits);
        std::sort(judged.begin(), judged.end());
        judged.erase(std::unique(judged.begin(), judged.end()), judged.end());
        refreshAlerts(judged);
        writeNewPatientsAlerts(createdVisits);
    });
    // Only once written: a batch refused keeps its new patients new.
    auto createdId = createdIds.begin();
    for (PatientVisits& entry : batch) {
        if (entry.patient.id == 0)
            entry.patient.id = *createdId++;
    }
    return stored;
}

} // namespace vimora::records
