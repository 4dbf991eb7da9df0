#include "RecordsCopy.h"

#include "SqliteStore.h"
#include "VisitRecords.h"
#include "engine/EngineError.h"
#include "engine/Measures.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>
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

std::vector<Copied> readCopy(const QString& path) {
    std::vector<Copied> copied;
    // Read only: restoring from a copy never changes it.
    const SqliteStore copy(path, Access::ReadOnly);
    copy.forEachRecord([&](const Patient& patient, const Visit* visit) {
        if (copied.empty() || copied.back().patient.id != patient.id)
            copied.push_back({patient, {}});
        if (visit != nullptr)
            copied.back().visits.push_back(*visit);
    });
    return copied;
}

// The stored patients as a copy's patients find them: by dossier, else by name and birth date,
// homonyms without dossier paired in the order they were created.
class StoredPatients {
public:
    explicit StoredPatients(const PatientStore& store) {
        for (const PatientSummary& summary : store.patients()) {
            const Patient& patient = summary.patient;
            if (!patient.dossier.isEmpty())
                m_byDossier.insert(patient.dossier, patient);
            else
                m_withoutDossier[patientNameKey(patient.nom, patient.prenom, patient.naissance)].push_back(
                    patient);
        }
        for (std::vector<Patient>& homonyms : m_withoutDossier) {
            std::sort(homonyms.begin(), homonyms.end(),
                      [](const Patient& a, const Patient& b) { return a.id < b.id; });
        }
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

// The visits of a copied patient that the records lack, counted in `report`. The copy's texts rest
// on its identity: another one here is judged again.
std::vector<Visit> missingVisits(const Patient& stored, const Copied& entry, QSet<QString>& known,
                                 ImportReport& report, QDate today) {
    const bool judgedAgain = stored.sexe != entry.patient.sexe || stored.naissance != entry.patient.naissance;
    std::vector<Visit> missing;
    for (const Visit& visit : entry.visits) {
        const QString key = visitKey(stored.id, visit);
        if (known.contains(key)) {
            ++report.visitsSkipped;
            continue;
        }
        known.insert(key);
        Visit kept = visit;
        if (judgedAgain) {
            kept = assessMeasurement(stored, visit.date, visit.poids, visit.taille, today);
            kept.remarque = visit.remarque;
            kept.created = visit.created;
        }
        missing.push_back(kept);
        ++report.visitsAdded;
    }
    return missing;
}

} // namespace

bool isRecordsCopy(const QString& path) {
    return SqliteStore::isSqliteFile(path);
}

ImportReport importCopy(PatientStore& store, const QString& path, QDate today) {
    std::vector<Copied> copied = readCopy(path);
    ImportReport report;
    store.transaction([&] {
        StoredPatients stored(store);
        QSet<QString> knownVisits;
        store.forEachVisit([&](const Patient& /*patient*/, const Visit& visit) {
            knownVisits.insert(visitKey(visit.patientId, visit));
        });
        QStringList errors;
        std::vector<PatientVisits> batch;
        int rank = 0;
        for (Copied& entry : copied) {
            ++rank;
            const std::optional<Patient> found = stored.match(entry.patient);
            if (!found) {
                ++report.patientsAdded;
                report.visitsAdded += int(entry.visits.size());
                entry.patient.id = 0;
                batch.push_back({entry.patient, std::move(entry.visits)});
                continue;
            }
            ++report.patientsFound;
            const QStringList other =
                entry.patient.dossier.isEmpty() ? QStringList() : otherIdentity(*found, entry.patient);
            if (!other.isEmpty()) {
                errors << QStringLiteral("Patient n° %1 de la copie (dans l'ordre alphabétique) : ce "
                                         "dossier est déjà celui d'un autre patient (%2)")
                              .arg(rank)
                              .arg(other.join(QStringLiteral(", ")));
                continue;
            }
            std::vector<Visit> missing = missingVisits(*found, entry, knownVisits, report, today);
            if (!missing.empty())
                batch.push_back({*found, std::move(missing)});
        }
        if (!errors.isEmpty())
            throw ImportRefused(errors);
        // A window may have saved one of these visits since they were looked up.
        const int added = store.addAll(batch);
        report.visitsSkipped += report.visitsAdded - added;
        report.visitsAdded = added;
    });
    return report;
}

} // namespace vimora::records
