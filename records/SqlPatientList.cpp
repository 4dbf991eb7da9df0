#include "SqlRows.h"
#include "SqlStore.h"
#include "VisitRecords.h"

#include <QHash>

#include <algorithm>
#include <array>

namespace vimora::records {

namespace {

// The patient's columns the list reads, then what the search looks into; patientListQuery() adds
// the number of visits, the date and the resultat of the latest one.
QString listedColumns() {
    return kPatientColumns + QStringLiteral(", p.recherche");
}
constexpr int kSearchKeyColumn = kPatientColumnCount;
constexpr int kVisitCountColumn = kPatientColumnCount + 1;
constexpr int kLastVisitColumn = kPatientColumnCount + 2;
constexpr int kLastResultColumn = kPatientColumnCount + 3;

// A patient is listed with "only those with an alert" when this holds.
const QString kHasAlert = QStringLiteral("EXISTS (SELECT 1 FROM alerte a WHERE a.patient_id = p.id)");

// A word of the search as a LIKE pattern: anywhere in the folded text, taken literally.
QString containing(const QString& word) {
    QString pattern = word;
    pattern.replace(QLatin1Char('!'), QStringLiteral("!!"))
        .replace(QLatin1Char('%'), QStringLiteral("!%"))
        .replace(QLatin1Char('_'), QStringLiteral("!_"));
    return QLatin1Char('%') + pattern + QLatin1Char('%');
}

// What a sort orders by before the patients' order; the ones that may be missing come first, as
// an empty text would, on every engine.
QString sortKey(PatientSort sort, bool descending) {
    const QString nulls =
        descending ? QStringLiteral(" DESC NULLS LAST, ") : QStringLiteral(" NULLS FIRST, ");
    const QString direction = descending ? QStringLiteral(" DESC, ") : QStringLiteral(", ");
    // The date and resultat of the latest visit, by their place (from 1).
    const QString lastVisit = QString::number(kLastVisitColumn + 1);
    const QString lastResult = QString::number(kLastResultColumn + 1);
    switch (sort) {
    case PatientSort::Name:
        return {};
    case PatientSort::Prenom:
        return QStringLiteral("p.prenom_cle") + direction;
    case PatientSort::Naissance:
        return QStringLiteral("p.naissance") + direction;
    case PatientSort::Dossier:
        return QStringLiteral("p.dossier") + nulls;
    case PatientSort::LastVisit:
        return lastVisit + nulls;
    case PatientSort::LastResult:
        return lastResult + nulls;
    case PatientSort::Alerts:
        return QStringLiteral(
                   "(SELECT a.titre FROM alerte a WHERE a.patient_id = p.id ORDER BY a.rang LIMIT 1)") +
               nulls;
    }
    return {};
}

} // namespace

std::vector<PatientSummary> SqlStore::patients() const {
    return patientPage({}, 0, -1);
}

QSqlQuery SqlStore::listed(const PatientQuery& query, const QString& rows, qint64 patientId) const {
    const QStringList words = searchWords(query.search);
    QStringList conditions(words.size(), QStringLiteral("p.recherche LIKE ? ESCAPE '!'"));
    if (query.alertsOnly)
        conditions << kHasAlert;
    if (patientId != 0)
        conditions << QStringLiteral("p.id = ?");
    const QString where = conditions.isEmpty()
                              ? QString()
                              : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    const QString order =
        QStringLiteral(" ORDER BY ") + sortKey(query.sort, query.descending) + patientOrder(query.descending);
    // A page is chosen from the patients alone, by the index, when their order needs no visit: the
    // latest visit is then looked up for its rows only, not for every row skipped. The index holds
    // the order and the search text: the page's ids are read from it alone, so that the rows
    // skipped or not found are never read from the table.
    const bool byPatient = query.sort != PatientSort::LastVisit && query.sort != PatientSort::LastResult;
    const QString sql =
        byPatient && !rows.isEmpty()
            ? patientListQuery(
                  listedColumns(),
                  QStringLiteral("(SELECT * FROM patient WHERE id IN (SELECT p.id FROM patient p") + where +
                      order + rows + QStringLiteral("))")) +
                  order
            : patientListQuery(listedColumns(), QStringLiteral("patient")) + where + order + rows;
    QSqlQuery list = prepared(sql);
    for (const QString& word : words)
        list.addBindValue(containing(word));
    if (patientId != 0)
        list.addBindValue(patientId);
    run(list);
    return list;
}

std::optional<int> SqlStore::patientRow(const PatientQuery& query, qint64 patientId) const {
    prepare();
    QSqlQuery found = listed(query, {}, patientId);
    const bool listedNow = found.next();
    failIfCut(found);
    found.finish();
    if (!listedNow)
        return std::nullopt;
    // Rare (a patient just added or changed, beyond the rows shown): the list is read up to them.
    QSqlQuery rows = listed(query, {}, 0);
    for (int row = 0; rows.next(); ++row) {
        if (rows.value(0).toLongLong() == patientId)
            return row;
    }
    failIfCut(rows);
    return std::nullopt;
}

std::vector<PatientSummary> SqlStore::patientPage(const PatientQuery& query, int offset, int count) const {
    prepare();
    QSqlQuery rows = listed(
        query, count >= 0 ? QStringLiteral(" LIMIT %1 OFFSET %2").arg(count).arg(offset) : QString(), 0);
    std::vector<PatientSummary> summaries;
    while (rows.next()) {
        PatientSummary summary;
        summary.patient = patientAt(rows, 0);
        summary.visitCount = rows.value(kVisitCountColumn).toInt();
        summary.lastVisit = QDate::fromString(rows.value(kLastVisitColumn).toString(), Qt::ISODate);
        summary.lastResult = rows.value(kLastResultColumn).toString();
        summary.searchKey = rows.value(kSearchKeyColumn).toString();
        summaries.push_back(std::move(summary));
    }
    failIfCut(rows);
    rows.finish();
    readAlertTitles(summaries);
    return summaries;
}

void SqlStore::readAlertTitles(std::vector<PatientSummary>& summaries) const {
    QHash<qint64, std::size_t> rowOf;
    for (std::size_t row = 0; row < summaries.size(); ++row)
        rowOf.insert(summaries[row].patient.id, row);
    inChunks(
        summaries.size(),
        [](std::size_t count) {
            return QStringLiteral("SELECT a.patient_id, a.titre FROM alerte a WHERE a.patient_id IN (%1) "
                                  "ORDER BY a.patient_id, a.rang")
                .arg(QStringList(qsizetype(count), QStringLiteral("?")).join(QStringLiteral(", ")));
        },
        [&](QSqlQuery& titles, std::size_t first, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i)
                titles.bindValue(int(i), summaries[first + i].patient.id);
            run(titles);
            while (titles.next())
                summaries[rowOf.value(titles.value(0).toLongLong())].alerts << titles.value(1).toString();
            failIfCut(titles);
            titles.finish();
        });
}

void SqlStore::forEachAlert(const std::function<void(const Patient&, const PatientAlert&)>& each) const {
    prepare();
    // The list's filter, with each alert of the patients it keeps, in the list's order.
    QSqlQuery rows = prepared(QStringLiteral("SELECT %1, a.titre, a.detail FROM patient p JOIN alerte a ON "
                                             "a.patient_id = p.id ORDER BY %2, a.rang")
                                  .arg(kPatientColumns, patientOrder()));
    run(rows);
    Patient patient;
    while (rows.next()) {
        if (rows.value(0).toLongLong() != patient.id)
            patient = patientAt(rows, 0);
        each(patient,
             {rows.value(kPatientColumnCount).toString(), rows.value(kPatientColumnCount + 1).toString()});
    }
    failIfCut(rows);
}

namespace {

// The alerts of a hundred patients are judged at a time, so that memory stays flat over a whole
// base.
constexpr std::size_t kAlertsPerRead = 100;
// Inserts `count` alerte rows.
QString alertsInsert(std::size_t count) {
    return rowsInsert(QStringLiteral("INSERT INTO alerte (patient_id, rang, titre, detail) VALUES "),
                      QStringLiteral("(?, ?, ?, ?)"), count);
}

QString idList(std::size_t count) {
    return QStringList(qsizetype(count), QStringLiteral("?")).join(QStringLiteral(", "));
}

// The alerte rows of the patient `patientId`'s visits.
void appendAlertRows(std::vector<QVariantList>& rows, qint64 patientId, const std::vector<Visit>& visits) {
    int rank = 0;
    for (const TrajectoryAlert& alert : alertsOf(visits)) {
        rows.push_back(
            {patientId, rank++, QString::fromStdString(alert.title), QString::fromStdString(alert.detail)});
    }
}

} // namespace

void SqlStore::readAssessedVisits(const QString& sql, const std::vector<qint64>& ids,
                                  const std::function<void(Visit&&)>& each) const {
    withStatement(sql, [&](QSqlQuery& read) {
        for (std::size_t i = 0; i < ids.size(); ++i)
            read.bindValue(int(i), ids[i]);
        run(read);
        while (read.next())
            each(assessedVisitAt(read, 0));
        failIfCut(read);
        read.finish();
    });
}

void SqlStore::refreshAlerts(const std::vector<qint64>& patientIds) const {
    for (std::size_t first = 0; first < patientIds.size(); first += kAlertsPerRead) {
        const auto from = patientIds.begin() + std::ptrdiff_t(first);
        writeAlerts({from, from + std::ptrdiff_t(std::min(kAlertsPerRead, patientIds.size() - first))});
    }
}

bool SqlStore::lockPatients(const std::vector<qint64>& ids) const {
    bool any = false;
    withStatement(
        QStringLiteral("SELECT id FROM patient WHERE id IN (%1)%2").arg(idList(ids.size()), patientRowLock()),
        [&](QSqlQuery& lock) {
            for (std::size_t i = 0; i < ids.size(); ++i)
                lock.bindValue(int(i), ids[i]);
            run(lock);
            while (lock.next())
                any = true;
            failIfCut(lock);
            lock.finish();
        });
    return any;
}

void SqlStore::writeAlerts(const std::vector<qint64>& ids) const {
    if (!patientRowLock().isEmpty())
        lockPatients(ids);
    // Visits of one day in the order they were stored, as the engine reads a trajectory.
    std::vector<QVariantList> alerts;
    std::vector<Visit> visits;
    const auto judge = [&] {
        appendAlertRows(alerts, visits.front().patientId, visits);
        visits.clear();
    };
    readAssessedVisits(
        QStringLiteral(
            "SELECT %1 FROM visite v WHERE v.patient_id IN (%2) ORDER BY v.patient_id, v.date, v.id")
            .arg(kAssessedVisitColumns, idList(ids.size())),
        ids, [&](Visit&& visit) {
            if (!visits.empty() && visits.front().patientId != visit.patientId)
                judge();
            visits.push_back(std::move(visit));
        });
    if (!visits.empty())
        judge();

    withStatement(QStringLiteral("DELETE FROM alerte WHERE patient_id IN (%1)").arg(idList(ids.size())),
                  [&](QSqlQuery& remove) {
                      for (std::size_t i = 0; i < ids.size(); ++i)
                          remove.bindValue(int(i), ids[i]);
                      run(remove);
                      remove.finish();
                  });
    insertRows(alertsInsert, alerts, nullptr);
}

void SqlStore::writeNewPatientsAlerts(
    const std::vector<std::pair<qint64, std::vector<Visit>>>& patients) const {
    std::vector<QVariantList> alerts;
    for (const auto& [patientId, visits] : patients)
        appendAlertRows(alerts, patientId, visits);
    insertRows(alertsInsert, alerts, nullptr);
}

namespace {

const QString kUpdateKeys =
    QStringLiteral("UPDATE patient SET nom_cle = n.column2, prenom_cle = n.column3, recherche = n.column4 "
                   "FROM (VALUES %1) AS n WHERE patient.id = CAST(n.column1 AS BIGINT)");
const QString kKeysRow = QStringLiteral("(?, ?, ?, ?)");

} // namespace

void SqlStore::fillPatientKeys() const {
    std::vector<std::array<QString, 4>> keys;
    std::vector<qint64> ids;
    QSqlQuery read = prepared(QStringLiteral("SELECT %1 FROM patient p ORDER BY p.id").arg(kPatientColumns));
    run(read);
    while (read.next()) {
        const Patient patient = patientAt(read, 0);
        ids.push_back(patient.id);
        keys.push_back({QString::number(patient.id), foldForSearch(patient.nom),
                        foldForSearch(patient.prenom), searchKey(patient)});
    }
    failIfCut(read);
    read.finish();
    inChunks(
        keys.size(), [](std::size_t count) { return kUpdateKeys.arg(rowsInsert({}, kKeysRow, count)); },
        [&](QSqlQuery& update, std::size_t first, std::size_t count) {
            int mark = 0;
            for (std::size_t row = first; row < first + count; ++row) {
                for (const QString& value : keys[row])
                    update.bindValue(mark++, text(value));
            }
            run(update);
            update.finish();
        });
    refreshAlerts(ids);
}

} // namespace vimora::records
