#include "RecordsCopy.h"

#include "EngineError.h"
#include "Measures.h"
#include "SqliteStore.h"
#include "VisitRecords.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <vector>

namespace vimora::records {

namespace {

// A measure as the records compare it: "80" and "80,0" are one weight.
QString measureKey(const QString& text) {
    try {
        return QString::number(parseMeasure(text.toStdString(), kDecimalSeparator), 'g', 17);
    } catch (const EngineError&) {
        return text;
    }
}

QString visitKey(qint64 patient, const Visit& visit) {
    return QString::number(patient) + QChar(0x1E) + visit.date.toString(Qt::ISODate) + QChar(0x1E) +
           measureKey(visit.poids) + QChar(0x1E) + measureKey(visit.taille);
}

// What differs between a stored patient and the copy's patient of the same dossier.
QStringList otherIdentity(const Patient& stored, const Patient& copied) {
    QStringList other;
    if (foldForSearch(stored.nom) != foldForSearch(copied.nom))
        other << QStringLiteral("autre nom");
    if (foldForSearch(stored.prenom) != foldForSearch(copied.prenom))
        other << QStringLiteral("autre prénom");
    if (stored.sexe != copied.sexe)
        other << QStringLiteral("autre sexe");
    if (stored.naissance != copied.naissance)
        other << QStringLiteral("autre date de naissance");
    return other;
}

// A patient of the copy with their visits, in the copy's order.
struct Copied {
    Patient patient;
    std::vector<Visit> visits;
};

} // namespace

bool isRecordsCopy(const QString& path) {
    return SqliteStore::isSqliteFile(path);
}

ImportReport importCopy(PatientStore& store, const QString& path, QDate today) {
    std::vector<Copied> copied;
    {
        // Read only: restoring from a copy never changes it.
        const SqliteStore copy(path, Access::ReadOnly);
        copy.forEachRecord([&](const Patient& patient, const Visit* visit) {
            if (copied.empty() || copied.back().patient.id != patient.id)
                copied.push_back({patient, {}});
            if (visit)
                copied.back().visits.push_back(*visit);
        });
    }

    ImportReport report;
    store.transaction([&] {
        QHash<QString, Patient> byDossier;
        // Homonyms without dossier are paired in the order they were created.
        QHash<QString, std::vector<Patient>> withoutDossier;
        for (const PatientSummary& summary : store.patients()) {
            const Patient& patient = summary.patient;
            if (!patient.dossier.isEmpty())
                byDossier.insert(patient.dossier, patient);
            else
                withoutDossier[patientNameKey(patient.nom, patient.prenom, patient.naissance)].push_back(
                    patient);
        }
        for (std::vector<Patient>& homonyms : withoutDossier) {
            std::sort(homonyms.begin(), homonyms.end(),
                      [](const Patient& a, const Patient& b) { return a.id < b.id; });
        }
        QSet<QString> knownVisits;
        store.forEachVisit([&](const Patient&, const Visit& visit) {
            knownVisits.insert(visitKey(visit.patientId, visit));
        });

        QStringList errors;
        QHash<QString, std::size_t> claimed;
        std::vector<PatientVisits> batch;
        int rank = 0;
        for (Copied& entry : copied) {
            ++rank;
            std::optional<Patient> stored;
            if (!entry.patient.dossier.isEmpty()) {
                if (const auto found = byDossier.constFind(entry.patient.dossier); found != byDossier.cend())
                    stored = *found;
            } else {
                const QString key =
                    patientNameKey(entry.patient.nom, entry.patient.prenom, entry.patient.naissance);
                const std::vector<Patient>& homonyms = withoutDossier.value(key);
                if (std::size_t& next = claimed[key]; next < homonyms.size())
                    stored = homonyms[next++];
            }
            PatientVisits added;
            if (!stored) {
                added.patient = entry.patient;
                added.patient.id = 0;
                ++report.patientsAdded;
                for (Visit& visit : entry.visits)
                    added.visits.push_back(std::move(visit));
                report.visitsAdded += int(added.visits.size());
                batch.push_back(std::move(added));
                continue;
            }
            ++report.patientsFound;
            if (!entry.patient.dossier.isEmpty()) {
                if (const QStringList other = otherIdentity(*stored, entry.patient); !other.isEmpty()) {
                    errors << QStringLiteral("Patient n° %1 de la copie (dans l'ordre alphabétique) : ce "
                                             "dossier est déjà celui d'un autre patient (%2)")
                                  .arg(rank)
                                  .arg(other.join(QStringLiteral(", ")));
                    continue;
                }
            }
            // The copy's texts rest on its identity: another one here is judged again.
            const bool judgedAgain =
                stored->sexe != entry.patient.sexe || stored->naissance != entry.patient.naissance;
            added.patient = *stored;
            for (const Visit& visit : entry.visits) {
                if (knownVisits.contains(visitKey(stored->id, visit))) {
                    ++report.visitsSkipped;
                    continue;
                }
                knownVisits.insert(visitKey(stored->id, visit));
                Visit kept = visit;
                if (judgedAgain) {
                    kept = assessMeasurement(*stored, visit.date, visit.poids, visit.taille, today);
                    kept.remarque = visit.remarque;
                    kept.created = visit.created;
                }
                added.visits.push_back(kept);
                ++report.visitsAdded;
            }
            if (!added.visits.empty())
                batch.push_back(std::move(added));
        }
        if (!errors.isEmpty())
            throw ImportRefused(errors);
        // A window may have saved one of these visits since they were looked up.
        const int stored = store.addAll(batch);
        report.visitsSkipped += report.visitsAdded - stored;
        report.visitsAdded = stored;
    });
    return report;
}

} // namespace vimora::records
