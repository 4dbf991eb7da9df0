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

// One restore, inside the records' write transaction, written as the copy is read: a few thousand
// visits at a time, so that memory stays flat whatever the copy's size. A visit the copy holds
// twice, or that the records hold already, is left out by the records' unique key.
class Restore {
public:
    Restore(PatientStore& store, QDate today)
        : m_store(store)
        , m_stored(store)
        , m_today(today) {}

    /// Restores the next patient of the copy, in its order.
    void add(Copied& entry) {
        ++m_rank;
        m_read += int(entry.visits.size());
        const std::optional<Patient> found = m_stored.match(entry.patient);
        if (!found) {
            ++m_report.patientsAdded;
            entry.patient.id = 0;
            queue(entry.patient, std::move(entry.visits));
            return;
        }
        ++m_report.patientsFound;
        const QStringList other =
            entry.patient.dossier.isEmpty() ? QStringList() : otherIdentity(*found, entry.patient);
        if (!other.isEmpty()) {
            m_errors << QStringLiteral("Patient n° %1 de la copie (dans l'ordre alphabétique) : ce "
                                       "dossier est déjà celui d'un autre patient (%2)")
                            .arg(m_rank)
                            .arg(other.join(QStringLiteral(", ")));
            return;
        }
        queue(*found, visitsFor(*found, entry, m_today));
    }

    /// Writes what is left and says what was done, or refuses the copy for its patients refused.
    ImportReport finish() {
        if (!m_errors.isEmpty())
            throw ImportRefused(m_errors);
        write();
        m_report.visitsSkipped = m_read - m_report.visitsAdded;
        return m_report;
    }

private:
    static constexpr std::size_t kVisitsPerWrite = 5000;

    void queue(const Patient& patient, std::vector<Visit> visits) {
        if (patient.id != 0 && visits.empty())
            return;
        m_pending += visits.size();
        m_batch.push_back({patient, std::move(visits)});
        if (m_pending >= kVisitsPerWrite)
            write();
    }

    // Nothing once a patient is refused: the whole restore will be rolled back.
    void write() {
        if (m_errors.isEmpty() && !m_batch.empty())
            m_report.visitsAdded += m_store.addAll(m_batch);
        m_batch.clear();
        m_pending = 0;
    }

    PatientStore& m_store;
    StoredPatients m_stored;
    QDate m_today;
    std::vector<PatientVisits> m_batch;
    std::size_t m_pending = 0;
    int m_read = 0;
    int m_rank = 0;
    QStringList m_errors;
    ImportReport m_report;
};

} // namespace

bool isRecordsCopy(const QString& path) {
    return SqliteStore::isSqliteFile(path);
}

ImportReport importCopy(PatientStore& store, const QString& path, QDate today) {
    // Read only: restoring from a copy never changes it.
    const SqliteStore copy(path, Access::ReadOnly);
    ImportReport report;
    store.transaction([&] {
        Restore restore(store, today);
        std::optional<Copied> entry;
        copy.forEachRecord([&](const Patient& patient, const Visit* visit) {
            if (entry && entry->patient.id != patient.id)
                restore.add(*entry);
            if (!entry || entry->patient.id != patient.id)
                entry = Copied{patient, {}};
            if (visit != nullptr)
                entry->visits.push_back(*visit);
        });
        if (entry)
            restore.add(*entry);
        report = restore.finish();
    });
    return report;
}

} // namespace vimora::records
