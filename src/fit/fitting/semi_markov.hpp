#pragma once
// A semi-Markov chain of beds, the second family of models valid by construction: the class of
// the next bed is drawn from the embedded chain P (zero diagonal, rows summing to 1), and each
// bed's thickness from its class's gamma distribution (shape alpha_k, mean m_k). Its stationary
// transiograms show what no Markov chain has: auto-curves that dip below their sill and rise
// again (hole effects) and cross curves that peak, for shapes above 1; with every shape 1 it is
// the Markov chain with rates R_kk = -1/m_k, R_kj = P_kj / m_k.
//
//   two classes, A beds of mean 1, B beds of mean 2, both gamma of shape 4:
//     semiMarkovOf(2, {0, 1, 1, 0}, {4, 4}, {1, 2}, 20) -> proportions {1/3, 2/3}
//     semiMarkovAt(chain, 1.25) -> t_AA 0.185 (its sill 1/3: a hole effect), t_AB 0.815 (a peak)
//     semiMarkovAt(chain, 3)    -> t_AA 0.368, t_AB 0.632;  at 10: 1/3, 2/3 to 1e-4
//
// The curves are tabulated once, on a grid of `spacing` to `horizon`, by a renewal equation:
// with F_k, S_k = 1 - F_k the gamma distribution and survival of class k's thickness,
// phi_kj(s), the probability of class j at s when a bed of k starts at 0, obeys
//     phi(s) = diag(S(s)) + int_0^s diag(f(u)) P phi(s - u) du,
// and the stationary curves take the residual thickness instead of the whole (the bed a
// point falls in is cut by the point; its rest has density S_k(x) / m_k):
//     t(h) = diag(1 - R(h)) + int_0^h diag(r(u)) P phi(h - u) du.
// Both integrals are taken over the grid's cells exactly for the density (by regularized
// incomplete gamma functions, Eigen's igamma and igammac) against phi interpolated linearly
// between the grid's points: every coefficient is at least 0 and a row's coefficients sum
// to exactly what the row's sum of 1 needs, so every tabulated row is a probability vector
// (each is taken back to [0, 1] and to its exact sum against rounding). The error is of second
// order in the spacing. Between the grid's points the curves are interpolated linearly (a
// convex combination of valid rows); beyond the horizon they are blended towards the
// proportions, with a weight that decays from 1 at the horizon, so that every distance h >= 0
// gives a valid T(h), T(0) the identity exactly, and T(h) tends to 1 p^T.

#include <vector>

#include "fit/base/beds.hpp"
#include "fit/fitting/markov_rates.hpp"
#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/shape_fit.hpp"

namespace reduz::fit {

struct SemiMarkov {
    int classes = 0;
    std::vector<double> embedded;     // P at [from * classes + to]: zero diagonal, rows summing to 1
    std::vector<double> shapes;       // the gamma shape of each class's thickness
    std::vector<double> means;        // each class's mean bed thickness, in the curves' units
    std::vector<double> proportions;  // pi_k m_k / sum, pi the embedded chain's stationary distribution
    // The tabulated transiograms: T(n * spacing) for n = 0..cells at [(n * classes + from) *
    // classes + to]; beyond horizon = cells * spacing, T blends towards 1 p^T over `decay`.
    double spacing = 0;
    int cells = 0;
    double horizon = 0;
    double decay = 0;
    std::vector<double> table;
};

// The finest spacing semiMarkovOf takes: a twentieth of the smallest class's scale of
// thickness (its mean, or for shapes above 1 its standard deviation, m / sqrt(alpha)), made a
// whole fraction of `step` when a step is given, so that the lags k * step fall on the grid.
// The spacing is at least the horizon (1.25 * farthest) over 3000 cells (before it is made a
// fraction of the step): a coarser spacing than the scale asks keeps the curves valid, less
// accurate for the classes whose beds are thinner than a few cells. The cost is about
// cells * (the cells a class's bed spans) * K^2: 22 ms for 6 classes of means near 1 to 50.
double semiMarkovSpacing(const std::vector<double>& shapes, const std::vector<double>& means, double farthest,
                         double step);

// The chain with its proportions and its curves tabulated beyond `farthest` (the largest
// distance a caller will ask for often, the largest lag's distance), at semiMarkovSpacing's
// spacing. `embedded`'s rows must sum to 1 with a zero diagonal, shapes and means be above 0,
// farthest above 0 (at 0 the horizon is taken as four times the largest mean). A chain that
// is not irreducible takes as proportions one stationary distribution of its embedded chain.
SemiMarkov semiMarkovOf(int classes, std::vector<double> embedded, std::vector<double> shapes, std::vector<double> means,
                        double farthest, double step = 0);

// The same with the grid given: `spacing` above 0, cells at least 1.
SemiMarkov semiMarkovOnGrid(int classes, std::vector<double> embedded, std::vector<double> shapes,
                            std::vector<double> means, double spacing, int cells);

// The semi-Markov chain of a Markov chain: P_kj = R_kj / -R_kk, m_k = 1 / -R_kk, shapes 1. A
// class that is never left (R_kk = 0) passes to the others by their proportions, its mean
// 10 * farthest (10 with farthest 0).
SemiMarkov semiMarkovOfMarkov(const MarkovRates& chain, double farthest, double step = 0);

// T(h) at [from * classes + to], for any h >= 0 in the curves' units of distance.
std::vector<double> semiMarkovAt(const SemiMarkov& chain, double h);

struct SemiMarkovFit {
    SemiMarkov chain;
    // fitSemiMarkovBeds: each class's thickness search (searches 0: the class's thickness was
    // not searched for, see below); fitSemiMarkovCurves: empty.
    std::vector<SearchSummary> thickness;
    // fitSemiMarkovCurves: the optimiser's outcome; fitSemiMarkovBeds: searches the classes'
    // searches in all, result 0.
    SearchSummary search;
    double logLikelihood = 0;  // fitSemiMarkovBeds: of the whole and cut beds at the fitted gammas
    double wss = 0;            // fitSemiMarkovCurves: sum of support * (measured - T(h))^2
    long long evaluations = 0;
};

// The chain of the beds, by maximum likelihood:
//  - P from the transition counts, each row normalised. A class never left has its row shared
//    by the other classes' shares of the logged length (evenly when they have none). A class
//    with no beds at all is never entered by the counts, so its proportion is 0; its row is
//    shared likewise and its thickness taken as below.
//  - each class's gamma (shape in [0.05, 100], mean above 0) by maximum likelihood with right
//    censoring: the whole beds contribute their density, the cut ones their survival, searched
//    by searchLocally from the whole beds' moments. With fewer than 2 whole beds: shape 1 and
//    the censored exponential estimate, mean = logged length / beds ended (the beds of the class
//    followed by another); with none ended, the logged length itself (as if one bed ended at
//    its end); with no beds at all, the mean of every class's ended beds, or 1 without any.
//    Beds of length 0 are taken as a millionth of the class's mean whole bed.
// The curves are tabulated beyond `farthest` as semiMarkovOf does.
SemiMarkovFit fitSemiMarkovBeds(const Beds& beds, double farthest, double step = 0);

// The chain fitted to every measured curve at once by least squares weighted by the support,
// from `start` (a Markov fit's chain, by semiMarkovOfMarkov) and from `start` with its shapes
// three times theirs, the better kept: the embedded rows, the shapes (0.05 to 100) and the means
// all move. While searching, the curves are tabulated on `start`'s spacing, coarsened to at
// most 400 cells to the largest lag and made a whole fraction of the step; the chain returned
// is tabulated afresh by semiMarkovOf to the largest lag. Each search stops at 400 + 200 K^2
// evaluations (search.result 5 then). Needs at least two classes and a lag above 0 measured.
//
//   the curves of 400 holes of a 3-class chain of gamma-4 beds -> wss 30 where the Markov
//   chain's is 1732, curves within 0.004 of the truth on average (the Markov chain's 0.017)
SemiMarkovFit fitSemiMarkovCurves(const MeasuredCurves& curves, const SemiMarkov& start);

}  // namespace reduz::fit
