#include "fit/measuring/sweep.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"
#include "fit/measuring/run_pairs.hpp"

namespace reduz::fit {

void checkLagPrecision(const Logs& logs, double step, std::string_view file) {
    for (const Hole& hole : logs.holes) {
        if (hole.runs.empty()) continue;
        const double farthest = std::max(std::fabs(hole.runs.front().from), std::fabs(hole.runs.back().to));
        const double spacing = std::nextafter(farthest, HUGE_VAL) - farthest;
        if (!(spacing <= std::ldexp(step, -24))) {
            failInput(file, 0, 0,
                      hole.name + ": doubles at " + shortest(farthest) + " are " + shortest(spacing) +
                          " apart, too far for lags of " + shortest(step) + " (give the depths from the hole's top)");
        }
    }
}

Measurement measurementOfHoles(const Logs& logs, double step, int maxLag) {
    Measurement m;
    m.step = step;
    m.maxLag = maxLag;
    m.holes = static_cast<long long>(logs.holes.size());
    m.intervals = logs.intervals;
    const int tick = tickExponent(step);
    m.classes.resize(logs.classes.size());
    for (std::size_t c = 0; c < logs.classes.size(); ++c) m.classes[c].name = logs.classes[c];
    std::vector<std::int64_t> ticks(logs.classes.size(), 0);
    for (const Hole& hole : logs.holes) {
        for (const Run& run : hole.runs) {
            ticks[static_cast<std::size_t>(run.code)] += tickOf(run.to, tick) - tickOf(run.from, tick);
            ++m.classes[static_cast<std::size_t>(run.code)].runs;
        }
    }
    fillClassLengths(m, ticks, tick);
    return m;
}

std::size_t pairTableSize(std::size_t classes, int maxLag) {
    return (static_cast<std::size_t>(maxLag) + 1) * classes * classes;
}

Measurement measureTransiograms(const Logs& logs, const LagGrid& grid, const ProgressFn& progress) {
    Measurement m = measurementOfHoles(logs, grid.step, grid.maxLag);
    m.backward = grid.backward;
    const int tick = tickExponent(grid.step);

    const int n = static_cast<int>(logs.classes.size());
    PairTally tally = pairTally(n, grid.maxLag, grid.step, tick);
    long long total = 0;
    for (const Hole& hole : logs.holes) total += static_cast<long long>(hole.runs.size());
    long long done = 0;
    std::vector<TickRun> runs;
    for (const Hole& hole : logs.holes) {
        runs.clear();
        for (const Run& run : hole.runs) runs.push_back(TickRun{tickOf(run.from, tick), tickOf(run.to, tick), run.code});
        addHole(tally, runs);
        done += static_cast<long long>(hole.runs.size());
        if (progress) progress(done, total);
    }
    fillLengths(m, tickLengthsOf(tally, grid.backward), tick);
    return m;
}

std::int64_t fillClassLengths(Measurement& m, const std::vector<std::int64_t>& classTicks, int tick) {
    std::int64_t total = 0;
    for (std::size_t c = 0; c < classTicks.size(); ++c) {
        m.classes[c].length = lengthOfTicks(classTicks[c], tick);
        total += classTicks[c];
    }
    m.loggedLength = lengthOfTicks(total, tick);
    for (ClassSummary& summary : m.classes) {
        summary.proportion = summary.length / m.loggedLength;
        summary.meanLength = summary.length / static_cast<double>(summary.runs);
    }
    return total;
}

void fillLengths(Measurement& m, const std::vector<std::int64_t>& ticks, int tick) {
    const std::size_t n = m.classes.size();
    m.pairLengths.resize(ticks.size());
    for (std::size_t v = 0; v < ticks.size(); ++v) m.pairLengths[v] = lengthOfTicks(ticks[v], tick);
    m.supports.assign((static_cast<std::size_t>(m.maxLag) + 1) * n, 0.0);
    for (std::size_t k = 0; k <= static_cast<std::size_t>(m.maxLag); ++k) {
        for (std::size_t i = 0; i < n; ++i) {
            std::int64_t sum = 0;
            for (std::size_t j = 0; j < n; ++j) sum += ticks[(k * n + i) * n + j];
            m.supports[k * n + i] = lengthOfTicks(sum, tick);
        }
    }
}

}  // namespace reduz::fit
