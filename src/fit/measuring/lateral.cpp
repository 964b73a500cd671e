#include "fit/measuring/lateral.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "fit/base/failures.hpp"
#include "fit/measuring/pair_search.hpp"
#include "fit/measuring/run_pairs.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {

namespace {

// A hole's runs as elevations in ticks, [from, to) with from below to, the lowest first.
std::vector<TickRun> elevationsOf(const Hole& hole, int tick) {
    const std::int64_t collar = tickOf(hole.collar->elevation, tick);
    std::vector<TickRun> runs;
    runs.reserve(hole.runs.size());
    for (auto run = hole.runs.rbegin(); run != hole.runs.rend(); ++run) {
        runs.push_back(TickRun{collar - tickOf(run->to, tick), collar - tickOf(run->from, tick), run->code});
    }
    return runs;
}

// The elevations' doubles must be close enough for the lags, as a hole's depths are.
void checkElevations(const Logs& logs, const PointLags& lags, std::string_view file) {
    Points places;
    for (const Hole& hole : logs.holes) {
        const double top = hole.collar->elevation - hole.runs.front().from;
        const double bottom = hole.collar->elevation - hole.runs.back().to;
        places.points.push_back(Point{hole.collar->x, hole.collar->y, std::max(std::fabs(top), std::fabs(bottom)), 0});
        places.points.push_back(Point{0, 0, hole.collar->elevation, 0});
    }
    checkPointPrecision(places, lags, file);
}

// Adds the lengths of elevation where `a` is logged one class and `b` another to the lag's L_ij.
void addOverlaps(std::vector<std::uint64_t>& counts, std::size_t n, int lag, const std::vector<TickRun>& a,
                 const std::vector<TickRun>& b) {
    std::uint64_t* table = &counts[static_cast<std::size_t>(lag) * n * n];
    for (std::size_t p = 0, q = 0; p < a.size() && q < b.size();) {
        const std::int64_t low = std::max(a[p].from, b[q].from), high = std::min(a[p].to, b[q].to);
        if (high > low) {
            table[static_cast<std::size_t>(a[p].code) * n + static_cast<std::size_t>(b[q].code)] +=
                static_cast<std::uint64_t>(high - low);
        }
        if (a[p].to < b[q].to) {
            ++p;
        } else {
            ++q;
        }
    }
}

}  // namespace

LateralMeasurement measureLateral(const Logs& logs, const PointLags& lags, std::string_view file,
                                  const ProgressFn& progress) {
    for (const Hole& hole : logs.holes) {
        if (!hole.collar) failInput(file, 0, 0, hole.name + " has no collar");
    }
    checkLagPrecision(logs, lags.step, file);
    checkElevations(logs, lags, file);

    LateralMeasurement result{measurementOfHoles(logs, lags.step, lags.maxLag), 0};
    Measurement& m = result.measurement;
    const int tick = tickExponent(lags.step);

    const std::size_t n = logs.classes.size();
    std::vector<std::uint64_t> counts(pairTableSize(n, lags.maxLag), 0);
    std::vector<std::vector<TickRun>> elevations;
    std::vector<Point> collars;
    for (std::size_t h = 0; h < logs.holes.size(); ++h) {
        const Hole& hole = logs.holes[h];
        elevations.push_back(elevationsOf(hole, tick));
        collars.push_back(Point{hole.collar->x, hole.collar->y, 0, static_cast<int>(h)});
        for (const TickRun& run : elevations.back()) {
            counts[static_cast<std::size_t>(run.code) * n + static_cast<std::size_t>(run.code)] +=
                static_cast<std::uint64_t>(run.to - run.from);
        }
    }
    const PairLags pairs = pairLags(lags);
    const auto add = [&](int lag, int a, int b) {
        addOverlaps(counts, n, lag, elevations[static_cast<std::size_t>(a)], elevations[static_cast<std::size_t>(b)]);
    };
    forEachPairInReach<2>(
        placeCells(collars, std::sqrt(pairs.outer), 2),
        [&](const double* v, double squared, int a, int b) {
            if (!placePair(pairs, v, squared, a, b, add)) ++result.tooClose;
        },
        progress);
    if (!lags.cone) addMirror(counts, n, lags.maxLag);

    std::vector<std::int64_t> ticks(counts.size());
    for (std::size_t v = 0; v < counts.size(); ++v) {
        // A sum past 2^53 ticks is no longer an exact double.
        if (counts[v] >= static_cast<std::uint64_t>(mostTicks)) {
            failInput(file, 0, 0, "the holes' pairs add up to lengths beyond what can be added exactly");
        }
        ticks[v] = static_cast<std::int64_t>(counts[v]);
    }
    fillLengths(m, ticks, tick);
    return result;
}

}  // namespace reduz::fit
