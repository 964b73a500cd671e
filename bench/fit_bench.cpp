// What `reduzfit measure` spends its time on, over the size: 100,000 intervals in 2,000
// holes of 6 classes (no two neighbours of one class, so every interval is a run of its own),
// measured at 200 lags spanning a whole hole. The sweep alone, reading the CSV, and the whole
// measurement in-process from CSV text to the two files' text. Then `reduzfit fit` over what
// that measures: 36 pairs at 200 lags, every candidate shape of each pair (8 auto, 11 cross),
// on one thread and on one a core, with the shape evaluations it made. And the table of a
// semi-Markov chain of 6 classes (means near 1, shapes 1 to 6) to distances of 50.
//
//   build/bench/fit_bench [--benchmark_filter=REGEX]
//   build/bench/fit_bench --write-logs=FILE      writes the logs as CSV and stops, for timing
//                                                whole runs of the program over them

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fit/base/number_text.hpp"
#include "fit/commands/fit_command.hpp"
#include "fit/fitting/pair_fits.hpp"
#include "fit/fitting/semi_markov.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/measured_csv.hpp"
#include "fit/measuring/sweep.hpp"

namespace {

constexpr int holes = 2000;
constexpr int intervalsPerHole = 50;
constexpr int classes = 6;
constexpr reduz::fit::LagGrid lags{0.25, 200, false};  // lag 200 is 50, about a hole's length

// Lengths of 0.1 to 1.9 (mean 1) rounded to centimetres, as logs give them.
std::string benchLogs() {
    std::mt19937_64 bits(14);
    std::string csv = "hole,from,to,class\n";
    for (int h = 0; h < holes; ++h) {
        long long at = 0;
        std::uint64_t previous = classes;
        for (int i = 0; i < intervalsPerHole; ++i) {
            const long long next = at + 10 + static_cast<long long>(bits() % 181);
            std::uint64_t code = bits() % (classes - 1);
            if (code >= previous) ++code;
            previous = code;
            for (const std::string& field : {"BH" + std::to_string(h), reduz::fit::shortest(static_cast<double>(at) / 100),
                                             reduz::fit::shortest(static_cast<double>(next) / 100)}) {
                csv += field;
                csv += ',';
            }
            csv += "class";
            csv += static_cast<char>('A' + code);
            csv += '\n';
            at = next;
        }
    }
    return csv;
}

const std::string& logsText() {
    static const std::string text = benchLogs();
    return text;
}

reduz::fit::Logs readLogs() { return reduz::fit::readIntervalLogs(logsText(), "bench.csv", reduz::fit::ColumnNames{}); }

void sweep(benchmark::State& state) {
    const reduz::fit::Logs logs = readLogs();
    for (auto _ : state) {
        const reduz::fit::Measurement m = reduz::fit::measureTransiograms(logs, lags);
        benchmark::DoNotOptimize(m.pairLengths.data());
    }
    state.SetItemsProcessed(state.iterations() * holes * intervalsPerHole * (lags.maxLag + 1));
}

void readCsv(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(readLogs().holes.data());
    state.SetItemsProcessed(state.iterations() * holes * intervalsPerHole);
}

void textToText(benchmark::State& state) {
    for (auto _ : state) {
        const reduz::fit::Measurement m = reduz::fit::measureTransiograms(readLogs(), lags);
        benchmark::DoNotOptimize(reduz::fit::measuredCsv(m).size() + reduz::fit::classesCsv(m).size());
    }
}

void fitAll(benchmark::State& state) {
    const reduz::fit::MeasuredCurves curves = reduz::fit::curvesOf(reduz::fit::measureTransiograms(readLogs(), lags));
    reduz::fit::FitOptions options;
    options.threads = static_cast<unsigned>(state.range(0));
    long long evaluations = 0;
    for (auto _ : state) evaluations = reduz::fit::fitPairs(curves, options).evaluations;
    state.counters["evaluations"] = static_cast<double>(evaluations);
    state.counters["pairs"] = static_cast<double>(curves.classes.size() * curves.classes.size());
}

void semiMarkovTable(benchmark::State& state) {
    std::vector<double> embedded(classes * classes, 1.0 / (classes - 1)), shapes, means;
    for (int i = 0; i < classes; ++i) {
        embedded[static_cast<std::size_t>(i * classes + i)] = 0;
        shapes.push_back(1 + i);
        means.push_back(0.8 + 0.1 * i);
    }
    int cells = 0;
    for (auto _ : state) cells = reduz::fit::semiMarkovOf(classes, embedded, shapes, means, 50, 0.25).cells;
    state.counters["cells"] = cells;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr std::string_view writeLogs = "--write-logs=";
    if (argc == 2 && std::string_view(argv[1]).substr(0, writeLogs.size()) == writeLogs) {
        std::FILE* out = std::fopen(argv[1] + writeLogs.size(), "wb");
        const std::string& text = logsText();
        const bool written = out != nullptr && std::fwrite(text.data(), 1, text.size(), out) == text.size();
        return out != nullptr && std::fclose(out) == 0 && written ? 0 : 1;
    }
    benchmark::RegisterBenchmark("measureTransiograms/100k-intervals-200-lags", sweep)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("readIntervalLogs/100k-intervals", readCsv)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("measure/csv-text-to-csv-text", textToText)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("fitPairs/36-pairs-200-lags/threads", fitAll)
        ->Arg(1)
        ->Arg(2)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("semiMarkovOf/6-classes-to-50", semiMarkovTable)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
