#pragma once
// Logs drawn from a chain of beds: each hole starts in a state drawn by `first`, each bed's
// thickness is drawn by `thickness` for its class, and the next class by `next`. Classes are
// named A, B, C, ... The uniform numbers come from the generator's bits, so the logs are the
// same with every standard library.
//
// The two-class continuous-time Markov chain leaving A at rate a and B at rate b has known
// transiograms: t_AA(h) = pi_A + pi_B e^(-(a+b)h), pi_A = b / (a+b), and likewise the others.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fit/base/number_text.hpp"

namespace reduz::testing {

inline double uniform(std::mt19937_64& bits) { return static_cast<double>(bits() >> 11) * 0x1p-53; }  // [0, 1)

inline double waitFor(std::mt19937_64& bits, double rate) { return -std::log1p(-uniform(bits)) / rate; }

// One interval of hole h, its class the state's letter.
inline void appendLogRow(std::string& csv, int h, double from, double to, int state) {
    for (const std::string& field : {std::to_string(h), fit::shortest(from), fit::shortest(to)}) {
        csv += field;
        csv += ',';
    }
    csv += static_cast<char>('A' + state);
    csv += '\n';
}

template <typename First, typename Thickness, typename Next>
std::string chainLogs(std::uint64_t seed, int holes, double holeLength, First first, Thickness thickness, Next next) {
    std::mt19937_64 bits(seed);
    std::string csv = "hole,from,to,class\n";
    for (int h = 0; h < holes; ++h) {
        int state = first(bits);
        double at = 0;
        while (at < holeLength) {
            const double end = std::min(holeLength, at + thickness(bits, state));
            appendLogRow(csv, h, at, end, state);
            at = end;
            state = next(bits, state);
        }
    }
    return csv;
}

// The two-class Markov chain, each hole starting in the chain's stationary state.
struct MarkovChain {
    double leaveA = 0.5;   // mean run of A: 2
    double leaveB = 0.25;  // mean run of B: 4

    double piA() const { return leaveB / (leaveA + leaveB); }

    std::string logs(std::uint64_t seed, int holes, double holeLength) const {
        return chainLogs(
            seed, holes, holeLength, [&](std::mt19937_64& bits) { return uniform(bits) < piA() ? 0 : 1; },
            [&](std::mt19937_64& bits, int state) { return waitFor(bits, state == 0 ? leaveA : leaveB); },
            [](std::mt19937_64&, int state) { return 1 - state; });
    }

    double transiogram(bool fromA, bool toA, double h) const {
        const double rate = leaveA + leaveB;
        const double piTo = toA ? piA() : 1 - piA();
        const double decay = std::exp(-rate * h);
        return fromA == toA ? piTo + (1 - piTo) * decay : piTo * (1 - decay);
    }
};

// Beds of a chain started `burnIn` above each hole's top and cut there, so that each hole starts
// where a stationary chain would be, its first bed cut as a hole cuts one.
template <typename Thickness, typename Next>
std::string stationaryLogs(std::uint64_t seed, int holes, double holeLength, double burnIn, Thickness thickness, Next next) {
    std::mt19937_64 bits(seed);
    std::string csv = "hole,from,to,class\n";
    for (int h = 0; h < holes; ++h) {
        int state = 0;
        double at = -burnIn;
        while (at < holeLength) {
            const double end = std::min(holeLength, at + thickness(bits, state));
            if (end > 0) {
                appendLogRow(csv, h, std::max(at, 0.0), end, state);
            }
            at = end;
            state = next(bits, state);
        }
    }
    return csv;
}

// The class a row of probabilities (zero on the diagonal) draws.
inline int drawnFrom(std::mt19937_64& bits, const std::vector<double>& row) {
    double u = uniform(bits), total = 0;
    for (std::size_t j = 0; j < row.size(); ++j) {
        total += row[j];
        if (u < total) return static_cast<int>(j);
    }
    for (std::size_t j = row.size(); j-- > 0;) {
        if (row[j] > 0) return static_cast<int>(j);
    }
    return 0;
}

// A chain of K classes by its rates Q (rows summing to 0), or of beds by an embedded chain and
// gamma thicknesses of a whole shape (sums of that many exponentials, the same bits with every
// standard library).
struct BedChain {
    std::vector<std::vector<double>> embedded;  // [from][to], zero diagonal
    std::vector<double> means;                  // mean thickness by class
    int gammaShape = 1;                         // 1: exponential beds, a Markov chain

    static BedChain markov(const std::vector<std::vector<double>>& rates) {
        BedChain chain;
        for (std::size_t i = 0; i < rates.size(); ++i) {
            const double leaving = -rates[i][i];
            chain.means.push_back(1 / leaving);
            std::vector<double> row(rates.size(), 0.0);
            for (std::size_t j = 0; j < rates.size(); ++j) row[j] = j == i ? 0 : rates[i][j] / leaving;
            chain.embedded.push_back(row);
        }
        return chain;
    }

    std::string logs(std::uint64_t seed, int holes, double holeLength) const {
        double longest = 0;
        for (const double mean : means) longest = std::max(longest, mean);
        return stationaryLogs(
            seed, holes, holeLength, 40 * longest,
            [&](std::mt19937_64& bits, int state) {
                double thickness = 0;
                for (int k = 0; k < gammaShape; ++k) thickness += waitFor(bits, gammaShape / means[static_cast<std::size_t>(state)]);
                return thickness;
            },
            [&](std::mt19937_64& bits, int state) { return drawnFrom(bits, embedded[static_cast<std::size_t>(state)]); });
    }
};

}  // namespace reduz::testing
