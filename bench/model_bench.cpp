// What one valid model costs and how close it comes to the truth. With --goals, the table of
// mean absolute errors against known chains: logs drawn from a two-class and a three-class
// Markov chain and from semi-Markov beds, holes 50 long started stationary, measured down at
// lags of 0.25 to 40 and scored at lags 0 to 40, on 400, 20 and 10 holes, five seeds each; for
// each, the model the one-go command chooses on held-out holes, and each candidate alone.
// Without it, Google Benchmark
// times the whole choice the one-go command makes on six classes, 400 holes, 200 lags: reading
// the logs, measuring them and every fold, fitting every candidate on every fold and on all;
// then each family's candidates alone (/1 shapes, /2 Markov, /3 semi-Markov).
//
//   build/bench/model_bench --goals
//   build/bench/model_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fit/chain_logs.hpp"
#include "fit/fitting/family_choice.hpp"
#include "fit/known_truth.hpp"

namespace {

using namespace reduz::fit;
using reduz::testing::BedChain;
using reduz::testing::Chosen;
using reduz::testing::chosenFor;
using reduz::testing::meanError;

using Truth = std::function<double(int from, int to, double h)>;

struct KnownSet {
    const char* name;
    BedChain chain;
    Truth truth;
};

std::vector<double> flat(const std::vector<std::vector<double>>& rows) {
    std::vector<double> values;
    for (const auto& row : rows) values.insert(values.end(), row.begin(), row.end());
    return values;
}

KnownSet markovSet(const char* name, const std::vector<std::vector<double>>& q) {
    const int n = static_cast<int>(q.size());
    const MarkovRates truth = markovChainOf(n, flat(q));
    return {name, BedChain::markov(q),
            [truth, n](int i, int j, double h) { return transitionsAt(truth, h)[static_cast<std::size_t>(i * n + j)]; }};
}

std::string candidateName(const Candidate& c) {
    std::string name(familyName(c.family));
    name += " (";
    name += methodName(c.method);
    name += ")";
    return name;
}

void printGoals(int seeds) {
    std::vector<KnownSet> sets;
    sets.push_back(markovSet("two-class Markov", {{-0.2, 0.2}, {0.3, -0.3}}));
    sets.push_back(markovSet("three-class Markov", {{-0.40, 0.30, 0.10}, {0.05, -0.25, 0.20}, {0.35, 0.15, -0.50}}));
    {
        const std::vector<std::vector<double>> embedded = {{0, 0.7, 0.3}, {0.2, 0, 0.8}, {0.6, 0.4, 0}};
        const std::vector<double> means = {1.0, 2.0, 1.5};
        BedChain beds{embedded, means, 4};
        // The truth on a grid finer than any fit's, to the lags' end.
        const SemiMarkov truth = semiMarkovOnGrid(3, flat(embedded), {4, 4, 4}, means, 0.25 / 64, 64 * 40 + 64);
        sets.push_back({"semi-Markov", beds,
                        [truth](int i, int j, double h) { return semiMarkovAt(truth, h)[static_cast<std::size_t>(i * 3 + j)]; }});
    }
    std::printf("| set | holes | chosen | each candidate | chosen held-out / best held-out |\n|---|---:|---:|---|---:|\n");
    for (const KnownSet& set : sets) {
        for (const int holes : {400, 20, 10}) {
            double chosenError = 0, worstRatio = 0;
            std::vector<double> each;
            std::vector<std::string> names;
            for (std::uint64_t seed = 1; seed <= static_cast<std::uint64_t>(seeds); ++seed) {
                const Chosen c = chosenFor(set.chain.logs(seed, holes, 50), 0.25, 40);
                const Candidate& chosen = c.choice.candidates[static_cast<std::size_t>(c.choice.chosen)];
                chosenError += meanError(chosen.model, c.classes, set.truth) / seeds;
                double best = HUGE_VAL;
                each.resize(c.choice.candidates.size(), 0.0);
                names.clear();
                for (std::size_t k = 0; k < c.choice.candidates.size(); ++k) {
                    each[k] += meanError(c.choice.candidates[k].model, c.classes, set.truth) / seeds;
                    names.push_back(candidateName(c.choice.candidates[k]));
                    best = std::min(best, *c.choice.candidates[k].heldOutError);
                }
                worstRatio = std::max(worstRatio, *chosen.heldOutError / best);
            }
            std::string candidates;
            for (std::size_t k = 0; k < each.size(); ++k) {
                char text[96];
                std::snprintf(text, sizeof text, "%s%s %.4f", k ? ", " : "", names[k].c_str(), each[k]);
                candidates += text;
            }
            std::printf("| %s | %d | %.4f | %s | %.3f |\n", set.name, holes, chosenError, candidates.c_str(), worstRatio);
        }
    }
}

// Six classes leaving at 0.5 to 1 a unit, each passing to the others alike.
std::string sixClassLogs() {
    std::vector<std::vector<double>> q(6, std::vector<double>(6, 0.0));
    for (int i = 0; i < 6; ++i) {
        const double leaving = 0.5 + 0.1 * i;
        for (int j = 0; j < 6; ++j) q[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = i == j ? -leaving : leaving / 5;
    }
    return BedChain::markov(q).logs(3, 400, 50);
}

// Every candidate (0), or one family's: 1 shapes, 2 Markov, 3 semi-Markov.
void measureAndChoose(benchmark::State& state) {
    const std::string csv = sixClassLogs();
    ChoiceOptions options;
    if (state.range(0) > 0) options.family = static_cast<Family>(state.range(0) - 1);
    for (auto _ : state) {
        const Chosen c = chosenFor(csv, 0.25, 200, options);
        benchmark::DoNotOptimize(c.choice.chosen);
    }
}
BENCHMARK(measureAndChoose)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    for (int a = 1; a < argc; ++a) {
        // --goals over seeds 1 to 5, as the goals are set; --goals=N over seeds 1 to N.
        if (std::strncmp(argv[a], "--goals", 7) == 0) {
            printGoals(argv[a][7] == '=' ? std::atoi(argv[a] + 8) : 5);
            return 0;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
