#include "SqlRows.h"
#include "SqlStore.h"

#include <QScopeGuard>

#include <algorithm>
#include <tuple>

namespace vimora::records {

namespace {

// Visits sorted by patient, compared with a patient's id.
struct ByPatient {
    bool operator()(const Visit& visit, qint64 id) const { return visit.patientId < id; }
    bool operator()(qint64 id, const Visit& visit) const { return id < visit.patientId; }
};

} // namespace

Patient SqlStore::storedPatient(qint64 id) const {
    const std::optional<Patient> stored = patient(id);
    if (!stored) {
        throw StoreError(
            StoreError::Kind::NotFound,
            QStringLiteral("Ce patient a été supprimé entre-temps, sur ce poste ou sur un autre."));
    }
    return *stored;
}

QString SqlStore::patientListQuery(const QString& patientColumns, const QString& patients) const {
    return QStringLiteral("SELECT %1, (SELECT count(*) FROM visite c WHERE c.patient_id = p.id), "
                          "v.date, v.resultat FROM %2 p LEFT JOIN visite v ON v.id = "
                          "(SELECT l.id FROM visite l WHERE l.patient_id = p.id "
                          "ORDER BY l.date DESC, l.id DESC LIMIT 1)")
        .arg(patientColumns, patients);
}

std::optional<Patient> SqlStore::patient(qint64 id) const {
    prepare();
    QSqlQuery query =
        prepared(QStringLiteral("SELECT %1 FROM patient p WHERE p.id = ?").arg(kPatientColumns));
    query.addBindValue(id);
    run(query);
    if (!query.next()) {
        failIfCut(query);
        return std::nullopt;
    }
    return patientAt(query, 0);
}

std::vector<Patient> SqlStore::namesakes(const Patient& patient) const {
    prepare();
    QSqlQuery query = prepared(QStringLiteral("SELECT %1 FROM patient p WHERE p.nom_cle = ? AND "
                                              "p.prenom_cle = ? AND p.naissance = ? ORDER BY %2")
                                   .arg(kPatientColumns, patientOrder()));
    query.addBindValue(foldForSearch(patient.nom.trimmed()));
    query.addBindValue(foldForSearch(patient.prenom.trimmed()));
    query.addBindValue(isoDate(patient.naissance));
    run(query);
    std::vector<Patient> found;
    while (query.next())
        found.push_back(patientAt(query, 0));
    failIfCut(query);
    return found;
}

std::vector<Visit> SqlStore::visits(qint64 patientId) const {
    prepare();
    QSqlQuery query = prepared(
        QStringLiteral("SELECT %1 FROM visite v WHERE v.patient_id = ? ORDER BY v.date DESC, v.id DESC")
            .arg(kVisitColumns));
    query.addBindValue(patientId);
    run(query);
    std::vector<Visit> visits;
    while (query.next())
        visits.push_back(visitAt(query, 0));
    failIfCut(query);
    return visits;
}

void SqlStore::forEachPatient(const std::function<void(const Patient&)>& each) const {
    prepare();
    QSqlQuery read = prepared(QStringLiteral("SELECT %1 FROM patient p ORDER BY p.id").arg(kPatientColumns));
    run(read);
    while (read.next())
        each(patientAt(read, 0));
    failIfCut(read);
}

void SqlStore::forEachRecord(const std::function<void(const Patient&, const Visit*)>& each) const {
    readRecords(each, VisitDetail::Whole);
}

void SqlStore::forEachAssessment(const std::function<void(const Patient&, const Visit*)>& each) const {
    readRecords(each, VisitDetail::Assessment);
}

// Several statements, one snapshot: the patients and their visits as they were at one instant.
void SqlStore::readRecords(const std::function<void(const Patient&, const Visit*)>& each,
                           VisitDetail detail) const {
    if (m_inTransaction) {
        streamRecords(each, detail);
        return;
    }
    ready();
    run(beginReading());
    const auto end = qScopeGuard([&] { QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK")); });
    streamRecords(each, detail);
}

// The patients in their one order, then their visits streamed a chunk of patients at a time, in
// that order.
void SqlStore::streamRecords(const std::function<void(const Patient&, const Visit*)>& each,
                             VisitDetail detail) const {
    const bool whole = detail == VisitDetail::Whole;
    std::vector<Patient> patients;
    QSqlQuery list =
        prepared(QStringLiteral("SELECT %1 FROM patient p ORDER BY %2").arg(kPatientColumns, patientOrder()));
    run(list);
    while (list.next())
        patients.push_back(patientAt(list, 0));
    failIfCut(list);
    list.finish();
    inChunks(
        patients.size(),
        [&](std::size_t count) {
            // By patient id, which the visits' index gives without sorting; by name below.
            return QStringLiteral("SELECT %1 FROM visite v WHERE v.patient_id IN (%2) ORDER BY v.patient_id, "
                                  "v.date, v.id")
                .arg(whole ? kVisitColumns : kAssessedVisitColumns,
                     QStringList(qsizetype(count), QStringLiteral("?")).join(QStringLiteral(", ")));
        },
        [&](QSqlQuery& query, std::size_t first, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i)
                query.bindValue(int(i), patients[first + i].id);
            run(query);
            std::vector<Visit> visits;
            while (query.next())
                visits.push_back(whole ? visitAt(query, 0) : assessedVisitAt(query, 0));
            failIfCut(query);
            query.finish();
            for (std::size_t at = first; at < first + count; ++at) {
                const Patient& patient = patients[at];
                const auto [from, to] =
                    std::equal_range(visits.begin(), visits.end(), patient.id, ByPatient{});
                if (from == to)
                    each(patient, nullptr);
                for (auto visit = from; visit != to; ++visit)
                    each(patient, &*visit);
            }
        });
}

} // namespace vimora::records
