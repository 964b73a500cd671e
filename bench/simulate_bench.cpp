// Simulation: one realization of 1000 x 1000 cells of 4 classes on one core, drawn and then
// quenched as the command does them, and 20 of them on every core (each drawn whole by one
// thread), from a Markov chain of ranges of a few cells; the realizations measured again, as
// check.csv does; and one block of 100 x 100 x 100 cells from the same chain along z and x.

#include <benchmark/benchmark.h>

#include <vector>

#include "fit/base/parallel_tasks.hpp"
#include "fit/fitting/markov_rates.hpp"
#include "fit/simulating/mcrf.hpp"
#include "fit/simulating/quench.hpp"
#include "fit/simulating/realization_check.hpp"

namespace {

using namespace reduz::fit;

// Four classes leaving at 0.2 to 0.5 a cell, tabulated to 20 cells along each axis.
SimModel benchModel(bool block = false) {
    ValidModel model;
    model.family = Family::markov;
    model.classes = 4;
    model.step = 1;
    model.maxLag = 20;
    model.markov = markovChainOf(4, {-0.3, 0.1, 0.1, 0.1, 0.05, -0.2, 0.1, 0.05, 0.2, 0.2, -0.5, 0.1, 0.1, 0.1, 0.1, -0.3});
    return block ? simModel(model, model, model, 1, 1, 1) : simModel(model, model, 1, 1);
}

const SimGrid grid{1000, 1000, 1, 1, 1, 1, 0, 0, 0, ""};

std::vector<std::uint8_t> realization(const SimModel& model, const KnownCells& known, std::uint64_t seed, bool quenched) {
    std::vector<std::uint8_t> cells = simulateRealization(grid, model, known, seed);
    if (quenched) quenchRealization(grid, model, known, cells, seed, mapQuenching.lags, mapQuenching.sweeps);
    return cells;
}

void oneRealization(benchmark::State& state) {
    const SimModel model = benchModel();
    const KnownCells known(1000000, -1);
    for (auto _ : state) benchmark::DoNotOptimize(realization(model, known, 1, state.range(0) != 0).data());
    state.SetItemsProcessed(state.iterations() * 1000000);
}

void twentyRealizations(benchmark::State& state) {
    const SimModel model = benchModel();
    const KnownCells known(1000000, -1);
    for (auto _ : state) {
        std::vector<std::vector<std::uint8_t>> all(20);
        runTasks(20, 0, [&](int r) { all[static_cast<std::size_t>(r)] = realization(model, known, realizationSeed(1, r), true); });
        benchmark::DoNotOptimize(all.data());
    }
}

void checkTwenty(benchmark::State& state) {
    const SimModel model = benchModel();
    const KnownCells known(1000000, -1);
    std::vector<std::vector<std::uint8_t>> all(20);
    runTasks(20, 0, [&](int r) { all[static_cast<std::size_t>(r)] = simulateRealization(grid, model, known, realizationSeed(1, r)); });
    for (auto _ : state) benchmark::DoNotOptimize(checkRealizations(grid, model, all, 20).data());
}

void oneBlock(benchmark::State& state) {
    const SimModel model = benchModel(true);
    const SimGrid block{100, 100, 100, 1, 1, 1, 0, 0, 0, ""};
    const KnownCells known(1000000, -1);
    for (auto _ : state) {
        std::vector<std::uint8_t> cells = simulateRealization(block, model, known, 1);
        if (state.range(0) != 0) quenchRealization(block, model, known, cells, 1, blockQuenching.lags, blockQuenching.sweeps);
        benchmark::DoNotOptimize(cells.data());
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}

}  // namespace

// 0: drawn alone; 1: drawn and quenched
BENCHMARK(oneRealization)->Name("simulate/1000x1000-4-classes/one-core")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(twentyRealizations)->Name("simulate/1000x1000-4-classes/20-realizations-every-core")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(oneBlock)->Name("simulate/100x100x100-4-classes/one-core")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(checkTwenty)->Name("check/1000x1000-20-realizations-20-lags")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
