#pragma once

#include "PatientStore.h"

#include <QDate>
#include <QIODevice>
#include <QString>
#include <QStringList>

// The records in and out of files, for vimora-dossiers and the dialog's buttons: the import of
// measurements from a French CSV file (";", decimal comma, UTF-8), the export of every visit in the
// same columns, and the alerts of every patient.
namespace vimora::records {

/// What an import added and left (already there).
struct ImportReport {
    int patientsAdded = 0;
    int patientsFound = 0;
    int visitsAdded = 0;
    int visitsSkipped = 0;
    QStringList warnings; ///< "Ligne 12 : ..." for implausible visits, imported anyway
};

/// The import was refused as a whole: nothing was written. rowErrors lists every bad row
/// ("Ligne 12 : ...") or the fault of the file itself.
class ImportRefused : public StoreError {
public:
    explicit ImportRefused(const QStringList& rowErrors);
    const QStringList& rowErrors() const { return m_rowErrors; }

private:
    QStringList m_rowErrors;
};

/// Imports the measurements of `csv`, header dossier;nom;prenom;sexe;naissance;date;poids;taille in
/// any order, and optionally patient (other columns ignored), in one transaction that holds the
/// write lock while it looks up what is there. Visits already present (same patient, date, poids
/// and taille) are skipped. A row naming a dossier with another nom, prénom, sexe or naissance than
/// the base or an earlier row is refused. A row without date, poids and taille names a patient
/// without visits. Rows without dossier are one patient per patient number when the column is
/// there: homonyms stay apart, paired with the stored homonyms without dossier in the order these
/// were created. Throws ImportRefused or StoreError.
ImportReport importVisits(PatientStore& store, QIODevice& csv, QDate today = QDate::currentDate());

/// Every visit in the import's columns followed by age, imc, resultat and patient (the patient's
/// number in the file), and a line without date nor measures for each patient without visits:
/// importing it into an empty base gives a base that exports the same text.
void exportVisits(const PatientStore& store, QIODevice& out);
/// exportVisits() into `path`, replaced only when complete. Throws StoreError.
void exportVisitsToFile(const PatientStore& store, const QString& path);

/// dossier;nom;prenom;alerte;detail, one line per alert of every patient.
void writeAlerts(const PatientStore& store, QIODevice& out);

} // namespace vimora::records
