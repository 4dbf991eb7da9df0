#include "SqlRows.h"
#include "SqlStore.h"

#include <QScopeGuard>

#include <algorithm>
#include <tuple>

namespace vimora::records {

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

void SqlStore::forEachVisit(const std::function<void(const Patient&, const Visit&)>& each) const {
    forEachRecord([&](const Patient& patient, const Visit* visit) {
        if (visit != nullptr)
            each(patient, *visit);
    });
}

// Several statements, one snapshot: the patients and their visits as they were at one instant.
void SqlStore::forEachRecord(const std::function<void(const Patient&, const Visit*)>& each) const {
    if (m_inTransaction) {
        streamRecords(each);
        return;
    }
    ready();
    run(beginReading());
    const auto end = qScopeGuard([&] { QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK")); });
    streamRecords(each);
}

// The patients in their one order, then their visits streamed a chunk of patients at a time, in
// that order.
void SqlStore::streamRecords(const std::function<void(const Patient&, const Visit*)>& each) const {
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
        [](std::size_t count) {
            QString ranks;
            for (std::size_t i = 0; i < count; ++i)
                ranks += QStringLiteral(" WHEN ? THEN %1").arg(i);
            return QStringLiteral(
                       "SELECT CASE v.patient_id%1 END AS rang, %2 FROM visite v WHERE v.patient_id "
                       "IN (%3) ORDER BY rang, v.date, v.id")
                .arg(ranks, kVisitColumns,
                     QStringList(qsizetype(count), QStringLiteral("?")).join(QStringLiteral(", ")));
        },
        [&](QSqlQuery& visits, std::size_t first, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) {
                visits.bindValue(int(i), patients[first + i].id);
                visits.bindValue(int(count + i), patients[first + i].id);
            }
            run(visits);
            // Patients without visits have no row: they come before the next one that has.
            std::size_t next = first;
            while (visits.next()) {
                const std::size_t at = first + std::size_t(visits.value(0).toLongLong());
                for (; next < at; ++next)
                    each(patients[next], nullptr);
                next = at + 1;
                const Visit visit = visitAt(visits, 1);
                each(patients[at], &visit);
            }
            failIfCut(visits);
            visits.finish();
            for (; next < first + count; ++next)
                each(patients[next], nullptr);
        });
}

} // namespace vimora::records
