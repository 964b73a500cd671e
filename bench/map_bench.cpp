// A categorical map measured in each direction: 4000 x 4000 cells of 6 classes in patches
// (each cell takes the class above it, or the one to its left, or a new one), cells of 30, at
// 200 lags. East and west measure the rows as they are read, north and south the columns,
// keeping only the window of runs within reach; the bench shows each direction's time. With
// --write-map=FILE [SIDE] it writes the map as an ESRI ASCII grid and stops, for timing whole
// runs (and their peak memory) of the program.
//
//   build/bench/map_bench [--benchmark_filter=REGEX]
//   build/bench/map_bench --write-map=/tmp/map.asc 4000

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

#include "fit/commands/measure_command.hpp"
#include "fit/measuring/directions.hpp"

namespace {

std::string patchyMap(int side) {
    std::mt19937_64 bits(21);
    std::vector<int> above(static_cast<std::size_t>(side), 0), row(static_cast<std::size_t>(side), 0);
    std::string text = "ncols " + std::to_string(side);
    text += "\nnrows " + std::to_string(side);
    text += "\nxllcorner 0\nyllcorner 0\ncellsize 30\n";
    for (int r = 0; r < side; ++r) {
        for (int c = 0; c < side; ++c) {
            const std::uint64_t draw = bits() % 100;
            const int left = c > 0 ? row[static_cast<std::size_t>(c) - 1] : static_cast<int>(bits() % 6);
            row[static_cast<std::size_t>(c)] = r > 0 && draw < 60 ? above[static_cast<std::size_t>(c)] : draw < 90 ? left : static_cast<int>(bits() % 6);
            text += static_cast<char>('1' + row[static_cast<std::size_t>(c)]);
            text += c + 1 < side ? ' ' : '\n';
        }
        above.swap(row);
    }
    return text;
}

void measureMap(benchmark::State& state) {
    const std::string path = "/tmp/map_bench.asc";
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        const std::string text = patchyMap(4000);
        if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fclose(out) != 0) {
            state.SkipWithError("cannot write the map");
            return;
        }
    }
    reduz::fit::MeasureRequest request;
    request.input = path;
    request.step = 30;
    request.maxLag = 200;
    request.direction = static_cast<reduz::fit::Direction>(state.range(0));
    for (auto _ : state) {
        const reduz::fit::Measurement m = reduz::fit::measureInput(request).measurement;
        benchmark::DoNotOptimize(m.pairLengths.data());
    }
    state.SetLabel(std::string(reduz::fit::directionName(request.direction)));
    std::remove(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    constexpr std::string_view writeMap = "--write-map=";
    if (argc >= 2 && std::string_view(argv[1]).substr(0, writeMap.size()) == writeMap) {
        std::FILE* out = std::fopen(argv[1] + writeMap.size(), "wb");
        const std::string text = patchyMap(argc > 2 ? std::atoi(argv[2]) : 4000);
        const bool written = out != nullptr && std::fwrite(text.data(), 1, text.size(), out) == text.size();
        return out != nullptr && std::fclose(out) == 0 && written ? 0 : 1;
    }
    // east, west, north, south
    benchmark::RegisterBenchmark("measure/4000x4000-map-200-lags", measureMap)->DenseRange(2, 5)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
