// The records dialog on a generated base of 10,000 patients and 100,000 visits, on the offscreen
// platform: the dialog opened until its list is painted, one keystroke of the search until the
// list is painted again, and a patient with 100 visits selected until their visits are listed
// and their trajectory dialog (alerts, charts, sheet) is painted. Run with
// --benchmark_repetitions for medians.
#include "OffscreenBenchmarkMain.h"
#include "PatientListModel.h"
#include "PatientStore.h"
#include "RecordsDialog.h"
#include "TrajectoryDialog.h"
#include "VisitRecords.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <memory>

namespace {

using namespace vimora::records;

constexpr int kPatients = 10000;
constexpr int kLongTrajectory = 100; ///< the visits of the first patient

// Patient 0 has 100 visits, patients 1 to 10 one each, the others ten: 100,000 in all.
int visitsOf(int patient) {
    if (patient == 0)
        return kLongTrajectory;
    return patient <= 10 ? 1 : 10;
}

PatientStore& generatedStore() {
    static QTemporaryDir folder;
    static std::unique_ptr<PatientStore> store = [] {
        auto opened = openStore(folder.filePath(QStringLiteral("dossiers.sqlite")));
        const std::array<const char*, 10> noms{"Martin",  "Bernard", "Dubois", "Lefèvre",  "Moreau",
                                               "Laurent", "Girard",  "Roux",   "Fournier", "Mercier"};
        const std::array<const char*, 10> prenoms{"Éloïse", "Jean", "Chloé",   "Léo",   "Inès",
                                                  "Noé",    "Zoé",  "Raphaël", "Anaïs", "Gaël"};
        std::vector<PatientVisits> batch;
        batch.reserve(kPatients);
        int visits = 0;
        for (int p = 0; p < kPatients; ++p) {
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
        }
        opened->addAll(batch);
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
BENCHMARK(longTrajectoryShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    return runOffscreenBenchmarks(argc, argv);
}
