// The records on a PostgreSQL server on loopback, durable commits as on a clinic's server, with
// 10,000 patients and 100,000 visits: 8 workstations saving visits at once (latency of each save,
// p50 and p95), and what the records dialog asks of the store: the patient list, a search keystroke
// over it, a patient's 100 visits for the trajectory.

#include "PostgresServer.h"
#include "PostgresStore.h"
#include "VisitRecords.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace vimora::records;

constexpr int kPatients = 10000;
constexpr int kVisitsEach = 10;
constexpr int kClients = 8;
constexpr int kSavesEach = 250;
constexpr int kRuns = 9;

const std::array<const char*, 16> kNoms{"Martin",  "Bernard", "Dubois", "Thomas", "Robert", "Richard",
                                        "Petit",   "Durand",  "Leroy",  "Moreau", "Simon",  "Laurent",
                                        "Lefèvre", "Michel",  "Garcia", "Müller"};
const std::array<const char*, 16> kPrenoms{"Éloïse", "Noé",   "Léa",   "Hugo",    "Chloé", "Louis",
                                           "Inès",   "Jules", "Zoé",   "Gabriel", "Anaïs", "Raphaël",
                                           "Manon",  "Théo",  "Célia", "Adèle"};

Patient generatedPatient(std::mt19937& random, int number) {
    Patient patient;
    patient.dossier = QStringLiteral("D%1").arg(number, 6, 10, QLatin1Char('0'));
    patient.nom = QString::fromUtf8(kNoms.at(random() % kNoms.size())) + QString::number(number % 977);
    patient.prenom = QString::fromUtf8(kPrenoms.at(random() % kPrenoms.size()));
    patient.sexe = random() % 2 == 0 ? vimora::Sex::Male : vimora::Sex::Female;
    patient.naissance = QDate(2004, 1, 1).addDays(static_cast<qint64>(random() % 5000));
    return patient;
}

// A child's visits a few months apart, with weights and heights that grow.
std::vector<Visit> generatedVisits(const Patient& patient, int count) {
    std::vector<Visit> visits;
    for (int i = 0; i < count; ++i) {
        const QDate date = patient.naissance.addDays(400 + 45 * i);
        const double years = static_cast<double>(patient.naissance.daysTo(date)) / 365.25;
        const QString poids =
            QString::number(8.0 + 2.4 * years, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
        const QString taille =
            QString::number(0.75 + 0.06 * years, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(','));
        visits.push_back(assessMeasurement(patient, date, poids, taille, QDate(2026, 1, 1)));
    }
    return visits;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

template <typename Action> double milliseconds(const Action& action) {
    QElapsedTimer clock;
    clock.start();
    action();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Each client saves its visits once all are connected; the latencies come back through a pipe.
std::vector<double> concurrentSaves(const QString& uri, qint64 patientId, const Patient& patient) {
    std::array<int, 2> results{};
    std::array<int, 2> start{};
    if (pipe(results.data()) != 0 || pipe(start.data()) != 0)
        return {};
    std::vector<pid_t> clients;
    for (int client = 0; client < kClients; ++client) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(results[0]);
            close(start[1]);
            PostgresStore store(uri);
            const std::vector<Visit> visits = generatedVisits(patient, 100);
            char go = 0;
            if (read(start[0], &go, 1) != 1)
                _exit(1);
            std::vector<double> latencies;
            for (int i = 0; i < kSavesEach; ++i) {
                Visit visit = visits[static_cast<std::size_t>(i) % visits.size()];
                visit.patientId = patientId;
                latencies.push_back(milliseconds([&] { store.addVisit(visit); }));
            }
            const auto bytes = static_cast<ssize_t>(latencies.size() * sizeof(double));
            _exit(write(results[1], latencies.data(), static_cast<std::size_t>(bytes)) == bytes ? 0 : 1);
        }
        clients.push_back(pid);
    }
    close(results[1]);
    close(start[0]);
    // Give every client time to connect, then start them together.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::vector<char> go(kClients, 'g');
    if (write(start[1], go.data(), go.size()) != static_cast<ssize_t>(go.size()))
        return {};
    std::vector<double> latencies;
    double value = 0;
    while (read(results[0], &value, sizeof value) == sizeof value)
        latencies.push_back(value);
    for (const pid_t pid : clients)
        waitpid(pid, nullptr, 0);
    return latencies;
}

void measure(testcommon::PostgresServer& server) {
    const QString uri = QString::fromStdString(server.uri());

    std::mt19937 random(20261207);
    qint64 followed = 0;
    Patient followedPatient;
    {
        PostgresStore store(uri);
        const double filled = milliseconds([&] {
            for (int first = 0; first < kPatients; first += 1000) {
                std::vector<PatientVisits> batch;
                for (int number = first; number < first + 1000; ++number) {
                    PatientVisits entry;
                    entry.patient = generatedPatient(random, number);
                    entry.visits = generatedVisits(entry.patient, kVisitsEach);
                    batch.push_back(std::move(entry));
                }
                store.addAll(batch);
            }
        });
        PatientVisits hundred;
        hundred.patient = generatedPatient(random, kPatients);
        hundred.patient.naissance = QDate(2005, 1, 1);
        hundred.visits = generatedVisits(hundred.patient, 100);
        store.addAll({hundred});
        for (const PatientSummary& summary : store.patients()) {
            if (summary.visitCount == 100)
                followed = summary.patient.id;
        }
        followedPatient = *store.patient(followed);
        std::printf("records on a server: %d patients and %d visits written in %.0f ms\n", kPatients + 1,
                    kPatients * kVisitsEach + 100, filled);
    }

    const std::vector<double> saves = concurrentSaves(uri, followed, followedPatient);
    std::printf(
        "records on a server: %d clients saving %d visits each: p50 %.2f ms, p95 %.2f ms, max %.2f ms "
        "(target p95 <= 50 ms)\n",
        kClients, kSavesEach, percentile(saves, 0.5), percentile(saves, 0.95),
        *std::max_element(saves.begin(), saves.end()));

    PostgresStore store(uri);
    std::vector<double> lists;
    std::vector<double> keystrokes;
    std::vector<double> trajectories;
    std::vector<PatientSummary> summaries;
    for (int run = 0; run < kRuns; ++run) {
        lists.push_back(milliseconds([&] { summaries = store.patients(); }));
        keystrokes.push_back(milliseconds([&] {
            const auto shown = std::count_if(summaries.begin(), summaries.end(), [](const PatientSummary& s) {
                return matches(s, QStringLiteral("lefe"));
            });
            if (shown == 0)
                std::printf("no patient found\n");
        }));
        trajectories.push_back(milliseconds([&] {
            if (store.visits(followed).size() < 100)
                std::printf("visits missing\n");
        }));
    }
    std::printf("records on a server: list of %zu patients %.1f ms, search keystroke %.2f ms, "
                "a patient's visits for the trajectory %.2f ms (medians of %d)\n",
                summaries.size(), median(lists), median(keystrokes), median(trajectories), kRuns);
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    if (const std::string missing = testcommon::PostgresServer::missing(); !missing.empty()) {
        std::printf("records on a server: skipped (%s)\n", missing.c_str());
        return 0;
    }
    try {
        // The server is stopped and removed however the measures end.
        testcommon::PostgresServer server(true);
        measure(server);
    } catch (const std::exception& error) {
        std::printf("records on a server: failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
