#pragma once
// A continuous-lag Markov chain over the classes, the first family of models valid by
// construction: T(h) = expm(R h), R's off-diagonal rates at least 0 and its rows summing to 0,
// so that every row of T(h) sums to 1, T(0) is the identity, every t_ij(h) lies in [0, 1], and
// T(h) tends to 1 p^T for the chain's own proportions p (p^T R = 0), at any distance h, not only
// at the tabulated lags. The matrix exponential is Eigen's (unsupported/Eigen/MatrixFunctions).
//
//   two classes leaving A at 0.5 and B at 0.25 a unit of distance:
//     rates {-0.5, 0.5, 0.25, -0.25} -> proportions {1/3, 2/3}
//     transitionsAt(chain, 2) -> t_AA = 1/3 + 2/3 e^(-1.5), t_AB = 2/3 (1 - e^(-1.5)), ...
//   fitMarkovRates(the curves measured of such logs) -> rates near those, proportions near theirs

#include <vector>

#include "fit/base/beds.hpp"
#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/shape_fit.hpp"

namespace reduz::fit {

struct MarkovRates {
    int classes = 0;
    std::vector<double> rates;        // R at [from * classes + to], per unit of the curves' distance
    std::vector<double> proportions;  // p with p^T R = 0 and sum 1: where every row of T tends
};

// The rates' chain with its proportions: the stationary distribution of R (its rates must be
// those of an irreducible chain: every class reached from every other).
MarkovRates markovChainOf(int classes, std::vector<double> rates);

// T(h) at [from * classes + to], h >= 0 in the curves' units of distance.
std::vector<double> transitionsAt(const MarkovRates& chain, double h);

struct MarkovFit {
    MarkovRates chain;
    double wss = 0;        // sum over every pair and lag of support * (measured - T(h))^2
    SearchSummary search;  // the optimiser's outcome, kept
    long long evaluations = 0;
};

// The rates fitted to every measured curve at once by least squares weighted by the support
// (Eigen's Levenberg-Marquardt over the logarithms of the rates, its Jacobian by differences),
// from several starts: the diagonal from each auto-curve's first lag (1 - t_ii(h1) = h1 / mean
// length), the off-diagonal shared as the to-classes' proportions share what is left, that
// halved and doubled; given a start (the beds' rates), from it and from the first lags alone.
// Needs at least two classes and a lag above 0 measured.
MarkovFit fitMarkovRates(const MeasuredCurves& curves, const MarkovRates* start = nullptr);

// The rates from the beds: R_ij = (beds of i passing to j) / (the logged length of i), the
// chain's own estimate when each bed cut by a hole's end or a gap counts its length but no end
// (taking a cut bed as whole would make the beds about 4 % thinner on holes of 50 units).
//   sand 3 units logged in beds that pass to clay twice, clay 6 units passing to sand twice
//     -> rates sand->clay 2/3, clay->sand 1/3
// A class never seen to end is given one end over its length (at least `shortest`), shared by
// the others as their logged lengths; every rate is at least 1e-9 / shortest, so that every class
// reaches every other and the proportions are the chain's one stationary distribution.
MarkovRates markovFromBeds(const Beds& beds, double shortest);

}  // namespace reduz::fit
