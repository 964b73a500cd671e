// Logs drawn from a two-class continuous-time Markov chain, whose transiograms are known:
// leaving A at rate a and B at rate b, t_AA(h) = pi_A + pi_B e^(-(a+b)h), pi_A = b / (a+b), and
// likewise for the other three. 400 holes of length 50 measured must lie within 0.03 of them at
// every lag, both down and up.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "fit/interval_csv.hpp"
#include "fit/number_text.hpp"
#include "fit/sweep.hpp"

namespace reduz::fit {
namespace {

constexpr double leaveA = 0.5;   // mean run of A: 2
constexpr double leaveB = 0.25;  // mean run of B: 4
constexpr int holes = 400;
constexpr double holeLength = 50;

// Exponential waiting times from the generator's bits, the same with every standard library.
double waitFor(std::mt19937_64& bits, double rate) {
    const double uniform = static_cast<double>(bits() >> 11) * 0x1p-53;  // [0, 1)
    return -std::log1p(-uniform) / rate;
}

// A log in CSV, each hole starting in the chain's stationary state.
std::string markovLogs(std::uint64_t seed) {
    std::mt19937_64 bits(seed);
    const double piA = leaveB / (leaveA + leaveB);
    std::string csv = "hole,from,to,class\n";
    for (int h = 0; h < holes; ++h) {
        bool inA = static_cast<double>(bits() >> 11) * 0x1p-53 < piA;
        double at = 0;
        while (at < holeLength) {
            const double next = std::min(holeLength, at + waitFor(bits, inA ? leaveA : leaveB));
            for (const std::string& field : {std::to_string(h), shortest(at), shortest(next)}) {
                csv += field;
                csv += ',';
            }
            csv += inA ? "A\n" : "B\n";
            at = next;
            inA = !inA;
        }
    }
    return csv;
}

double theory(bool fromA, bool toA, double h) {
    const double rate = leaveA + leaveB;
    const double piTo = toA ? leaveB / rate : leaveA / rate;
    const double decay = std::exp(-rate * h);
    return fromA == toA ? piTo + (1 - piTo) * decay : piTo * (1 - decay);
}

TEST(Markov, MeasuredCurvesFollowTheChain) {
    const Logs logs = readIntervalLogs(markovLogs(20240607), "markov.csv", ColumnNames{});
    ASSERT_EQ(logs.holes.size(), static_cast<std::size_t>(holes));
    for (const bool backward : {false, true}) {
        const Measurement m = measureTransiograms(logs, LagSpec{0.5, 40, backward});
        for (int lag = 0; lag <= m.lags; ++lag) {
            for (int i = 0; i < 2; ++i) {
                for (int j = 0; j < 2; ++j) {
                    const bool fromA = m.classes[static_cast<std::size_t>(i)].name == "A";
                    const bool toA = m.classes[static_cast<std::size_t>(j)].name == "A";
                    EXPECT_NEAR(probability(m, lag, i, j).value(), theory(fromA, toA, lagDistance(m, lag)), 0.03)
                        << (backward ? "up" : "down") << ", lag " << lag << ", " << i << " to " << j;
                }
            }
        }
    }
}

}  // namespace
}  // namespace reduz::fit
