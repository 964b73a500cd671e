// What `reduzfit measure` spends on scattered points: 100,000 points strewn evenly over a square
// of 1000 (a point to 10 square units, 3.2 apart on average) in 6 classes, measured at 50 lags
// of 2, the last reaching a tenth of the square's side: about 1.5e8 pairs within reach. The
// pairs counted in every direction and along a cone; the same points in a slab 100 thick; lags
// of 0.05, which reach few pairs, for what the cells cost alone; reading the points' CSV.
//
//   build/bench/points_bench [--benchmark_filter=REGEX]
//   build/bench/points_bench --write-points=FILE   writes the points as CSV and stops, for
//                                                  timing whole runs of the program over them

#include <benchmark/benchmark.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "fit/base/number_text.hpp"
#include "fit/measuring/point_csv.hpp"
#include "fit/measuring/points.hpp"

namespace {

constexpr int points = 100'000;
constexpr int classes = 6;
constexpr double side = 1000;

// Coordinates rounded to centimetres, as a survey gives them.
std::string benchPoints() {
    std::mt19937_64 bits(15);
    std::uniform_int_distribution<long long> along(0, static_cast<long long>(side * 100));
    std::string csv = "x,y,class\n";
    for (int p = 0; p < points; ++p) {
        for (int axis = 0; axis < 2; ++axis) {
            csv += reduz::fit::shortest(static_cast<double>(along(bits)) / 100);
            csv += ',';
        }
        csv += "class";
        csv += static_cast<char>('A' + bits() % classes);
        csv += '\n';
    }
    return csv;
}

const std::string& pointsText() {
    static const std::string text = benchPoints();
    return text;
}

reduz::fit::Points readPoints() { return reduz::fit::readPointCsv(pointsText(), "bench.csv", {}); }

// In space, z is strewn over 0 to 100 in centimetres.
void measure(benchmark::State& state, std::optional<reduz::fit::Cone> cone, double step = 2, bool space = false) {
    reduz::fit::Points read = readPoints();
    if (space) {
        read.hasZ = true;
        std::mt19937_64 bits(16);
        for (reduz::fit::Point& p : read.points) p.z = static_cast<double>(bits() % 10000) / 100;
    }
    const reduz::fit::PointLags lags{step, 50, cone};
    long long pairs = 0;
    for (auto _ : state) {
        const reduz::fit::PointMeasurement m = reduz::fit::measurePoints(read, lags);
        pairs = 0;
        for (std::size_t v = classes * classes; v < m.measurement.pairLengths.size(); ++v) {
            pairs += static_cast<long long>(m.measurement.pairLengths[v]);
        }
        benchmark::DoNotOptimize(m.measurement.pairLengths.data());
    }
    state.counters["ordered pairs counted"] = static_cast<double>(pairs);
}

void everyDirection(benchmark::State& state) { measure(state, std::nullopt); }

void alongCone(benchmark::State& state) { measure(state, reduz::fit::Cone{45, 22.5, {}}); }

void inSpace(benchmark::State& state) { measure(state, std::nullopt, 2, true); }

void fewPairs(benchmark::State& state) { measure(state, std::nullopt, 0.05); }

void readCsv(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(readPoints().points.data());
    state.SetItemsProcessed(state.iterations() * points);
}

}  // namespace

int main(int argc, char** argv) {
    constexpr std::string_view writePoints = "--write-points=";
    if (argc == 2 && std::string_view(argv[1]).substr(0, writePoints.size()) == writePoints) {
        std::FILE* out = std::fopen(argv[1] + writePoints.size(), "wb");
        const std::string& text = pointsText();
        const bool written = out != nullptr && std::fwrite(text.data(), 1, text.size(), out) == text.size();
        return out != nullptr && std::fclose(out) == 0 && written ? 0 : 1;
    }
    benchmark::RegisterBenchmark("measurePoints/100k-points-50-lags/every-direction", everyDirection)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("measurePoints/100k-points-50-lags/azimuth-45-tolerance-22.5", alongCone)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("measurePoints/100k-points-in-space-50-lags/every-direction", inSpace)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("measurePoints/100k-points-50-lags-of-0.05/every-direction", fewPairs)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("readPointCsv/100k-points", readCsv)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
