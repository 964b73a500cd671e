// Logs drawn from a two-class continuous-time Markov chain, whose transiograms are known. 400
// holes of length 50 measured must lie within 0.03 of them at every lag, both down and up.

#include <gtest/gtest.h>

#include "fit/chain_logs.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {
namespace {

constexpr int holes = 400;

TEST(Markov, MeasuredCurvesFollowTheChain) {
    const testing::MarkovChain chain;
    const Logs logs = readIntervalLogs(chain.logs(20240607, holes, 50), "markov.csv", ColumnNames{});
    ASSERT_EQ(logs.holes.size(), static_cast<std::size_t>(holes));
    for (const bool backward : {false, true}) {
        const Measurement m = measureTransiograms(logs, LagGrid{0.5, 40, backward});
        for (int lag = 0; lag <= m.maxLag; ++lag) {
            for (int i = 0; i < 2; ++i) {
                for (int j = 0; j < 2; ++j) {
                    const bool fromA = m.classes[static_cast<std::size_t>(i)].name == "A";
                    const bool toA = m.classes[static_cast<std::size_t>(j)].name == "A";
                    EXPECT_NEAR(probability(m, lag, i, j).value(), chain.transiogram(fromA, toA, lagDistance(m, lag)),
                                0.03)
                        << (backward ? "up" : "down") << ", lag " << lag << ", " << i << " to " << j;
                }
            }
        }
    }
}

}  // namespace
}  // namespace reduz::fit
