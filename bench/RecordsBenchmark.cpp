// The patient records on a generated base of 10,000 patients and 100,000 visits, in a file on
// the disk of the build tree: the import of the whole base from CSV, its export, the queries of
// the records dialog (the patient list, one search keystroke, a patient's 100 visits and their
// alerts) and one visit durably saved.
#include "GeneratedRecords.h"
#include "records/PatientStore.h"
#include "records/RecordsTransfer.h"
#include "records/VisitRecords.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <memory>

namespace {

using namespace vimora::records;
using namespace vimora::records::bench;

const QByteArray& measures() {
    static const QByteArray csv = generatedMeasures();
    return csv;
}

void importInto(PatientStore& store) {
    QBuffer buffer;
    buffer.setData(measures());
    buffer.open(QIODevice::ReadOnly);
    importVisits(store, buffer);
}

// The generated base, imported once for all the benchmarks that read it.
class GeneratedBase {
public:
    GeneratedBase()
        : m_directory(QStringLiteral("records-bench-XXXXXX")) {
        m_store = openStore(m_directory.filePath(QStringLiteral("dossiers.sqlite")));
        importInto(*m_store);
    }
    PatientStore& store() { return *m_store; }
    QString path(const QString& name) const { return m_directory.filePath(name); }

    static GeneratedBase& instance() {
        static GeneratedBase base;
        return base;
    }

private:
    QTemporaryDir m_directory;
    std::unique_ptr<PatientStore> m_store;
};

void BM_Import100000Visits(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const QTemporaryDir directory(QStringLiteral("records-bench-XXXXXX"));
        const auto store = openStore(directory.filePath(QStringLiteral("dossiers.sqlite")));
        state.ResumeTiming();
        importInto(*store);
    }
}
BENCHMARK(BM_Import100000Visits)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_Export100000Visits(benchmark::State& state) {
    GeneratedBase& base = GeneratedBase::instance();
    for (auto _ : state)
        exportVisitsToFile(base.store(), base.path(QStringLiteral("export.csv")));
}
BENCHMARK(BM_Export100000Visits)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_PatientList(benchmark::State& state) {
    GeneratedBase& base = GeneratedBase::instance();
    for (auto _ : state)
        benchmark::DoNotOptimize(base.store().patients());
}
BENCHMARK(BM_PatientList)->Unit(benchmark::kMillisecond)->UseRealTime();

// One keystroke: the list already read, filtered on the typed text.
void BM_SearchKeystroke(benchmark::State& state) {
    const std::vector<PatientSummary> patients = GeneratedBase::instance().store().patients();
    const std::array<QString, 4> typed{QStringLiteral("l"), QStringLiteral("lef"),
                                       QStringLiteral("lefevre-12"), QStringLiteral("eloise")};
    std::size_t keystroke = 0;
    for (auto _ : state) {
        const QString& search = typed[keystroke++ % typed.size()];
        int shown = 0;
        for (const PatientSummary& summary : patients)
            shown += matches(summary, search) ? 1 : 0;
        benchmark::DoNotOptimize(shown);
    }
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PatientWith100VisitsAndAlerts(benchmark::State& state) {
    PatientStore& store = GeneratedBase::instance().store();
    const std::vector<PatientSummary> patients = store.patients();
    const qint64 longest = std::find_if(patients.begin(), patients.end(), [](const PatientSummary& s) {
                               return s.visitCount == kLongTrajectory;
                           })->patient.id;
    for (auto _ : state) {
        const std::vector<Visit> visits = store.visits(longest);
        benchmark::DoNotOptimize(alertsOf(visits));
    }
}
BENCHMARK(BM_PatientWith100VisitsAndAlerts)->Unit(benchmark::kMillisecond)->UseRealTime();

// One visit committed with synchronous=FULL: the journal synced to the disk before it returns.
void BM_SaveOneVisitDurably(benchmark::State& state) {
    PatientStore& store = GeneratedBase::instance().store();
    const Patient patient = store.patients().back().patient;
    Visit visit =
        assessMeasurement(patient, QDate::currentDate(), QStringLiteral("80"), QStringLiteral("1,75"));
    static int saved = 0;
    for (auto _ : state) {
        // A visit of its own each time: one identical to a stored visit is refused.
        visit.poids = QStringLiteral("80,%1").arg(++saved, 6, 10, QLatin1Char('0'));
        benchmark::DoNotOptimize(store.addVisit(visit));
    }
}
BENCHMARK(BM_SaveOneVisitDurably)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
