#include "SqlRows.h"
#include "SqlStore.h"

namespace vimora::records {

// The patient is read back in the transaction that wrote it: once committed, another workstation
// may delete it before it could be read.
Patient SqlStore::addPatient(const Patient& patient) {
    Patient stored;
    write([&] { stored = storedPatient(insertPatients({&patient}, timestampNow()).front()); });
    return stored;
}

Patient SqlStore::updatePatient(const Patient& patient) {
    Patient updated;
    write([&] {
        checkPatient(patient, patient.id);
        // The visits were judged for the identity stored: a birth date or sex corrected judges
        // them again, and nobody may add one meanwhile.
        QSqlQuery stored =
            prepared(QStringLiteral("SELECT sexe, naissance FROM patient WHERE id = ? AND version = ?%1")
                         .arg(patientRowLock()));
        stored.addBindValue(patient.id);
        stored.addBindValue(patient.version);
        run(stored);
        const bool found = stored.next();
        failIfCut(stored);
        const bool identityChanged = found && (stored.value(0).toString() != sexCode(patient.sexe) ||
                                               stored.value(1).toString() != isoDate(patient.naissance));
        stored.finish();
        QSqlQuery update =
            prepared(QStringLiteral("UPDATE patient SET dossier = ?, nom = ?, prenom = ?, sexe = ?, "
                                    "naissance = ?, modification = ?, nom_cle = ?, prenom_cle = ?, "
                                    "recherche = ?, version = version + 1 WHERE id = ? AND version = ?"));
        update.addBindValue(nullableText(patient.dossier));
        update.addBindValue(text(patient.nom));
        update.addBindValue(text(patient.prenom));
        update.addBindValue(sexCode(patient.sexe));
        update.addBindValue(isoDate(patient.naissance));
        update.addBindValue(timestampNow());
        update.addBindValue(text(foldForSearch(patient.nom)));
        update.addBindValue(text(foldForSearch(patient.prenom)));
        update.addBindValue(text(searchKey(patient)));
        update.addBindValue(patient.id);
        update.addBindValue(patient.version);
        run(update);
        if (update.numRowsAffected() == 1) {
            update.finish();
            if (identityChanged) {
                rejudgeVisits(patient.id, Unjudgeable::Refuse);
                refreshAlerts({patient.id});
            }
            updated = storedPatient(patient.id);
            return;
        }
        // Deleted meanwhile rather than changed: storedPatient() says so.
        storedPatient(patient.id);
        throw StoreError(
            StoreError::Kind::Conflict,
            QStringLiteral("Ce patient a été modifié sur un autre poste depuis qu'il est affiché : "
                           "rien n'a été enregistré. Ses données vont être rechargées."));
    });
    return updated;
}

void SqlStore::deleteRow(const QString& table, qint64 id, const QString& gone) {
    write([&] {
        QSqlQuery remove = prepared(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(table));
        remove.addBindValue(id);
        run(remove);
        if (remove.numRowsAffected() == 0)
            throw StoreError(StoreError::Kind::NotFound, gone);
    });
}

void SqlStore::deletePatient(qint64 id) {
    deleteRow(QStringLiteral("patient"), id,
              QStringLiteral("Ce patient a déjà été supprimé, sur ce poste ou sur un autre."));
}

Visit SqlStore::addVisit(const Visit& visit) {
    Visit stored;
    write([&] {
        // Held from the start: the alerts then read every visit of the patient, whoever else adds one.
        if (!lockPatients({visit.patientId})) {
            throw StoreError(
                StoreError::Kind::NotFound,
                QStringLiteral("Ce patient a été supprimé entre-temps : la consultation n'a pas été "
                               "enregistrée."));
        }
        stored = insertVisit(visit, timestampNow());
        refreshAlerts({visit.patientId});
    });
    return stored;
}

void SqlStore::deleteVisit(qint64 visitId) {
    write([&] {
        QSqlQuery owner = prepared(QStringLiteral("SELECT patient_id FROM visite WHERE id = ?"));
        owner.addBindValue(visitId);
        run(owner);
        const qint64 patientId = owner.next() ? owner.value(0).toLongLong() : 0;
        failIfCut(owner);
        owner.finish();
        deleteRow(QStringLiteral("visite"), visitId,
                  QStringLiteral("Cette consultation a déjà été supprimée, sur ce poste ou sur un autre."));
        refreshAlerts({patientId});
    });
}

} // namespace vimora::records
