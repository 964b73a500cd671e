// The semi-Markov chain of beds: valid at any distance whatever its parameters, the Markov chain
// when every shape is 1, a closed form for two classes of gamma beds of one scale, and fitted
// from the beds and from the curves of logs drawn from a known chain.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "fit/chain_logs.hpp"
#include "fit/commands/fit_command.hpp"
#include "fit/fitting/markov_rates.hpp"
#include "fit/fitting/semi_markov.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// Every row of T(h) a probability vector to 1e-12, T(0) the identity exactly.
void expectValid(const SemiMarkov& chain, double h, const std::string& what) {
    const int n = chain.classes;
    const std::vector<double> t = semiMarkovAt(chain, h);
    for (int i = 0; i < n; ++i) {
        double row = 0;
        for (int j = 0; j < n; ++j) {
            const double value = t[at(i * n + j)];
            row += value;
            EXPECT_TRUE(value >= 0 && value <= 1) << what << " at " << h << ": " << value;
            if (h == 0) {
                EXPECT_EQ(value, i == j ? 1.0 : 0.0) << what;
            }
        }
        EXPECT_NEAR(row, 1, 1e-12) << what << " at " << h;
    }
}

// Random chains of 2 to 8 classes, shapes 0.5 to 20, means 0.05 to 20, about half of each
// embedded row 0: valid at and between the lags, beyond the horizon, continuous there, and at
// the proportions far beyond it.
TEST(SemiMarkov, ValidAtAnyDistance) {
    std::mt19937_64 bits(41);
    for (int trial = 0; trial < 42; ++trial) {
        const int n = 2 + trial % 7;
        std::vector<double> embedded(at(n * n), 0.0), shapes, means;
        for (int i = 0; i < n; ++i) {
            const int open = static_cast<int>(testing::uniform(bits) * (n - 1));  // one entry sure to be above 0
            double sum = 0;
            for (int j = 0, other = 0; j < n; ++j) {
                if (j == i) continue;
                const bool kept = other++ == open || testing::uniform(bits) < 0.5;
                sum += embedded[at(i * n + j)] = kept ? std::exp(4 * testing::uniform(bits) - 2) : 0.0;
            }
            for (int j = 0; j < n; ++j) embedded[at(i * n + j)] /= sum;
            shapes.push_back(0.5 * std::exp(std::log(40.0) * testing::uniform(bits)));
            means.push_back(0.05 * std::exp(std::log(400.0) * testing::uniform(bits)));
        }
        const double step = 0.05 + testing::uniform(bits);
        const double farthest = step * (10 + static_cast<int>(testing::uniform(bits) * 60));
        const SemiMarkov chain = semiMarkovOf(n, embedded, shapes, means, farthest, trial % 2 == 0 ? step : 0.0);
        const std::string what = "trial " + std::to_string(trial);
        double total = 0;
        for (const double p : chain.proportions) total += p;
        EXPECT_NEAR(total, 1, 1e-12) << what;
        for (double h = 0; h <= 1.5 * chain.horizon; h += step * 0.73) expectValid(chain, h, what);
        for (const double h : {1e-12, 0.5 * chain.spacing, farthest, chain.horizon, chain.horizon * 3, 1e300}) {
            expectValid(chain, h, what);
        }
        const std::vector<double> far = semiMarkovAt(chain, chain.horizon + 800 * chain.decay),
                                  inside = semiMarkovAt(chain, chain.horizon * (1 - 1e-12)),
                                  outside = semiMarkovAt(chain, chain.horizon * (1 + 1e-12));
        for (int i = 0; i < n * n; ++i) {
            EXPECT_NEAR(far[at(i)], chain.proportions[at(i % n)], 1e-12) << what;
            EXPECT_NEAR(inside[at(i)], outside[at(i)], 1e-9) << what;
        }
    }
}

// With every shape 1 the chain is the Markov chain R_ii = -1/m_i, R_ij = P_ij / m_i.
TEST(SemiMarkov, MarkovWhenEveryShapeIsOne) {
    const std::vector<double> rates{-1.0, 0.6, 0.4, 0.0, 0.25, -0.5, 0.0, 0.25, 0.3, 0.9, -1.5, 0.3, 0.0, 0.2, 0.6, -0.8};
    const MarkovRates markov = markovChainOf(4, rates);
    std::vector<double> embedded(16, 0.0), means;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) embedded[at(i * 4 + j)] = j == i ? 0 : rates[at(i * 4 + j)] / -rates[at(i * 5)];
        means.push_back(1 / -rates[at(i * 5)]);
    }
    const SemiMarkov chain = semiMarkovOf(4, embedded, {1, 1, 1, 1}, means, 10, 0.25);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(chain.proportions[at(k)], markov.proportions[at(k)], 1e-12);
    struct Case {
        const char* where;
        double first, step, last, within;
    };
    for (const Case& c : {Case{"at the lags", 0, 0.25, 10, 1e-4}, Case{"between them", 0.0917, 0.25, 10, 2e-4},
                          Case{"beyond the horizon", 12.5, 12.5, 200, 2e-3}}) {
        double most = 0;
        for (double h = c.first; h <= c.last; h += c.step) {
            const std::vector<double> a = semiMarkovAt(chain, h), b = transitionsAt(markov, h);
            for (std::size_t i = 0; i < a.size(); ++i) most = std::max(most, std::fabs(a[i] - b[i]));
        }
        std::printf("shapes 1 against expm, spacing %g, %s: %.2e\n", chain.spacing, c.where, most);
        EXPECT_LT(most, c.within) << c.where;
    }
}

// Two classes alternating, both of gamma beds of shape 4 and one scale: the boundaries are the
// events of a Poisson process of rate 1/scale taken 4 at a time, after the first bed's rest of
// J of them, J uniform over 1..4. A point in A at 0 is in A at h when an even number of
// boundaries lie in (0, h]: with M ~ Poisson(h / scale) events, none for M < J, else
// floor((M - J) / 4) + 1.
TEST(SemiMarkov, TwoClassesOfGammaBedsAgainstTheirClosedForm) {
    const double mean = 1.5, scale = mean / 4;
    const SemiMarkov chain = semiMarkovOf(2, {0, 1, 1, 0}, {4, 4}, {mean, mean}, 10, 0.25);
    double most = 0, dip = 1;
    for (double h = 0; h <= 10; h += 0.025) {
        double inA = 0, term = std::exp(-h / scale);  // P(M = 0)
        for (int m = 0; m < 400; ++m, term *= h / scale / m) {
            for (int j = 1; j <= 4; ++j) inA += (m < j ? 0 : (m - j) / 4 + 1) % 2 == 0 ? term / 4 : 0;
        }
        const std::vector<double> t = semiMarkovAt(chain, h);
        most = std::max({most, std::fabs(t[0] - inA), std::fabs(t[3] - inA), std::fabs(t[1] - (1 - inA))});
        dip = std::min(dip, t[0]);
    }
    std::printf("two classes of shape 4 against the closed form, spacing %g: %.2e\n", chain.spacing, most);
    EXPECT_LT(most, 2e-4);
    EXPECT_LT(dip, 0.4);  // the hole effect: t_AA falls below its sill of 0.5
}

// ---- logs of a known chain ----

// Three classes, beds gamma of shape 4 (the sum of 4 exponentials), class means 1, 2, 1.5. Each
// hole starts stationary: its class by the proportions pi_k m_k / sum (the embedded chain's pi
// is (34, 41, 43) / 118, so p = (34, 82, 64.5) / 180.5), its first bed the rest of one, the gamma of shape J uniform over 1..4
// (the rest of a bed of integer shape a is the even mixture of the gammas of shapes 1..a).
const std::vector<double> knownEmbedded{0, 0.7, 0.3, 0.2, 0, 0.8, 0.6, 0.4, 0};
const std::vector<double> knownMeans{1.0, 2.0, 1.5};

std::string knownLogs(std::uint64_t seed, int holes) {
    const double p0 = 34 / 180.5, p1 = 82 / 180.5;
    bool first = false;
    return testing::chainLogs(
        seed, holes, 50,
        [&](std::mt19937_64& bits) {
            first = true;
            const double u = testing::uniform(bits);
            return u < p0 ? 0 : u < p0 + p1 ? 1 : 2;
        },
        [&](std::mt19937_64& bits, int state) {
            const int parts = first ? 1 + static_cast<int>(testing::uniform(bits) * 4) : 4;
            first = false;
            double length = 0;
            for (int k = 0; k < parts; ++k) length += testing::waitFor(bits, 4 / knownMeans[at(state)]);
            return length;
        },
        [&](std::mt19937_64& bits, int state) {
            const int a = (state + 1) % 3;
            return testing::uniform(bits) < knownEmbedded[at(state * 3 + a)] ? a : (state + 2) % 3;
        });
}

Logs logsOf(const std::string& csv) { return readIntervalLogs(csv, "chain.csv", ColumnNames{}); }

// The beds of the logs, classes by their letter: every run logged; a transition between
// consecutive runs of a hole; a hole's first run neither whole nor cut, its last cut unless it
// is also its first, the others whole.
Beds bedsOf(const Logs& logs, int classes) {
    Beds beds{classes, std::vector<double>(at(classes), 0.0), std::vector<long long>(at(classes * classes), 0),
              std::vector<std::vector<double>>(at(classes)), std::vector<std::vector<double>>(at(classes))};
    for (const Hole& hole : logs.holes) {
        for (std::size_t r = 0; r < hole.runs.size(); ++r) {
            const int code = logs.classes[at(hole.runs[r].code)][0] - 'A';
            const double length = hole.runs[r].to - hole.runs[r].from;
            beds.loggedLength[at(code)] += length;
            const bool last = r + 1 == hole.runs.size();
            if (!last) ++beds.transitions[at(code * classes + logs.classes[at(hole.runs[r + 1].code)][0] - 'A')];
            if (r > 0) (last ? beds.cut : beds.whole)[at(code)].push_back(length);
        }
    }
    return beds;
}

// The mean absolute difference of the curves of a fitted chain, classes named A, B, C in
// `names`' order, from the known chain's, at the lags 0..40 of 0.25, over every pair.
double meanError(const SemiMarkov& fitted, const std::vector<std::string>& names) {
    const SemiMarkov known = semiMarkovOf(3, knownEmbedded, {4, 4, 4}, knownMeans, 10, 0.25);
    double error = 0;
    for (int lag = 0; lag <= 40; ++lag) {
        const std::vector<double> a = semiMarkovAt(fitted, 0.25 * lag), b = semiMarkovAt(known, 0.25 * lag);
        for (int i = 0; i < 9; ++i) error += std::fabs(a[at(i)] - b[at((names[at(i / 3)][0] - 'A') * 3 + names[at(i % 3)][0] - 'A')]);
    }
    return error / (41 * 9);
}

// The curves fitted from the beds, their mean absolute error averaged over 5 seeds; with 400
// holes the shapes and means of every seed as well.
TEST(SemiMarkov, FitsTheBedsOfAKnownChain) {
    for (const auto& [holes, goal] : {std::pair{400, 0.0060}, std::pair{20, 0.0140}, std::pair{10, 0.0200}}) {
        double sum = 0;
        for (std::uint64_t seed = 1; seed <= 5; ++seed) {
            const SemiMarkovFit fit = fitSemiMarkovBeds(bedsOf(logsOf(knownLogs(1000 * seed + at(holes), holes)), 3), 10, 0.25);
            sum += meanError(fit.chain, {"A", "B", "C"});
            EXPECT_EQ(fit.search.searches, 3);
            for (int k = 0; holes == 400 && k < 3; ++k) {
                EXPECT_NEAR(fit.chain.shapes[at(k)], 4, 0.4) << k;
                EXPECT_NEAR(fit.chain.means[at(k)], knownMeans[at(k)], 0.03 * knownMeans[at(k)]) << k;
            }
        }
        std::printf("beds of %d holes: mean absolute error %.4f over 5 seeds (goal %.4f)\n", holes, sum / 5, goal);
        EXPECT_LT(sum / 5, goal) << holes << " holes";
    }
}

// A class with one whole bed takes the censored exponential estimate, a class never left passes
// on by the others' logged shares, a class without beds is never entered.
TEST(SemiMarkov, BedsTooFewToSearch) {
    const Beds beds{3, {10, 6, 0}, {0, 4, 0, 0, 0, 0, 0, 0, 0}, {{1, 2, 3.5}, {2}, {}}, {{}, {1, 3}, {}}};
    const SemiMarkovFit fit = fitSemiMarkovBeds(beds, 10);
    EXPECT_EQ(fit.thickness[0].searches, 1);
    EXPECT_EQ(fit.thickness[1].searches, 0);
    EXPECT_EQ(fit.chain.shapes[1], 1);
    EXPECT_DOUBLE_EQ(fit.chain.means[1], 6);         // logged 6 with no bed of B ended: as if one had
    EXPECT_DOUBLE_EQ(fit.chain.means[2], 16.0 / 4);  // every class's length over every bed ended
    EXPECT_DOUBLE_EQ(fit.chain.embedded[1 * 3 + 0], 1);  // B's row by the others' logged lengths, A 10, C 0
    EXPECT_DOUBLE_EQ(fit.chain.embedded[2 * 3 + 0], 10.0 / 16);
    EXPECT_EQ(fit.chain.proportions[2], 0);
    expectValid(fit.chain, 3.3, "too few beds");
}

// From the curves measured of 400 holes, starting from the Markov chain fitted to them.
TEST(SemiMarkov, FitsTheCurvesOfAKnownChain) {
    const MeasuredCurves curves = curvesOf(measureTransiograms(logsOf(knownLogs(20240607, 400)), LagGrid{0.25, 40, false}));
    const MarkovFit markov = fitMarkovRates(curves);
    const SemiMarkov start = semiMarkovOfMarkov(markov.chain, 10, 0.25);
    const SemiMarkovFit fit = fitSemiMarkovCurves(curves, start);
    const double markovError = meanError(start, curves.classes), error = meanError(fit.chain, curves.classes);
    // The known chain's own curves against those measured of its logs (means 1, 2, 1.5 unlike
    // the closed form's): the generator's stationary start and the table agree.
    const SemiMarkov known = semiMarkovOf(3, knownEmbedded, {4, 4, 4}, knownMeans, 10, 0.25);
    double measuredError = 0, points = 0;
    for (int i = 0; i < 9; ++i) {
        for (const MeasuredPoint& point : curves.pairs[at(i)]) {
            const std::vector<double> t = semiMarkovAt(known, curves.distances[at(point.lag)]);
            measuredError += std::fabs(point.probability - t[at((curves.classes[at(i / 3)][0] - 'A') * 3 + curves.classes[at(i % 3)][0] - 'A')]);
            points += 1;
        }
    }
    std::printf("the curves of 400 holes: measured against the known chain %.4f; fitted: Markov %.4f (wss %.4g), "
                "semi-Markov %.4f (wss %.4g, %lld evaluations)\n",
                measuredError / points, markovError, markov.wss, error, fit.wss, fit.evaluations);
    EXPECT_LT(measuredError / points, 0.005);
    EXPECT_EQ(fit.search.searches, 2);
    EXPECT_LT(fit.wss, markov.wss / 10);
    EXPECT_LT(error, 0.01);
    for (int i = 0; i < 3; ++i) {
        std::printf("  %s: shape %.3f mean %.3f (search %d)\n", curves.classes[at(i)].c_str(), fit.chain.shapes[at(i)],
                    fit.chain.means[at(i)], fit.search.result);
        EXPECT_GT(fit.chain.shapes[at(i)], 2) << curves.classes[at(i)];
    }
}

}  // namespace
}  // namespace reduz::fit
