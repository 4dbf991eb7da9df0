#include "SqlRows.h"
#include "SqlStore.h"

#include "VisitRecords.h"

namespace vimora::records {

namespace {

// Visits are judged again a thousand at a time, so that memory stays flat over a whole base.
constexpr int kRejudgedPerRead = 1000;
const QString kUpdateJudgement = QStringLiteral(
    "UPDATE visite SET age = n.column2, imc = n.column3, poids_max = n.column4, poids_min = n.column5, "
    "resultat = n.column6, conseils = n.column7, objectif = n.column8 FROM (VALUES %1) AS n "
    "WHERE visite.id = CAST(n.column1 AS BIGINT)");
const QString kJudgementRow = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");

} // namespace

void SqlStore::rejudgeVisits(qint64 patientId, Unjudgeable unjudgeable) const {
    QSqlQuery read =
        prepared(QStringLiteral("SELECT %1, %2 FROM visite v JOIN patient p ON p.id = v.patient_id "
                                "WHERE v.id > ?%3 ORDER BY v.id LIMIT %4")
                     .arg(kPatientColumns, kVisitColumns,
                          patientId == 0 ? QString() : QStringLiteral(" AND v.patient_id = ?"))
                     .arg(kRejudgedPerRead));
    qint64 after = 0;
    int rows = kRejudgedPerRead;
    while (rows == kRejudgedPerRead) {
        read.bindValue(0, after);
        if (patientId != 0)
            read.bindValue(1, patientId);
        run(read);
        rows = 0;
        std::vector<QVariantList> changed;
        while (read.next()) {
            ++rows;
            const Visit stored = visitAt(read, kPatientColumnCount);
            after = stored.id;
            Visit visit;
            try {
                visit = rejudged(patientAt(read, 0), stored);
            } catch (const StoreError& error) {
                // A visit stored by an earlier rule keeps the texts it was shown with; a correction
                // that would leave one unjudged is refused whole.
                if (unjudgeable == Unjudgeable::KeepAsStored)
                    continue;
                throw StoreError(StoreError::Kind::Input,
                                 error.message() + QStringLiteral(" Rien n'a été enregistré."));
            }
            if (!sameJudgement(visit, stored)) {
                changed.push_back({QString::number(visit.id), text(visit.age), text(visit.imc),
                                   text(visit.poidsMax), text(visit.poidsMin), text(visit.resultat),
                                   text(visit.conseils), text(visit.objectif)});
            }
        }
        failIfCut(read);
        read.finish();
        inChunks(
            changed.size(),
            [](std::size_t count) { return kUpdateJudgement.arg(rowsInsert({}, kJudgementRow, count)); },
            [&](QSqlQuery& update, std::size_t first, std::size_t count) {
                int mark = 0;
                for (std::size_t row = first; row < first + count; ++row) {
                    for (const QVariant& value : changed[row])
                        update.bindValue(mark++, value);
                }
                run(update);
                update.finish();
            });
    }
}

void SqlStore::migrateFrom(int from, Dialect dialect) const {
    for (const QString& statement : migrationFrom(from, dialect))
        run(statement);
    if (rejudgesVisits(from))
        rejudgeVisits(0, Unjudgeable::KeepAsStored);
    if (fillsPatientKeys(from))
        fillPatientKeys();
}

} // namespace vimora::records
