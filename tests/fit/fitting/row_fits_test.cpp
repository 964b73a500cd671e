// Catalogue shapes with the row's remainder: every row valid at any distance, whatever was
// measured, and a known chain's curves recovered.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "fit/base/failures.hpp"
#include "fit/chain_logs.hpp"
#include "fit/fitting/markov_rates.hpp"
#include "fit/fitting/pair_fits.hpp"
#include "fit/fitting/row_fits.hpp"
#include "models/lag_table.hpp"

namespace reduz::fit {
namespace {

using Truth = std::function<double(int from, int to, int lag)>;
using Support = std::function<double(int from, int to, int lag)>;  // 0: not measured

MeasuredCurves curvesOf(std::vector<double> proportions, int maxLag, const Truth& truth, const Support& support) {
    MeasuredCurves c;
    const int n = static_cast<int>(proportions.size());
    for (int i = 0; i < n; ++i) c.classes.push_back(std::string(1, static_cast<char>('A' + i)));
    c.proportions = std::move(proportions);
    c.maxLag = maxLag;
    for (int lag = 0; lag <= maxLag; ++lag) c.distances.push_back(lag);
    c.pairs.resize(static_cast<std::size_t>(n * n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            for (int lag = 0; lag <= maxLag; ++lag) {
                const double w = support(i, j, lag);
                if (w > 0) c.pairs[static_cast<std::size_t>(i * n + j)].push_back({lag, truth(i, j, lag), w});
            }
        }
    }
    return c;
}

double chainAt(const MarkovRates& chain, int i, int j, double h) {
    return transitionsAt(chain, h)[static_cast<std::size_t>(i * chain.classes + j)];
}

// Every curve and the remainder in [0, 1], rows summing to 1, the identity at 0 and the
// proportions far away; at the lags (the tabulated values, which rowValueAt gives bit for bit)
// and between and beyond them.
void expectValid(const RowFit& row, int maxLag, const std::string& label) {
    const int n = static_cast<int>(row.curves.size());
    ASSERT_EQ(row.remainderValues.size(), static_cast<std::size_t>(maxLag) + 1) << label;
    for (int lag = 0; lag <= maxLag; ++lag) {
        double sum = 0;
        for (int j = 0; j < n; ++j) {
            const double v = row.curves[static_cast<std::size_t>(j)].fitted.at(static_cast<std::size_t>(lag));
            EXPECT_EQ(v, rowValueAt(row, j, lag)) << label << " lag " << lag << " to " << j;
            EXPECT_TRUE(v >= 0 && v <= 1) << label << " lag " << lag << " to " << j << ": " << v;
            sum += v;
        }
        EXPECT_NEAR(sum, 1, 1e-12) << label << " lag " << lag;
    }
    std::vector<double> lags{1e-9, 0.37, 0.5, 1.0625, 2.71, maxLag - 0.3, maxLag + 0.55, 1.7 * maxLag, 9.3 * maxLag,
                             120.0 * maxLag, row.tailDistance + 0.4};
    for (const double h : lags) {
        double sum = 0;
        for (int j = 0; j < n; ++j) {
            const double v = rowValueAt(row, j, h);
            EXPECT_TRUE(v >= 0 && v <= 1) << label << " at " << h << " to " << j << ": " << v;
            sum += v;
        }
        EXPECT_NEAR(sum, 1, 1e-12) << label << " at " << h;
    }
    for (int j = 0; j < n; ++j) {
        EXPECT_EQ(rowValueAt(row, j, 0), j == row.from ? 1.0 : 0.0) << label << " to " << j;
        EXPECT_NEAR(rowValueAt(row, j, 1e6 * maxLag), row.proportions[static_cast<std::size_t>(j)], 1e-9)
            << label << " to " << j;
    }
}

TEST(RowFits, EveryRowValidWhateverWasMeasured) {
    std::mt19937_64 bits(41);
    struct Case {
        int classes;
        int maxLag;
        bool sparse;  // half the lags unmeasured, some curves not at all, supports from 1 to 100
        bool rare;    // proportions of 0.01 for some classes, whatever the data say
        std::optional<int> background;
        bool twoThreads;  // fitted again on two threads, to the same rows
    };
    const Case cases[] = {
        {2, 20, false, false, {}, true},  {2, 15, true, true, 1, true},    {3, 25, false, true, {}, true},
        {3, 30, true, false, 0, true},    {4, 20, true, true, {}, true},   {4, 20, false, false, 2, true},
        {5, 12, true, false, {}, true},   {5, 18, false, true, 4, false},  {6, 16, false, false, {}, true},
        {6, 16, true, true, 1, true},     {7, 10, true, true, {}, false},  {8, 12, false, true, 3, false},
    };
    for (const Case& c : cases) {
        const int n = c.classes;
        std::vector<double> rates(static_cast<std::size_t>(n * n), 0.0);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                if (i == j) continue;
                const double rate = std::exp(5 * testing::uniform(bits) - 4);
                rates[static_cast<std::size_t>(i * n + j)] = rate;
                rates[static_cast<std::size_t>(i * n + i)] -= rate;
            }
        }
        const MarkovRates chain = markovChainOf(n, rates);
        std::vector<double> p = chain.proportions;
        if (c.rare) {
            for (int i = 0; i < n; i += 2) p[static_cast<std::size_t>(i)] = 0.01;
        }
        std::vector<double> noise(static_cast<std::size_t>(n * n * (c.maxLag + 1)));
        for (double& e : noise) e = 0.08 * (testing::uniform(bits) - 0.5);
        std::vector<double> supports(noise.size());
        for (double& s : supports) {
            s = !c.sparse ? 10.0 : testing::uniform(bits) < 0.5 ? 0.0 : 1 + 99 * testing::uniform(bits);
        }
        const auto index = [&](int i, int j, int lag) { return static_cast<std::size_t>((i * n + j) * (c.maxLag + 1) + lag); };
        const MeasuredCurves curves = curvesOf(
            p, c.maxLag,
            [&](int i, int j, int lag) {
                // a hole in the cross curves of class 1, which overshoot-prone shapes like
                const double bumpy = i == 1 && j != 1 ? 0.3 * std::sin(lag / 2.0) * std::exp(-lag / 8.0) : 0.0;
                return std::clamp(chainAt(chain, i, j, 0.5 * lag) + noise[index(i, j, lag)] + bumpy, 0.0, 1.0);
            },
            [&](int i, int j, int lag) { return c.sparse && (i + j) % 5 == 3 ? 0.0 : supports[index(i, j, lag)]; });
        const std::vector<RowFit> rows = fitRows(curves, RowFitOptions{{}, c.background, 1, {}});
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(n));
        for (const RowFit& row : rows) {
            const std::string label = std::to_string(n) + " classes, row " + std::to_string(row.from) +
                                      (c.background ? ", background" : "") + (c.sparse ? ", sparse" : "");
            EXPECT_EQ(row.remainder, c.background && row.from != *c.background ? *c.background : row.from) << label;
            EXPECT_EQ(row.curves[static_cast<std::size_t>(row.remainder)].shape, nullptr) << label;
            for (int j = 0; j < n; ++j) {
                const ShapeFit& curve = row.curves[static_cast<std::size_t>(j)];
                if (j == row.remainder) continue;
                EXPECT_EQ(curve.parameters.kind, j == row.from ? 1 : 2) << label;
                EXPECT_NE(curve.parameters.model, 5) << label;
                EXPECT_NE(curve.parameters.model, 6) << label;
                EXPECT_NE(curve.parameters.model, 8) << label;
                EXPECT_NE(curve.parameters.model, 12) << label;
            }
            expectValid(row, c.maxLag, label);
        }
        if (!c.twoThreads) continue;
        const std::vector<RowFit> again = fitRows(curves, RowFitOptions{{}, c.background, 2, {}});
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].wss, again[i].wss) << n << " classes, row " << i;
            EXPECT_EQ(rows[i].remainderValues, again[i].remainderValues) << n << " classes, row " << i;
        }
    }
}

// A three-class non-reversible Markov chain and its curves at lags of 0.25 to 40, every lag weighed alike.
MarkovRates threeClassChain() {
    const double q[3][3] = {{-0.40, 0.30, 0.10}, {0.05, -0.25, 0.20}, {0.35, 0.15, -0.50}};
    std::vector<double> rates;
    for (const auto& row : q) rates.insert(rates.end(), row, row + 3);
    return markovChainOf(3, rates);
}

MeasuredCurves curvesOfChain(const MarkovRates& truth) {
    return curvesOf(
        truth.proportions, 40, [&](int i, int j, int lag) { return chainAt(truth, i, j, 0.25 * lag); },
        [](int, int, int) { return 1.0; });
}

TEST(RowFits, RecoversAThreeClassMarkovChain) {
    const MarkovRates truth = threeClassChain();
    const MeasuredCurves curves = curvesOfChain(truth);
    for (const std::optional<int> background : {std::optional<int>{}, std::optional<int>{2}}) {
        const std::vector<RowFit> rows = fitRows(curves, RowFitOptions{{}, background, 0, {}});
        for (const RowFit& row : rows) {
            EXPECT_GT(row.search.searches, 0);
            EXPECT_EQ(row.searchResults.size(), static_cast<std::size_t>(row.search.searches));
            for (int j = 0; j < 3; ++j) {
                for (const double lag : {0.5, 3.0, 7.3, 12.0, 25.5, 40.0, 80.0}) {
                    EXPECT_NEAR(rowValueAt(row, j, lag), chainAt(truth, row.from, j, 0.25 * lag), 0.02)
                        << row.from << " to " << j << " at " << lag << (background ? " with background" : "");
                }
            }
        }
    }
}

// A shape chosen for a curve (on held-out holes) is the one it starts from, and the only one
// fitted alone to it; every other curve tries all of the family's.
TEST(RowFits, AChosenShapeIsTheCurvesStart) {
    const MarkovRates truth = threeClassChain();
    const MeasuredCurves curves = curvesOfChain(truth);
    std::vector<const Shape*> chosen(9, nullptr);
    chosen[0 * 3 + 1] = findShape(2, 1);  // linear, though the truth is exponential
    chosen[2 * 3 + 0] = findShape(2, 9);
    const std::vector<RowFit> rows = fitRows(curves, RowFitOptions{{}, {}, 0, chosen});
    EXPECT_EQ(rows[0].curves[1].parameters.model, 1);
    EXPECT_EQ(rows[2].curves[0].shape->model, 9);
    for (const RowFit& row : rows) {
        expectValid(row, 40, "row " + std::to_string(row.from));
        for (int j = 0; j < 3; ++j) {
            const std::size_t tried = row.alone[static_cast<std::size_t>(j)].size();
            if (j == row.remainder) {
                EXPECT_EQ(tried, 0u) << row.from << " to " << j;
            } else {
                EXPECT_EQ(tried, chosen[static_cast<std::size_t>(row.from * 3 + j)] != nullptr ? 1u : rowCandidatesOf(2, {}).size())
                    << row.from << " to " << j;
            }
        }
    }
}

// A cross curve that rises past 1 - its sill plus the rest: model 7 fitted to it alone would
// take the remainder below 0; the row's constraint holds it within [0, 1].
TEST(RowFits, HoleEffectHeldAboveZero) {
    const auto wave = [](int lag) { return 0.7 * (1 - std::cos(3.14159 * lag / 5.0) * std::exp(-3.0 * lag / 60.0)); };
    const MeasuredCurves curves = curvesOf(
        {0.3, 0.7}, 30,
        [&](int i, int j, int lag) {
            if (i == 0) return j == 1 ? std::min(1.0, wave(lag)) : std::max(0.0, 1 - wave(lag));
            return j == 1 ? 1 - 0.3 * (1 - std::exp(-lag / 4.0)) : 0.3 * (1 - std::exp(-lag / 4.0));
        },
        [](int, int, int) { return 1.0; });
    const ShapeFit alone = fitShape(*findShape(2, 7), pointsOf(curves, 0, 1), 0.7);
    ASSERT_TRUE(alone.failure.empty()) << alone.failure;
    EXPECT_GT(*std::max_element(alone.fitted.begin(), alone.fitted.end()), 1.05);  // 1 - it below 0

    const std::vector<RowFit> rows = fitRows(curves, RowFitOptions{{7}, {}, 0, {}});
    const RowFit& row = rows[0];
    EXPECT_EQ(row.curves[1].parameters.model, 7);
    EXPECT_EQ(row.start, RowStart::bestByAic);  // held by the constraint, not by a fallback
    EXPECT_GT(row.curves[1].fitted[5], 0.9);    // and still rising well past its sill
    double least = 1;
    for (int k = 0; k <= 8 * 60; ++k) least = std::min(least, rowValueAt(row, 0, k / 8.0));
    EXPECT_GE(least, 0);
    EXPECT_LT(least, 0.05);  // pressed against 0, where the measured curve is clipped
    expectValid(row, 30, "hole effect");
}

TEST(RowFits, RefusesWhatCannotBeFitted) {
    const MeasuredCurves two = curvesOf({0.4, 0.6}, 5, [](int i, int j, int) { return i == j ? 0.8 : 0.2; },
                                        [](int, int, int) { return 1.0; });
    MeasuredCurves unknown = two;
    unknown.proportions.clear();
    MeasuredCurves negative = two;
    negative.proportions[0] = -0.1;
    struct Case {
        const MeasuredCurves& curves;
        RowFitOptions options;
    };
    const Case cases[] = {
        {unknown, {}},                 // no proportions
        {negative, {}},                // a proportion below 0
        {two, {{}, 2, 0, {}}},             // no class 2
        {two, {{5, 6, 8, 12}, {}, 0, {}}}, // none of the family's cross shapes
        {two, {{9}, 0, 0, {}}},            // with a background, no auto shape
    };
    for (const Case& c : cases) EXPECT_THROW(fitRows(c.curves, c.options), InputError);
}

// What six classes and 200 lags cost: run with --gtest_also_run_disabled_tests; only told.
TEST(RowFits, DISABLED_CostOfSixClassesAtTwoHundredLags) {
    std::vector<double> rates(36, 0.0);
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            if (i == j) continue;
            rates[static_cast<std::size_t>(i * 6 + j)] = 0.02 * (1 + (i * 7 + j * 3) % 5);
            rates[static_cast<std::size_t>(i * 7)] -= rates[static_cast<std::size_t>(i * 6 + j)];
        }
    }
    const MarkovRates chain = markovChainOf(6, rates);
    const MeasuredCurves curves = curvesOf(
        chain.proportions, 200,
        [&](int i, int j, int lag) { return std::clamp(chainAt(chain, i, j, lag) + 0.01 * std::sin(lag * (i + 2 * j + 1)), 0.0, 1.0); },
        [](int, int, int lag) { return 1000.0 - 4 * lag; });
    for (const std::optional<int> background : {std::optional<int>{}, std::optional<int>{0}}) {
        for (unsigned threads : {1u, 2u}) {
            const auto start = std::chrono::steady_clock::now();
            const std::vector<RowFit> rows = fitRows(curves, RowFitOptions{{}, background, threads, {}});
            const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
            long long evaluations = 0;
            double wss = 0;
            std::string starts;
            for (const RowFit& row : rows) {
                evaluations += row.evaluations;
                wss += row.wss;
                starts += std::to_string(static_cast<int>(row.start));
            }
            std::printf("6 classes, 200 lags%s, %u thread(s): %.2f s, %lld evaluations, weighted squares %.6g, starts %s\n",
                        background ? ", background" : "", threads, spent.count(), evaluations, wss, starts.c_str());
        }
    }
}

}  // namespace
}  // namespace reduz::fit
