// The records on a PostgreSQL server on loopback, with durable commits as on a clinic's server, and
// the generated base of the records benchmark (10,000 patients, 100,000 visits) imported into it:
// 8 workstations saving visits at once (the latency of each save: p50, p95), and what the records
// dialog asks of the store: the patient list, a search keystroke over it, a patient's 100 visits
// and their alerts.

#include "GeneratedRecords.h"
#include "PostgresServer.h"
#include "records/PostgresStore.h"
#include "records/RecordsTransfer.h"
#include "records/VisitRecords.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using namespace vimora::records;

constexpr int kClients = 8;
constexpr int kSavesEach = 250;
constexpr int kRuns = 9;

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
std::vector<double> concurrentSaves(const QString& uri, const Visit& visit) {
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
            char go = 0;
            if (read(start[0], &go, 1) != 1)
                _exit(1);
            std::vector<double> latencies;
            latencies.reserve(kSavesEach);
            for (int i = 0; i < kSavesEach; ++i) {
                // A visit of its own each time: one identical to a stored visit is refused.
                Visit own = visit;
                own.poids = QStringLiteral("%1,%2").arg(60 + client).arg(i, 3, 10, QLatin1Char('0'));
                latencies.push_back(milliseconds([&] { store.addVisit(own); }));
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

void measure(const testcommon::PostgresServer& server) {
    const QString uri = QString::fromStdString(server.uri());
    Visit saved;
    {
        PostgresStore store(uri);
        QBuffer csv;
        csv.setData(bench::generatedMeasures());
        csv.open(QIODevice::ReadOnly);
        const double imported = milliseconds([&] { importVisits(store, csv); });
        std::string fsync = server.sql("SHOW fsync");
        fsync.erase(fsync.find_last_not_of('\n') + 1);
        std::printf("records on a server (fsync %s): importer of %d visits of %d patients %.0f ms\n",
                    fsync.c_str(), bench::kVisits, bench::kPatients, imported);
        const Patient patient = store.patients().back().patient;
        saved =
            assessMeasurement(patient, QDate::currentDate(), QStringLiteral("80"), QStringLiteral("1,75"));
    }
    // As a running server has it: the planner's statistics of the new rows.
    server.sql("ANALYZE", "vimora");

    const std::vector<double> saves = concurrentSaves(uri, saved);
    std::printf("records on a server: %d clients saving %d visits each at once: p50 %.2f ms, p95 %.2f ms, "
                "max %.2f ms (target p95 <= 50 ms)\n",
                kClients, kSavesEach, percentile(saves, 0.5), percentile(saves, 0.95),
                *std::max_element(saves.begin(), saves.end()));

    PostgresStore store(uri);
    std::vector<double> lists;
    std::vector<double> keystrokes;
    std::vector<double> trajectories;
    std::vector<PatientSummary> summaries;
    qint64 longest = 0;
    for (int run = 0; run < kRuns; ++run) {
        lists.push_back(milliseconds([&] { summaries = store.patients(); }));
        keystrokes.push_back(milliseconds([&] {
            const auto shown = std::count_if(summaries.begin(), summaries.end(), [](const PatientSummary& s) {
                return matches(s, QStringLiteral("lef"));
            });
            if (shown == 0)
                std::printf("no patient found\n");
        }));
        for (const PatientSummary& summary : summaries) {
            if (summary.visitCount >= bench::kLongTrajectory)
                longest = summary.patient.id;
        }
        trajectories.push_back(milliseconds([&] { alertsOf(store.visits(longest)); }));
    }
    std::printf(
        "records on a server: list of %zu patients %.1f ms (dialog target 150 ms), search keystroke "
        "%.2f ms (30 ms), a patient's %d visits and alerts %.2f ms (trajectory 100 ms); medians of %d\n",
        summaries.size(), median(lists), median(keystrokes), bench::kLongTrajectory, median(trajectories),
        kRuns);
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
        const testcommon::PostgresServer server(true);
        measure(server);
    } catch (const std::exception& error) {
        std::printf("records on a server: failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
