// The records dialog on a generated base (10,000 patients and ten visits each unless
// VIMORA_BENCH_PATIENTS says how many patients), in a SQLite file or, when VIMORA_BENCH_ENGINE is
// "postgresql", on a server started for the run, on the offscreen platform: the dialog opened until
// its list is painted, one keystroke of the search until the list is painted again, the whole list
// scrolled to its end (the longest step counted apart), and a patient with 100 visits selected
// until their visits are listed and their trajectory dialog (alerts, charts, sheet) is painted.
// Run with --benchmark_repetitions for medians.
#include "OffscreenBenchmarkMain.h"
#include "PostgresServer.h"
#include "app/records/PatientListModel.h"
#include "app/records/RecordsDialog.h"
#include "app/records/TrajectoryDialog.h"
#include "records/PatientStore.h"
#include "records/VisitRecords.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

using namespace vimora::records;

constexpr int kLongTrajectory = 100; ///< the visits of the first patient

// Patient 0 has 100 visits, patients 1 to 10 one each, the others ten: 100,000 in all.
int visitsOf(int patient) {
    if (patient == 0)
        return kLongTrajectory;
    return patient <= 10 ? 1 : 10;
}

int patientCount() {
    const int asked = qEnvironmentVariableIntValue("VIMORA_BENCH_PATIENTS");
    return asked > 0 ? asked : 10000;
}

QString databaseFor(std::optional<testcommon::PostgresServer>& server, const QTemporaryDir& folder) {
    if (qEnvironmentVariable("VIMORA_BENCH_ENGINE") != QLatin1String("postgresql"))
        return folder.filePath(QStringLiteral("dossiers.sqlite"));
    server.emplace(true);
    return QString::fromStdString(server->uri());
}

PatientStore& generatedStore() {
    static QTemporaryDir folder;
    static std::optional<testcommon::PostgresServer> server;
    static std::unique_ptr<PatientStore> store = [] {
        auto opened = openStore(databaseFor(server, folder));
        const int patients = patientCount();
        const std::array<const char*, 10> noms{"Martin",  "Bernard", "Dubois", "Lefèvre",  "Moreau",
                                               "Laurent", "Girard",  "Roux",   "Fournier", "Mercier"};
        const std::array<const char*, 10> prenoms{"Éloïse", "Jean", "Chloé",   "Léo",   "Inès",
                                                  "Noé",    "Zoé",  "Raphaël", "Anaïs", "Gaël"};
        // Stored a few thousand patients at a time: a million visits at once would not fit in memory.
        constexpr int kPerBatch = 5000;
        std::vector<PatientVisits> batch;
        int visits = 0;
        for (int p = 0; p < patients; ++p) {
            Patient patient;
            patient.dossier = QStringLiteral("D%1").arg(p);
            patient.nom = QStringLiteral("%1-%2").arg(QString::fromUtf8(noms.at(p % 10))).arg(p / 10);
            patient.prenom = QString::fromUtf8(prenoms.at((p / 7) % 10));
            patient.sexe = p % 2 != 0 ? vimora::Sex::Female : vimora::Sex::Male;
            patient.naissance = p == 0 ? QDate(2010, 1, 1) : QDate(1950, 1, 1).addDays((p * 3571) % 25000);
            PatientVisits entry{patient, {}};
            for (int v = 0; v < visitsOf(p); ++v, ++visits) {
                const QDate date = patient.naissance.addDays(400 + v * (p == 0 ? 30 : 60));
                entry.visits.push_back(assessMeasurement(patient, date,
                                                         QString::number(15 + (v * 7 + p) % 40),
                                                         QStringLiteral("1,%1").arg(10 + (v + p) % 80)));
            }
            batch.push_back(std::move(entry));
            if (batch.size() == kPerBatch || p + 1 == patients) {
                opened->addAll(batch);
                batch.clear();
            }
        }
        // What the server's autovacuum does within a minute of a large import: statistics for the
        // planner, and the pages marked all-visible, so that an index-only scan reads no table row.
        if (server)
            server->sql("VACUUM ANALYZE", "vimora");
        std::fprintf(stderr, "records: %zu patients, %d visits\n", opened->patients().size(), visits);
        return opened;
    }();
    return *store;
}

void dialogOpenedWithListShown(benchmark::State& state) {
    PatientStore& store = generatedStore();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        RecordsDialog dialog(store, RecordsDialog::Purpose::Browse);
        dialog.show();
        dialog.findChild<QTableView*>(QStringLiteral("tvPatients"))->viewport()->repaint();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
}

void searchKeystroke(benchmark::State& state) {
    PatientStore& store = generatedStore();
    RecordsDialog dialog(store, RecordsDialog::Purpose::Browse);
    dialog.show();
    auto* search = dialog.findChild<QLineEdit*>(QStringLiteral("edSearch"));
    auto* list = dialog.findChild<QTableView*>(QStringLiteral("tvPatients"));
    QTest::keyClicks(search, QStringLiteral("ma"));
    bool typing = true;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        // One letter more, then one less: "mar", "ma", "mar"...
        if (typing)
            QTest::keyClick(search, Qt::Key_R);
        else
            QTest::keyClick(search, Qt::Key_Backspace);
        list->viewport()->repaint();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        typing = !typing;
    }
}

// The scroll bar dragged to its end again and again, until the list holds every patient.
void wholeListScrolled(benchmark::State& state) {
    PatientStore& store = generatedStore();
    for (auto _ : state) {
        RecordsDialog dialog(store, RecordsDialog::Purpose::Browse);
        dialog.show();
        auto* list = dialog.findChild<QTableView*>(QStringLiteral("tvPatients"));
        QElapsedTimer clock;
        clock.start();
        qint64 longestStep = 0;
        int rows = -1;
        while (rows != list->model()->rowCount()) {
            rows = list->model()->rowCount();
            const qint64 stepStart = clock.nsecsElapsed();
            // The scroll bar's new range is laid out by the event loop.
            QCoreApplication::processEvents();
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
            list->viewport()->repaint();
            longestStep = std::max(longestStep, clock.nsecsElapsed() - stepStart);
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        state.counters["longest_step_ms"] = static_cast<double>(longestStep) / 1e6;
        state.counters["rows"] = rows;
    }
}

void longTrajectoryShown(benchmark::State& state) {
    PatientStore& store = generatedStore();
    RecordsDialog dialog(store, RecordsDialog::Purpose::Browse);
    dialog.show();
    auto* search = dialog.findChild<QLineEdit*>(QStringLiteral("edSearch"));
    auto* list = dialog.findChild<QTableView*>(QStringLiteral("tvPatients"));
    auto* visits = dialog.findChild<QTableWidget*>(QStringLiteral("twVisits"));
    // Martin-0 (100 visits) first, then Martin-1.
    QTest::keyClicks(search, QStringLiteral("martin-"));
    const Patient patient = static_cast<PatientListModel*>(list->model())->summary(0).patient;
    for (auto _ : state) {
        list->selectRow(1);
        QElapsedTimer clock;
        clock.start();
        list->selectRow(0);
        visits->viewport()->repaint();
        TrajectoryDialog trajectory(patient, store.visits(patient.id), &dialog);
        trajectory.show();
        trajectory.repaint();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        if (visits->rowCount() != kLongTrajectory)
            state.SkipWithError("the patient with 100 visits was not selected");
    }
}

} // namespace

BENCHMARK(dialogOpenedWithListShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(searchKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(wholeListScrolled)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(longTrajectoryShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    return runOffscreenBenchmarks(argc, argv);
}
