// The continuous-lag Markov chain: valid at any distance whatever its rates, and fitted to the
// measured curves of logs drawn from known chains, reversible or not.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "fit/chain_logs.hpp"
#include "fit/commands/fit_command.hpp"
#include "fit/fitting/markov_rates.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {
namespace {

// Rows of T(h) sum to 1, each value lies in [0, 1], T(0) is the identity and T(h) tends to the
// proportions, which R keeps: for random chains of 2 to 8 classes, slow and fast, at distances
// between and beyond any lags.
TEST(MarkovRates, ValidAtAnyDistance) {
    std::mt19937_64 bits(29);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + trial % 7;
        std::vector<double> rates(static_cast<std::size_t>(n * n), 0.0);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                if (i == j) continue;
                const double rate = std::exp(6 * testing::uniform(bits) - 4);  // e^-4 to e^2
                rates[static_cast<std::size_t>(i * n + j)] = rate;
                rates[static_cast<std::size_t>(i * n + i)] -= rate;
            }
        }
        const MarkovRates chain = markovChainOf(n, rates);
        double total = 0;
        for (int j = 0; j < n; ++j) {
            total += chain.proportions[static_cast<std::size_t>(j)];
            double flow = 0;  // (p^T R)_j
            for (int i = 0; i < n; ++i) flow += chain.proportions[static_cast<std::size_t>(i)] * rates[static_cast<std::size_t>(i * n + j)];
            EXPECT_NEAR(flow, 0, 1e-12) << trial;
        }
        EXPECT_NEAR(total, 1, 1e-12);
        for (const double h : {0.0, 1e-9, 0.37, 1.0, 2.5, 13.75, 1e3}) {
            const std::vector<double> t = transitionsAt(chain, h);
            for (int i = 0; i < n; ++i) {
                double row = 0;
                for (int j = 0; j < n; ++j) {
                    const double value = t[static_cast<std::size_t>(i * n + j)];
                    row += value;
                    EXPECT_GE(value, -1e-14) << trial << " at " << h;
                    EXPECT_LE(value, 1 + 1e-14) << trial << " at " << h;
                    if (h == 0) {
                        EXPECT_EQ(value, i == j ? 1.0 : 0.0);
                    }
                    if (h == 1e3) {
                        EXPECT_NEAR(value, chain.proportions[static_cast<std::size_t>(j)], 1e-9) << trial;
                    }
                }
                EXPECT_NEAR(row, 1, 1e-12) << trial << " at " << h;
            }
        }
    }
}

MeasuredCurves measured(const std::string& logs, double step, int lags) {
    return curvesOf(measureTransiograms(readIntervalLogs(logs, "chain.csv", ColumnNames{}), LagGrid{step, lags, false}));
}

// The code of each class name, A first, as the curves list them.
std::vector<int> codesOf(const MeasuredCurves& curves) {
    std::vector<int> codes;
    for (const std::string& name : curves.classes) codes.push_back(name[0] - 'A');
    return codes;
}

TEST(MarkovRates, FitsTheTwoClassChain) {
    const testing::MarkovChain truth;  // leaving A at 0.5, B at 0.25
    const MeasuredCurves curves = measured(truth.logs(20240607, 400, 50), 0.5, 40);
    const MarkovFit fit = fitMarkovRates(curves);
    EXPECT_GT(fit.search.searches, 0);
    const std::vector<int> code = codesOf(curves);
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            if (i == j) continue;
            const double rate = fit.chain.rates[static_cast<std::size_t>(i * 2 + j)];
            EXPECT_NEAR(rate, code[static_cast<std::size_t>(i)] == 0 ? truth.leaveA : truth.leaveB, 0.05) << i;
        }
        // between the lags as well as at them
        for (const double h : {0.3, 1.7, 6.1, 19.9}) {
            const std::vector<double> t = transitionsAt(fit.chain, h);
            for (int j = 0; j < 2; ++j) {
                EXPECT_NEAR(t[static_cast<std::size_t>(i * 2 + j)],
                            truth.transiogram(code[static_cast<std::size_t>(i)] == 0, code[static_cast<std::size_t>(j)] == 0, h), 0.02)
                    << i << " to " << j << " at " << h;
            }
        }
    }
}

// Three classes whose chain is not reversible: its cross curves differ either way.
TEST(MarkovRates, FitsANonReversibleChain) {
    const double q[3][3] = {{-0.40, 0.30, 0.10}, {0.05, -0.25, 0.20}, {0.35, 0.15, -0.50}};
    std::vector<double> rates;
    for (const auto& row : q) rates.insert(rates.end(), row, row + 3);
    const MarkovRates truth = markovChainOf(3, rates);
    const std::string logs = testing::chainLogs(
        11, 400, 50,
        [&](std::mt19937_64& bits) {
            const double u = testing::uniform(bits);
            return u < truth.proportions[0] ? 0 : u < truth.proportions[0] + truth.proportions[1] ? 1 : 2;
        },
        [&](std::mt19937_64& bits, int state) { return testing::waitFor(bits, -q[state][state]); },
        [&](std::mt19937_64& bits, int state) {
            const int a = (state + 1) % 3, b = (state + 2) % 3;
            return testing::uniform(bits) * -q[state][state] < q[state][a] ? a : b;
        });
    const MeasuredCurves curves = measured(logs, 0.25, 40);
    const MarkovFit fit = fitMarkovRates(curves);
    const std::vector<int> code = codesOf(curves);
    double error = 0;
    for (int lag = 0; lag <= 40; ++lag) {
        const std::vector<double> fitted = transitionsAt(fit.chain, 0.25 * lag);
        const std::vector<double> known = transitionsAt(truth, 0.25 * lag);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                error += std::fabs(fitted[static_cast<std::size_t>(i * 3 + j)] -
                                   known[static_cast<std::size_t>(code[static_cast<std::size_t>(i)] * 3 + code[static_cast<std::size_t>(j)])]);
            }
        }
    }
    EXPECT_LT(error / (41 * 9), 0.01);
}

}  // namespace
}  // namespace reduz::fit
