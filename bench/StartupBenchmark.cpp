#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Start-up of the program against a bare Qt window: each is started, shown on the offscreen
// platform and closed once idle, many times in alternation; medians of wall time and of peak
// resident memory are compared.
namespace {

struct Run {
    double milliseconds;
    long peakKilobytes;
};

Run runOnce(const char* program) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        // The toolkit's notes about the offscreen platform would drown the figures.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto stop = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", program, status);
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(stop - start).count(), usage.ru_maxrss};
}

template <typename T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PROGRAM BARE_WINDOW\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("VIMORA_QUIT_AFTER_START", "1", 1);
    constexpr int kRuns = 21;
    std::vector<double> programTimes;
    std::vector<double> bareTimes;
    std::vector<long> programMemory;
    std::vector<long> bareMemory;
    runOnce(argv[1]);
    runOnce(argv[2]);
    for (int i = 0; i < kRuns; ++i) {
        const Run program = runOnce(argv[1]);
        const Run bare = runOnce(argv[2]);
        programTimes.push_back(program.milliseconds);
        programMemory.push_back(program.peakKilobytes);
        bareTimes.push_back(bare.milliseconds);
        bareMemory.push_back(bare.peakKilobytes);
    }
    const double timeRatio = median(programTimes) / median(bareTimes);
    const double memoryRatio = double(median(programMemory)) / double(median(bareMemory));
    std::printf(
        "start-up to idle, median of %d: program %.1f ms, bare window %.1f ms, ratio %.2f (target <= 1.20)\n",
        kRuns, median(programTimes), median(bareTimes), timeRatio);
    std::printf(
        "peak memory, median of %d: program %ld KiB, bare window %ld KiB, ratio %.2f (target <= 1.20)\n",
        kRuns, median(programMemory), median(bareMemory), memoryRatio);
    return 0;
}
