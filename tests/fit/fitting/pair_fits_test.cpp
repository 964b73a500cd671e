// Fits of the catalogue's shapes to curves whose truth is known: a Markov chain's, whose
// transiograms are exponential, and a semi-Markov chain's with gamma-distributed beds, whose
// cross curves peak. And what a pair that cannot be fitted is told.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fit/chain_logs.hpp"
#include "fit/commands/fit_command.hpp"
#include "fit/fitting/pair_fits.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {
namespace {

constexpr double step = 0.5;

MeasuredCurves measured(const std::string& csv, int lags) {
    const Logs logs = readIntervalLogs(csv, "chain.csv", ColumnNames{});
    return curvesOf(measureTransiograms(logs, LagGrid{step, lags, false}));
}

const ShapeFit& chosen(const FitSet& set, int from, int to, int classes) {
    const PairFit& pair = set.pairs[static_cast<std::size_t>(from * classes + to)];
    EXPECT_GE(pair.chosen, 0) << pair.failure;
    return pair.candidates.at(static_cast<std::size_t>(pair.chosen));
}

TEST(PairFits, MarkovChainGivesItsSillAndRange) {
    const testing::MarkovChain chain;
    const MeasuredCurves curves = measured(chain.logs(20240607, 400, 50), 40);
    const int a = curves.classes[0] == "A" ? 0 : 1;  // classes come in the order they first appear

    // The exponential's range is 3 / (a + b) in the data's units: in lags, over the step.
    const FitSet exponentials = fitPairs(curves, FitOptions{{3}, false, 0});
    const ShapeFit& exponential = chosen(exponentials, a, a, 2);
    EXPECT_EQ(exponential.parameters.model, 3);
    EXPECT_NEAR(exponential.parameters.sill, chain.piA(), 0.01);
    const double range = 3 / (chain.leaveA + chain.leaveB) / step;
    EXPECT_NEAR(exponential.parameters.range, range, 0.05 * range);
    // The optimiser's outcome is kept: a search ran, and ended at a tolerance or at round-off.
    EXPECT_EQ(exponential.search.searches, 3);
    EXPECT_TRUE(exponential.search.result == 3 || exponential.search.result == 4 || exponential.search.result == -4)
        << exponential.search.result;

    const FitSet best = fitPairs(curves, FitOptions{});
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            const ShapeFit& fit = chosen(best, i, j, 2);
            for (int lag = 0; lag <= curves.maxLag; ++lag) {
                EXPECT_NEAR(fit.fitted[static_cast<std::size_t>(lag)], chain.transiogram(i == a, j == a, lag * step), 0.03)
                    << i << " to " << j << ", " << fit.shape->label << ", lag " << lag;
            }
        }
    }
}

// Beds of three classes, each of a thickness drawn from a gamma distribution of shape 6 (the
// sum of six exponential waits), mean 3: a bed's neighbours come back at a fairly regular
// distance, and the cross curves rise to a peak before they settle.
std::string semiMarkovLogs() {
    return testing::chainLogs(
        7, 300, 60, [](std::mt19937_64& bits) { return static_cast<int>(testing::uniform(bits) * 3); },
        [](std::mt19937_64& bits, int) {
            double thickness = 0;
            for (int k = 0; k < 6; ++k) thickness += testing::waitFor(bits, 2.0);
            return thickness;
        },
        [](std::mt19937_64& bits, int state) { return (state + 1 + (testing::uniform(bits) < 0.5 ? 0 : 1)) % 3; });
}

TEST(PairFits, PeakedCrossCurvesNeedGammaOrHoleEffectShapes) {
    const MeasuredCurves curves = measured(semiMarkovLogs(), 40);
    const FitSet set = fitPairs(curves, FitOptions{});
    for (const PairFit& pair : set.pairs) {
        if (pair.from == pair.to) continue;
        double exponential = HUGE_VAL;
        double peaked = HUGE_VAL;
        for (const ShapeFit& fit : pair.candidates) {
            ASSERT_TRUE(fit.failure.empty()) << fit.shape->label << ": " << fit.failure;
            const int model = fit.parameters.model;
            if (model == 3) exponential = fit.wrmse;
            if (model == 6 || model == 7 || (model >= 9 && model <= 11)) peaked = std::min(peaked, fit.wrmse);
        }
        EXPECT_LT(peaked, exponential) << pair.from << " to " << pair.to;
    }
}

TEST(PairFits, PairsThatCannotBeFittedSayWhy) {
    MeasuredCurves curves;
    curves.classes = {"A", "B"};
    curves.proportions = {0.5, 0.5};
    curves.maxLag = 3;
    curves.distances = {0, 1, 2, 3};
    curves.pairs = {{{0, 1, 2}, {1, 0.5, 2}}, {{0, 0, 2}, {1, 0.5, 2}}, {{0, 0, 1}}, {{0, 1, 1}}};
    struct Case {
        std::vector<int> models;
        int from, to;
        const char* failure;
    };
    const Case cases[] = {
        {{9, 12}, 0, 0, "none of the shapes 9,12 is an auto-transiogram shape"},
        {{}, 1, 0, "nothing measured at lags 1 to 3"},
        {{}, 0, 1, ""},
    };
    for (const Case& c : cases) {
        const FitSet set = fitPairs(curves, FitOptions{c.models, true, 1});
        const PairFit& pair = set.pairs[static_cast<std::size_t>(c.from * 2 + c.to)];
        EXPECT_EQ(pair.failure, c.failure);
        EXPECT_EQ(pair.chosen < 0, *c.failure != '\0');
    }
}

}  // namespace
}  // namespace reduz::fit
