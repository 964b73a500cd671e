#pragma once
// Exact measured transiograms of the holes' runs: every pair of runs of a hole within the
// farthest lag of each other adds the lengths of its overlaps at every lag (run_pairs.hpp), in
// whole ticks of the step, so the result is the same whatever the order of the holes.
//
//   one hole, sand [0, 2) then clay [2, 5), step 1, lags 0..3, forward:
//     lag 0: L = sand->sand 2, clay->clay 3       lag 1: sand->sand 1, sand->clay 1, clay->clay 2
//     lag 2: sand->clay 2, clay->clay 1           lag 3: sand->clay 2 (clay has no support)
//   the same backward (z - h): L_ij backward equals L_ji forward.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "fit/measuring/logs.hpp"
#include "fit/measuring/measurement.hpp"

namespace reduz::fit {

// The lags measured: lag k stands at the distance k * step.
struct LagGrid {
    double step = 1;        // above 0
    int maxLag = 0;         // lags 0..maxLag
    bool backward = false;  // partners at z - h rather than z + h
};

// Called after each hole with the runs done so far and the runs of every hole.
using ProgressFn = std::function<void(long long done, long long total)>;

// The number of values of the table of L_ij: (maxLag + 1) * classes^2.
std::size_t pairTableSize(std::size_t classes, int maxLag);

// A table of L_ij above this many values is refused rather than left to exhaust memory: with
// measured.csv's row for each value, about 1 GiB in all.
inline constexpr std::size_t largestPairTable = std::size_t{1} << 24;

// Throws InputError (naming `file` and the hole) when the doubles where a hole lies are too far
// apart for lags of `step`: a position plus a lag would be rounded by more than a 2^-24 part of
// the step. Depths near 1e16 are 2 apart, and a step of 1 there would measure nothing right.
//   hole BH1 down to 1e16, step 1 -> "logs.csv: hole BH1: doubles at 1e+16 are 2 apart, too far
//                                     for lags of 1 (give the depths from the hole's top)"
void checkLagPrecision(const Logs& logs, double step, std::string_view file);

Measurement measureTransiograms(const Logs& logs, const LagGrid& grid, const ProgressFn& progress = {});

// A measurement of the holes at lags of `step` to maxLag, its pairs still to count: the holes,
// the intervals, and the names, lengths, runs, proportions and mean lengths of their classes,
// the lengths summed in ticks of the step: exact, as the pair lengths are.
Measurement measurementOfHoles(const Logs& logs, double step, int maxLag);

// The pair lengths and supports of m from L_ij in ticks of 10^tick ([(k * n + i) * n + j]).
void fillLengths(Measurement& m, const std::vector<std::int64_t>& ticks, int tick);

// The classes' lengths, the logged length, proportions and mean lengths of m from each class's
// ticks (its runs already counted); the total, in ticks.
std::int64_t fillClassLengths(Measurement& m, const std::vector<std::int64_t>& classTicks, int tick);

}  // namespace reduz::fit
