// The batch command on a large, realistic patient list: rows per second and peak memory of the
// real executable, and the share of its parts (reading, assessing, writing) in-process.

#include "cli/BatchAssessment.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vimora::cli;
using namespace vimora::csv;

// Comma as decimal separator, as a French spreadsheet writes it.
std::string decimal(double value, int decimals) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    std::string result(text.data());
    for (char& c : result)
        if (c == '.')
            c = ',';
    return result;
}

constexpr const char* kHeader = "sexe;age;poids;taille\r\n";

// Patients as a clinic or a school would export them: one in four a child (ages in quarter
// years, heights and weights growing with age), adults of 19 to 90 with weights of one decimal,
// now and then a sex written in full, a height typed with a full stop or an empty weight (rows
// the window would refuse).
class PatientGenerator {
public:
    explicit PatientGenerator(unsigned seed)
        : m_random(seed) {}

    void append(std::string& list, std::size_t rows) {
        for (std::size_t i = 0; i < rows; ++i)
            appendOne(list);
    }

private:
    void appendOne(std::string& list) {
        const bool male = unit() < 0.5;
        list += unit() < 0.9 ? (male ? "M" : "F") : (male ? "Masculin" : "Feminin");
        list += ';';
        double height = 0;
        if (unit() < 0.25) {
            const double age = std::floor(unit() * 72 + 1) / 4;
            height = 0.5 + std::min(age, 16.0) * 0.075 + normal() * 0.05;
            list += decimal(age, age == std::floor(age) ? 0 : 2);
        } else {
            height = (male ? 1.76 : 1.63) + normal() * 0.07;
            list += decimal(std::floor(19 + unit() * 72), 0);
        }
        const double weight = std::max(2.0, (21 + normal() * 4) * height * height);
        const double fault = unit();
        list += ';';
        if (fault >= 0.001)
            list += decimal(weight, unit() < 0.5 ? 0 : 1);
        list += ';';
        list += decimal(height, 2);
        if (fault < 0.002 && fault >= 0.001)
            list[list.size() - 3] = '.';
        list += "\r\n";
    }

    double unit() { return std::uniform_real_distribution<double>(0, 1)(m_random); }
    double normal() { return m_normal(m_random); }

    std::mt19937_64 m_random;
    std::normal_distribution<double> m_normal{0, 1};
};

std::string patientList(std::size_t rows, unsigned seed) {
    std::string list = kHeader;
    PatientGenerator(seed).append(list, rows);
    return list;
}

std::string temporaryDirectory() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

// Written in blocks, so that this process stays small: the peak memory measured for the
// command includes what its parent had when it was started.
void writePatientFile(const std::string& path, std::size_t rows, unsigned seed) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file != nullptr;
    PatientGenerator generator(seed);
    std::string block = kHeader;
    for (std::size_t done = 0; written && done < rows; done += 10'000) {
        generator.append(block, std::min<std::size_t>(10'000, rows - done));
        written = std::fwrite(block.data(), 1, block.size(), file) == block.size();
        block.clear();
    }
    if (file == nullptr || std::fclose(file) != 0 || !written) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

struct CommandRun {
    double seconds = 0;
    double cpuSeconds = 0; ///< user and system time: what the command cost on its one core
    long peakKiB = 0;
    int status = -1;
};

// Runs the command line with the file as standard input and /dev/null as output.
CommandRun runCommand(std::vector<std::string> command, const std::string& inputPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> arguments;
    arguments.reserve(command.size() + 1);
    for (std::string& argument : command)
        arguments.push_back(argument.data());
    arguments.push_back(nullptr);

    CommandRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, arguments[0], &actions, nullptr, arguments.data(), environ) != 0) {
        std::perror(arguments[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakKiB = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

void addRun(CommandRun& total, const CommandRun& run) {
    total.seconds += run.seconds;
    total.cpuSeconds += run.cpuSeconds;
    total.peakKiB = std::max(total.peakKiB, run.peakKiB);
}

// The whole command, as a user runs it, on one and on five million rows: the same peak
// memory for both shows that it does not grow with the input. Rows per CPU second tell the
// speed of one core when other work shares the machine. A naive script that only computes the
// index of each row runs alternately with it on the same file, for the ratio of their CPU times.
// VIMORA_ASSESS_BASELINE may name another build of the command (the code before a change): it
// then runs alternately too, and the ratios of their speeds are given.
void wholeCommand(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    const std::string path = temporaryDirectory() + "/vimora-assess-bench-" + std::to_string(rows) + ".csv";
    writePatientFile(path, rows, 1);
    const char* baseline = std::getenv("VIMORA_ASSESS_BASELINE");
    CommandRun total;
    CommandRun baselineTotal;
    CommandRun scriptTotal;
    for (auto _ : state) {
        if (baseline != nullptr)
            addRun(baselineTotal, runCommand({baseline}, path));
        const CommandRun script = runCommand({PYTHON_EXECUTABLE, NAIVE_SCRIPT_PATH}, path);
        if (script.status != 0)
            state.SkipWithError("the naive script failed");
        addRun(scriptTotal, script);
        const CommandRun run = runCommand({VIMORA_ASSESS_PATH}, path);
        state.SetIterationTime(run.seconds);
        addRun(total, run);
        if (run.status != 1) // the list holds a few rows the window refuses
            state.SkipWithError("unexpected exit status");
    }
    std::remove(path.c_str());
    const double allRows = double(rows) * double(state.iterations());
    state.counters["rows_per_s"] = benchmark::Counter(allRows / total.seconds);
    state.counters["rows_per_cpu_s"] = benchmark::Counter(allRows / total.cpuSeconds);
    state.counters["peak_MiB"] = benchmark::Counter(double(total.peakKiB) / 1024);
    state.counters["times_naive_script_cpu"] = benchmark::Counter(scriptTotal.cpuSeconds / total.cpuSeconds);
    if (baseline != nullptr) {
        state.counters["baseline_rows_per_cpu_s"] = benchmark::Counter(allRows / baselineTotal.cpuSeconds);
        state.counters["speedup"] = benchmark::Counter(baselineTotal.seconds / total.seconds);
        state.counters["speedup_cpu"] = benchmark::Counter(baselineTotal.cpuSeconds / total.cpuSeconds);
    }
}
BENCHMARK(wholeCommand)
    ->Arg(1'000'000)
    ->Arg(5'000'000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The cost of --oms: the command with and without it, alternately on the same file, and the ratio
// of their CPU times per row (at most 1.25).
void whoOption(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    const std::string path =
        temporaryDirectory() + "/vimora-assess-bench-oms-" + std::to_string(rows) + ".csv";
    writePatientFile(path, rows, 1);
    CommandRun plainTotal;
    CommandRun whoTotal;
    for (auto _ : state) {
        addRun(plainTotal, runCommand({VIMORA_ASSESS_PATH}, path));
        const CommandRun run = runCommand({VIMORA_ASSESS_PATH, "--oms"}, path);
        state.SetIterationTime(run.seconds);
        addRun(whoTotal, run);
        if (run.status != 1)
            state.SkipWithError("unexpected exit status");
    }
    std::remove(path.c_str());
    const double allRows = double(rows) * double(state.iterations());
    state.counters["rows_per_cpu_s"] = benchmark::Counter(allRows / whoTotal.cpuSeconds);
    state.counters["plain_rows_per_cpu_s"] = benchmark::Counter(allRows / plainTotal.cpuSeconds);
    state.counters["cost_per_row_vs_plain"] = benchmark::Counter(whoTotal.cpuSeconds / plainTotal.cpuSeconds);
    state.counters["peak_MiB"] = benchmark::Counter(double(whoTotal.peakKiB) / 1024);
}
BENCHMARK(whoOption)->Arg(1'000'000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The parts, in-process, on the same kind of list.
const std::string& sampleList() {
    static const std::string list = patientList(200'000, 2);
    return list;
}

CsvReader::ReadFunction memoryReader(const std::string& text) {
    return [&text, offset = std::size_t(0)](char* buffer, std::size_t size) mutable {
        const std::size_t count = std::min(size, text.size() - offset);
        std::copy_n(text.data() + offset, count, buffer);
        offset += count;
        return count;
    };
}

std::vector<std::array<std::string, 4>> sampleRows() {
    std::vector<std::array<std::string, 4>> rows;
    CsvReader reader(memoryReader(sampleList()));
    reader.next();
    while (reader.next()) {
        const auto fields = reader.fields();
        rows.push_back(
            {std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), std::string(fields[3])});
    }
    return rows;
}

void readingOnly(benchmark::State& state) {
    std::size_t rows = 0;
    for (auto _ : state) {
        CsvReader reader(memoryReader(sampleList()));
        while (reader.next())
            benchmark::DoNotOptimize(reader.fields().data());
        rows += 200'000;
    }
    state.SetItemsProcessed(std::int64_t(rows));
}
BENCHMARK(readingOnly)->Unit(benchmark::kMillisecond);

// Argument 1: with the WHO z-scores.
void assessingOnly(benchmark::State& state) {
    const auto rows = sampleRows();
    const BatchOptions options{.whoScores = state.range(0) == 1};
    std::size_t done = 0;
    RowOutcome outcome;
    for (auto _ : state) {
        const auto& row = rows[done++ % rows.size()];
        assessRow({row[0], row[1], row[2], row[3]}, outcome, options);
        benchmark::DoNotOptimize(outcome);
    }
    state.SetItemsProcessed(std::int64_t(done));
}
BENCHMARK(assessingOnly)->Arg(0)->Arg(1);

void writingOnly(benchmark::State& state) {
    const auto rows = sampleRows();
    std::vector<RowOutcome> outcomes(4096);
    for (std::size_t i = 0; i < outcomes.size(); ++i)
        assessRow({rows[i][0], rows[i][1], rows[i][2], rows[i][3]}, outcomes[i]);
    CsvWriter writer([](std::string_view bytes) { benchmark::DoNotOptimize(bytes.data()); });
    std::size_t done = 0;
    for (auto _ : state) {
        const std::size_t i = done++ % outcomes.size();
        writeRow(writer, {rows[i][0], rows[i][1], rows[i][2], rows[i][3]}, outcomes[i]);
    }
    writer.flush();
    state.SetItemsProcessed(std::int64_t(done));
}
BENCHMARK(writingOnly);

} // namespace

BENCHMARK_MAIN();
