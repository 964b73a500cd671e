#include "fit/measuring/sweep.hpp"

#include <algorithm>
#include <cmath>

#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"

namespace reduz::fit {

namespace {

// Adds to `lengths` (n by n, from-class major) the overlaps of every run with every run moved
// back by `shift`: a run [q0, q1) is the partner of the positions [q0 - shift, q1 - shift).
// Both lists are the same sorted, disjoint runs, so one merge of them finds every overlap.
void addShiftedOverlaps(const std::vector<Run>& runs, double shift, std::size_t n, double* lengths) {
    const std::size_t count = runs.size();
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < count && j < count) {
        const Run& here = runs[i];
        const Run& there = runs[j];
        const double thereFrom = there.from - shift;
        const double thereTo = there.to - shift;
        const double low = std::max(here.from, thereFrom);
        const double high = std::min(here.to, thereTo);
        if (high > low) {
            lengths[static_cast<std::size_t>(here.code) * n + static_cast<std::size_t>(there.code)] += high - low;
        }
        if (here.to < thereTo) {
            ++i;
        } else {
            ++j;
        }
    }
}

void summariseClasses(const Logs& logs, Measurement& m) {
    m.classes.resize(logs.classes.size());
    for (std::size_t c = 0; c < logs.classes.size(); ++c) m.classes[c].name = logs.classes[c];
    for (const Hole& hole : logs.holes) {
        for (const Run& run : hole.runs) {
            ClassSummary& summary = m.classes[static_cast<std::size_t>(run.code)];
            summary.length += run.to - run.from;
            ++summary.runs;
        }
    }
    for (const ClassSummary& summary : m.classes) m.loggedLength += summary.length;
    for (ClassSummary& summary : m.classes) {
        summary.proportion = summary.length / m.loggedLength;
        summary.meanLength = summary.length / static_cast<double>(summary.runs);
    }
}

}  // namespace

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

std::size_t pairTableSize(std::size_t classes, int maxLag) {
    return (static_cast<std::size_t>(maxLag) + 1) * classes * classes;
}

Measurement measureTransiograms(const Logs& logs, const LagGrid& grid, const ProgressFn& progress) {
    Measurement m;
    m.step = grid.step;
    m.maxLag = grid.maxLag;
    m.backward = grid.backward;
    m.holes = static_cast<long long>(logs.holes.size());
    m.intervals = logs.intervals;
    summariseClasses(logs, m);

    const std::size_t n = logs.classes.size();
    m.pairLengths.assign(pairTableSize(n, grid.maxLag), 0.0);
    long long total = 0;
    for (const Hole& hole : logs.holes) total += static_cast<long long>(hole.runs.size());
    long long done = 0;
    for (const Hole& hole : logs.holes) {
        if (hole.runs.empty()) continue;
        // No position of the hole has a partner in it at its whole span or beyond.
        const double span = hole.runs.back().to - hole.runs.front().from;
        for (int lag = 0; lag <= grid.maxLag; ++lag) {
            const double h = lagDistance(m, lag);
            if (h >= span) break;
            addShiftedOverlaps(hole.runs, grid.backward ? -h : h, n,
                               m.pairLengths.data() + static_cast<std::size_t>(lag) * n * n);
        }
        done += static_cast<long long>(hole.runs.size());
        if (progress) progress(done, total);
    }

    m.supports.assign((static_cast<std::size_t>(grid.maxLag) + 1) * n, 0.0);
    for (int lag = 0; lag <= grid.maxLag; ++lag) {
        for (std::size_t i = 0; i < n; ++i) {
            double sum = 0;
            for (std::size_t j = 0; j < n; ++j) sum += pairLength(m, lag, static_cast<int>(i), static_cast<int>(j));
            m.supports[static_cast<std::size_t>(lag) * n + i] = sum;
        }
    }
    return m;
}

}  // namespace reduz::fit
