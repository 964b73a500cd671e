#pragma once
// Exact measured lengths from pairs of runs. Every position is taken as a whole number of ticks,
// a tick being the power of 10 between a 10^5th and a 10^6th of the step, and each lag as the
// whole number of ticks nearest k step; so every overlap of a run with a run moved by a lag is a
// whole number of ticks, and so is every sum of them. The lengths L_ij come out the same
// whatever the order the runs are added in: holes measured in parts add up to the whole, and a
// map measured by rows or by columns, streamed or whole, bit for bit. A decimal tick keeps the
// lengths of decimal depths as they are written: 1.3 m of sand is 1.3, not 1.3000000000000003.
//
// The run A = [a0, a1) of class i and a later run B = [b0, b1) of class j (or A itself) give
// the positions z of A whose partner z + s lies in B the length
//   f(s) = R(s - (b0 - a1)) - R(s - (b0 - a0)) - R(s - (b1 - a1)) + R(s - (b1 - a0)),
// R(x) = max(0, x): a trapezoid in the shift s. A ramp R(s - t) at the lags s_k is s_k - t from
// the first lag beyond t on; so each pair costs four such entries, whatever the lags it spans,
// and L_ij(k) = s_k C(k) - S(k), C and S the running sums of the ramps' signs and signed t.
//
//   step 1, lags 0..3, one hole: sand [0, 2) then clay [2, 5), ticks of 10^-5:
//     addHole(t, {{0, 2 T, sand}, {2 T, 5 T, clay}}), T = 100000
//     lengthsOf(t) at lag 1: sand->sand 1, sand->clay 1, clay->clay 2

#include <cstdint>
#include <span>
#include <vector>

namespace reduz::fit {

// The tick of lags of `step` is 10^tickExponent(step):
//   tickExponent(0.5) -> -6       tickExponent(1) -> -5       tickExponent(30) -> -4
int tickExponent(double step);

// The tick nearest a position:  tickOf(0.75, -6) -> 750000
std::int64_t tickOf(double position, int exponent);

// A length of whole ticks, as the double nearest ticks x 10^exponent:
//   lengthOfTicks(13, -1) -> 1.3
double lengthOfTicks(std::int64_t ticks, int exponent);

// The most ticks a length may hold: below 2^53 every whole number of them is an exact double.
inline constexpr std::int64_t mostTicks = std::int64_t{1} << 53;

struct TickRun {
    std::int64_t from = 0;  // [from, to) in ticks
    std::int64_t to = 0;
    int code = 0;           // the class's index
};

// The ramps of every pair of classes at lags 0..maxLag; the classes may grow as they appear.
struct PairTally {
    int maxLag = 0;
    int classes = 0;
    std::vector<std::int64_t> shifts;  // s_k in ticks, k = 0..maxLag
    std::int64_t perLag = 0;           // s_1 where every s_k is k s_1, which finds a ramp's lag by a division; else 0
    // [(i * classes + j) * (maxLag + 1) + k]: the signs and the signed t of the ramps that
    // start at lag k; kept modulo 2^64, as each length they give is well within it
    std::vector<std::uint64_t> starts, offsets;
};

PairTally pairTally(int classes, int maxLag, double step, int exponent);

// Makes room for classes 0..count-1, keeping what is tallied.
void growClasses(PairTally& tally, int count);

// Adds the positions of `earlier` whose partner, later along the hole by a lag, lies in
// `later`; `later` may be `earlier` itself, and must not lie before it.
void addRunPair(PairTally& tally, const TickRun& earlier, const TickRun& later);

// Adds every pair of a hole's runs (sorted, disjoint) within the farthest lag of each other.
void addHole(PairTally& tally, std::span<const TickRun> runs);

// The runs of one hole as they come, each paired with the earlier ones still within the
// farthest lag: a map's column read row by row keeps only that window of it.
struct OpenHole {
    std::vector<TickRun> window;  // in order along the hole
};

// Adds `run`, which must start at or after the end of the hole's last run, and pairs it.
void addRun(PairTally& tally, OpenHole& hole, const TickRun& run);

// L_ij at lag k in ticks, [(k * classes + i) * classes + j]: forward, the partner at z + h; or
// backward, at z - h, which is L_ji forward.
std::vector<std::int64_t> tickLengthsOf(const PairTally& tally, bool backward);

}  // namespace reduz::fit
