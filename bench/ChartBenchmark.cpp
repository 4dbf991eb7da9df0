#include "OffscreenBenchmarkMain.h"
#include "app/charts/CorpulenceDialog.h"
#include "app/sheets/PatientSheet.h"
#include "app/window/_Vimora.h"
#include "help/loader/hh.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <memory>

// The chart dialog from its command to its chart painted, and the patient sheet written as a
// PDF, on the offscreen platform; a child's on the reference table's curves and on the WHO's. Run with
// --benchmark_repetitions for medians.
namespace {

std::unique_ptr<TfrmVimora> calculatedWindow(bool child) {
    static const vimora::help::HelpEngineLoader noHelpEngine{std::string()};
    auto window = std::make_unique<TfrmVimora>(noHelpEngine);
    window->show();
    if (child)
        window->findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->setChecked(true);
    const QStringList measures =
        child ? QStringList{"7,25", "30,99", "1,25"} : QStringList{"35", "80", "1,75"};
    const QStringList fields{"edAge", "edPoids", "edTaille"};
    for (int i = 0; i < 3; ++i)
        window->findChild<QLineEdit*>(fields[i])->setText(measures[i]);
    window->findChild<QPushButton*>(QStringLiteral("btnCalculer"))->click();
    return window;
}

// Closes the dialog once its chart has been painted, noting the time.
class PaintedWatch : public QObject {
public:
    explicit PaintedWatch(QElapsedTimer& clock)
        : m_clock(clock) {}
    qint64 elapsed = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint && elapsed == 0) {
            // After this paint event has been handled.
            QTimer::singleShot(0, this, [this] {
                elapsed = m_clock.nsecsElapsed();
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    dialog->accept();
            });
        }
        return false;
    }

private:
    QElapsedTimer& m_clock;
};

// Chooses the curves in the dialog once, outside the timing: the choice is remembered.
void chooseCurves(QAction& command, vimora::chart::Curves curves) {
    QTimer::singleShot(0, [curves] {
        QWidget* dialog = QApplication::activeModalWidget();
        dialog->findChild<QComboBox*>(QStringLiteral("cbCurves"))
            ->setCurrentIndex(curves == vimora::chart::Curves::Who ? 1 : 0);
        qobject_cast<QDialog*>(dialog)->accept();
    });
    command.trigger();
}

void dialogShownAndPainted(benchmark::State& state, bool child, vimora::chart::Curves curves) {
    const std::unique_ptr<TfrmVimora> window = calculatedWindow(child);
    auto* command = window->findChild<QAction*>(QStringLiteral("Courbedecorpulence1"));
    if (child)
        chooseCurves(*command, curves);
    for (auto _ : state) {
        QElapsedTimer clock;
        PaintedWatch watch(clock);
        // The first event the dialog's own loop handles, before it paints.
        QTimer::singleShot(0, &watch, [&watch] {
            QApplication::activeModalWidget()
                ->findChild<QWidget*>(QStringLiteral("chartView"))
                ->installEventFilter(&watch);
        });
        clock.start();
        command->trigger();
        state.SetIterationTime(static_cast<double>(watch.elapsed) / 1e9);
    }
}

void pdfWritten(benchmark::State& state, bool child, vimora::chart::Curves curves) {
    const std::unique_ptr<TfrmVimora> window = calculatedWindow(child);
    const PatientSheet sheet(*window->lastCompleteCalculation(), QStringLiteral("Jeanne Martin"),
                             QStringLiteral("Contrôle"), QDateTime::currentDateTime(), curves);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("fiche.pdf"));
    for (auto _ : state) {
        QString error;
        if (!sheet.writePdf(path, &error))
            state.SkipWithError(qPrintable(error));
    }
}

} // namespace

using vimora::chart::Curves;

BENCHMARK_CAPTURE(dialogShownAndPainted, child, true, Curves::Reference)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(dialogShownAndPainted, child_who, true, Curves::Who)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(dialogShownAndPainted, adult, false, Curves::Reference)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(pdfWritten, child, true, Curves::Reference)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(pdfWritten, child_who, true, Curves::Who)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(pdfWritten, adult, false, Curves::Reference)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    return runOffscreenBenchmarks(argc, argv);
}
