#include "RecordsCopy.h"

#include "SqliteStore.h"

#include <QHash>
#include <QSet>

#include <map>
#include <tuple>

namespace vimora::records {

namespace {

QString patientKey(const Patient& patient) {
    if (!patient.dossier.isEmpty())
        return QStringLiteral("dossier:") + patient.dossier;
    return patientNameKey(patient.nom, patient.prenom, patient.naissance);
}

QString visitKey(const QString& patient, const Visit& visit) {
    return patient + QChar(0x1E) + visit.date.toString(Qt::ISODate) + QChar(0x1E) + visit.poids +
           QChar(0x1E) + visit.taille;
}

} // namespace

bool isRecordsCopy(const QString& path) {
    return SqliteStore::isSqliteFile(path);
}

ImportReport importCopy(PatientStore& store, const QString& path) {
    QHash<QString, Patient> known;
    for (const PatientSummary& summary : store.patients())
        known.insert(patientKey(summary.patient), summary.patient);
    QSet<QString> knownVisits;
    store.forEachVisit([&](const Patient& patient, const Visit& visit) {
        knownVisits.insert(visitKey(patientKey(patient), visit));
    });

    ImportReport report;
    // One entry per patient, whether already stored or new.
    std::map<QString, PatientVisits> batch;
    // Read only: restoring from a copy never changes it.
    const SqliteStore copy(path, Access::ReadOnly);
    copy.forEachVisit([&](const Patient& patient, const Visit& visit) {
        const QString key = patientKey(patient);
        auto [entry, added] = batch.try_emplace(key);
        if (added) {
            const auto stored = known.constFind(key);
            entry->second.patient = stored != known.cend() ? *stored : patient;
            if (stored == known.cend()) {
                entry->second.patient.id = 0;
                ++report.patientsAdded;
            } else {
                ++report.patientsFound;
            }
        }
        if (!knownVisits.contains(visitKey(key, visit))) {
            knownVisits.insert(visitKey(key, visit));
            entry->second.visits.push_back(visit);
            ++report.visitsAdded;
        } else {
            ++report.visitsSkipped;
        }
    });
    // Patients without any visit come along too.
    for (const PatientSummary& summary : copy.patients()) {
        const QString key = patientKey(summary.patient);
        if (batch.contains(key) || known.contains(key))
            continue;
        Patient patient = summary.patient;
        patient.id = 0;
        batch[key].patient = patient;
        ++report.patientsAdded;
    }
    std::vector<PatientVisits> entries;
    for (auto& [key, entry] : batch) {
        if (entry.patient.id == 0 || !entry.visits.empty())
            entries.push_back(std::move(entry));
    }
    store.addAll(entries);
    return report;
}

} // namespace vimora::records
