#include "SqlStore.h"

#include "VisitRecords.h"

namespace vimora::records {

StoreError SqlStore::dossierTaken() {
    return {StoreError::Kind::Conflict,
            QStringLiteral("Ce numéro de dossier est déjà celui d'un autre patient."),
            {},
            FieldProblem::Field::Dossier};
}

void SqlStore::refuseInvalid(const Patient& patient) {
    const std::vector<FieldProblem> problems = patientProblems(patient, QDate::currentDate());
    if (!problems.empty())
        throw StoreError(StoreError::Kind::Input, problems.front().message, {}, problems.front().field);
}

void SqlStore::checkPatient(const Patient& patient, qint64 exceptId) const {
    refuseInvalid(patient);
    if (patient.dossier.isEmpty())
        return;
    QSqlQuery taken = prepared(QStringLiteral("SELECT 1 FROM patient WHERE dossier = ? AND id <> ?"));
    taken.addBindValue(patient.dossier);
    taken.addBindValue(exceptId);
    run(taken);
    if (taken.next())
        throw dossierTaken();
    failIfCut(taken);
}

} // namespace vimora::records
