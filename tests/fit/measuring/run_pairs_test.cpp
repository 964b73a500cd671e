// The ramps of run pairs against overlaps taken lag by lag, and the same lengths whether a
// hole's runs come whole, one by one, or split among tallies added afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "fit/measuring/run_pairs.hpp"

namespace reduz::fit {
namespace {

// L_ij in ticks at each lag by overlapping every run with every run moved back by the lag.
std::vector<std::int64_t> overlapsLagByLag(const std::vector<TickRun>& runs, const PairTally& t) {
    const std::size_t n = static_cast<std::size_t>(t.classes);
    std::vector<std::int64_t> lengths((static_cast<std::size_t>(t.maxLag) + 1) * n * n, 0);
    for (int k = 0; k <= t.maxLag; ++k) {
        const std::int64_t s = t.shifts[static_cast<std::size_t>(k)];
        for (const TickRun& a : runs) {
            for (const TickRun& b : runs) {
                const std::int64_t low = std::max(a.from, b.from - s), high = std::min(a.to, b.to - s);
                if (high > low) {
                    lengths[(static_cast<std::size_t>(k) * n + static_cast<std::size_t>(a.code)) * n + static_cast<std::size_t>(b.code)] +=
                        high - low;
                }
            }
        }
    }
    return lengths;
}

TEST(RunPairs, TicksAndShifts) {
    struct Case {
        double step;
        int exponent;
    };
    // a power of 10 between a 10^5th and a 10^6th of the step, across the powers of 10 too
    for (const Case& c : {Case{1, -5}, Case{0.5, -6}, Case{0.1, -6}, Case{0.09999999, -7}, Case{30, -4}, Case{1000, -2},
                          Case{1e7, 2}, Case{0.001, -8}}) {
        EXPECT_EQ(tickExponent(c.step), c.exponent) << c.step;
    }
    // decimal depths stay as written
    EXPECT_EQ(tickOf(1.3, -6), 1300000);
    EXPECT_EQ(lengthOfTicks(tickOf(2.7, -6) - tickOf(1.3, -6), -6), 1.4);
    EXPECT_EQ(lengthOfTicks(tickOf(0.3, -6) - tickOf(0.1, -6), -6), 0.2);  // 0.3 - 0.1 gives 0.19999999999999998
    const PairTally t = pairTally(1, 3, 0.1, tickExponent(0.1));
    EXPECT_EQ(t.shifts, (std::vector<std::int64_t>{0, 100000, 200000, 300000}));
}

TEST(RunPairs, EqualOverlapsTakenLagByLag) {
    std::mt19937_64 bits(11);
    struct Case {
        int classes, maxLag;
        double step;
        int runs;
        std::int64_t longest;  // a run's length in ticks, at most
    };
    const Case cases[] = {
        {1, 0, 1.0, 5, 200000},      // lag 0 alone: each run with itself
        {2, 3, 1.0, 6, 150000},      // runs of about a lag
        {3, 12, 0.1, 40, 30000},     // runs shorter than a lag
        {4, 40, 0.25, 60, 400000},   // long runs, many lags
        {5, 8, 3.0, 30, 20000000},   // runs far longer than the farthest lag
        {2, 6, 0.7, 25, 300000},     // a lag of 700000 ticks
    };
    for (const Case& c : cases) {
        const int tick = tickExponent(c.step);
        PairTally whole = pairTally(c.classes, c.maxLag, c.step, tick);
        std::vector<TickRun> runs;
        std::int64_t at = static_cast<std::int64_t>(bits() % 1000);
        for (int r = 0; r < c.runs; ++r) {
            if (bits() % 4 == 0) at += static_cast<std::int64_t>(bits() % 100000);  // a gap
            const std::int64_t length = 1 + static_cast<std::int64_t>(bits() % static_cast<std::uint64_t>(c.longest));
            runs.push_back({at, at + length, static_cast<int>(bits() % static_cast<std::uint64_t>(c.classes))});
            at += length;
        }
        addHole(whole, runs);
        const std::vector<std::int64_t> expected = overlapsLagByLag(runs, whole);
        EXPECT_EQ(tickLengthsOf(whole, false), expected) << c.classes << " classes, " << c.maxLag << " lags";

        // one run at a time, the classes growing as they appear
        PairTally streamed = pairTally(1, c.maxLag, c.step, tick);
        OpenHole hole;
        for (const TickRun& run : runs) {
            growClasses(streamed, run.code + 1);
            addRun(streamed, hole, run);
        }
        growClasses(streamed, c.classes);
        EXPECT_EQ(tickLengthsOf(streamed, false), expected) << "streamed";

        // backward is forward with from and to swapped
        const std::vector<std::int64_t> backward = tickLengthsOf(whole, true);
        const std::size_t n = static_cast<std::size_t>(c.classes);
        for (std::size_t k = 0; k <= static_cast<std::size_t>(c.maxLag); ++k) {
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t j = 0; j < n; ++j) EXPECT_EQ(backward[(k * n + i) * n + j], expected[(k * n + j) * n + i]);
            }
        }
    }
}

}  // namespace
}  // namespace reduz::fit
