#include "RecordsCopy.h"

#include "SqliteStore.h"
#include "VisitRecords.h"

#include <QHash>

#include <optional>
#include <vector>

namespace vimora::records {

namespace {

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

// The stored patients as a copy's patients find them: by dossier, else by name and birth date,
// homonyms without dossier paired in the order they were created.
class StoredPatients {
public:
    explicit StoredPatients(const PatientStore& store) {
        store.forEachPatient([&](const Patient& patient) {
            if (!patient.dossier.isEmpty())
                m_byDossier.insert(patient.dossier, patient);
            else
                m_withoutDossier[patientNameKey(patient.nom, patient.prenom, patient.naissance)].push_back(
                    patient);
        });
    }

    std::optional<Patient> match(const Patient& copied) {
        if (!copied.dossier.isEmpty()) {
            if (const auto found = m_byDossier.constFind(copied.dossier); found != m_byDossier.cend())
                return *found;
            return std::nullopt;
        }
        const QString key = patientNameKey(copied.nom, copied.prenom, copied.naissance);
        const std::vector<Patient>& homonyms = m_withoutDossier.value(key);
        if (std::size_t& next = m_claimed[key]; next < homonyms.size())
            return homonyms[next++];
        return std::nullopt;
    }

private:
    QHash<QString, Patient> m_byDossier;
    QHash<QString, std::vector<Patient>> m_withoutDossier;
    QHash<QString, std::size_t> m_claimed;
};

// The visits of a copied patient for the records. The copy's texts rest on its identity: another
// one here is judged again.
std::vector<Visit> visitsFor(const Patient& stored, Copied& entry, QDate today) {
    if (stored.sexe == entry.patient.sexe && stored.naissance == entry.patient.naissance)
        return std::move(entry.visits);
    std::vector<Visit> judged;
    judged.reserve(entry.visits.size());
    for (const Visit& visit : entry.visits) {
        Visit kept = assessMeasurement(stored, visit.date, visit.poids, visit.taille, today);
        kept.remarque = visit.remarque;
        kept.created = visit.created;
        judged.push_back(kept);
    }
    return judged;
}

// Visits are written this many at a time, so that memory stays flat whatever the copy's size.
constexpr std::size_t kVisitsPerWrite = 5000;

} // namespace

bool isRecordsCopy(const QString& path) {
    return SqliteStore::isSqliteFile(path);
}

ImportReport importCopy(PatientStore& store, const QString& path, QDate today) {
    // Read only: restoring from a copy never changes it.
    const SqliteStore copy(path, Access::ReadOnly);
    ImportReport report;
    store.transaction([&] {
        StoredPatients stored(store);
        QStringList errors;
        std::vector<PatientVisits> batch;
        std::size_t pending = 0;
        int read = 0;
        int rank = 0;
        // Nothing is written once a patient is refused: the whole restore is rolled back.
        const auto write = [&] {
            if (errors.isEmpty() && !batch.empty())
                report.visitsAdded += store.addAll(batch);
            batch.clear();
            pending = 0;
        };
        const auto restore = [&](Copied& entry) {
            ++rank;
            read += int(entry.visits.size());
            const std::optional<Patient> found = stored.match(entry.patient);
            if (!found) {
                ++report.patientsAdded;
                entry.patient.id = 0;
                pending += entry.visits.size();
                batch.push_back({entry.patient, std::move(entry.visits)});
            } else if (const QStringList other = entry.patient.dossier.isEmpty()
                                                     ? QStringList()
                                                     : otherIdentity(*found, entry.patient);
                       !other.isEmpty()) {
                ++report.patientsFound;
                errors << QStringLiteral("Patient n° %1 de la copie (dans l'ordre alphabétique) : ce "
                                         "dossier est déjà celui d'un autre patient (%2)")
                              .arg(rank)
                              .arg(other.join(QStringLiteral(", ")));
            } else {
                ++report.patientsFound;
                std::vector<Visit> visits = visitsFor(*found, entry, today);
                pending += visits.size();
                if (!visits.empty())
                    batch.push_back({*found, std::move(visits)});
            }
            if (pending >= kVisitsPerWrite)
                write();
        };
        // The copy's patients one at a time, in its order; a visit it holds twice, or that the
        // records hold already, is left out by the records' unique key.
        std::optional<Copied> entry;
        copy.forEachRecord([&](const Patient& patient, const Visit* visit) {
            if (entry && entry->patient.id != patient.id)
                restore(*entry);
            if (!entry || entry->patient.id != patient.id)
                entry = Copied{patient, {}};
            if (visit != nullptr)
                entry->visits.push_back(*visit);
        });
        if (entry)
            restore(*entry);
        if (!errors.isEmpty())
            throw ImportRefused(errors);
        write();
        report.visitsSkipped = read - report.visitsAdded;
    });
    return report;
}

} // namespace vimora::records
