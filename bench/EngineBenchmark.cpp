#include "engine/Assessment.h"

#include <benchmark/benchmark.h>

// One complete assessment: parse, index, bounds, band, texts and summary line.
static void completeAssessment(benchmark::State& state, vimora::Sex sex, const char* age, const char* weight,
                               const char* height) {
    for (auto _ : state) {
        vimora::Calculation calculation = vimora::calculate(sex, {age, weight, height}, ',');
        benchmark::DoNotOptimize(calculation);
    }
}

BENCHMARK_CAPTURE(completeAssessment, adult_overweight, vimora::Sex::Male, "35", "80", "1,75");
BENCHMARK_CAPTURE(completeAssessment, child_between_rows, vimora::Sex::Female, "15,6", "52", "1,62");
BENCHMARK_CAPTURE(completeAssessment, long_decimals, vimora::Sex::Female, "35,000", "080,5", "1,805");

BENCHMARK_MAIN();
