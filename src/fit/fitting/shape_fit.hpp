#pragma once
// One shape of the catalogue fitted to one measured curve by weighted least squares over the
// lags 1..N (h is the lag number, so a fitted range or D is in lags), with parameters that run
// in reduzmodel: whatever is returned as fitted was evaluated by the catalogue's evaluateShape
// at lags 0..N without a failure, so reduzmodel tabulates exactly `fitted`.
//
//   measured 1 - 0.7 (1 - exp(-3 h / 8)) at lags 1..40, weights 1, cross... auto model 3
//     -> sill 0.3, range 8, wrmse about 0, freeParameters 2
//   a fixed sill (the head class's proportion) -> sill as given, range fitted, freeParameters 1
//
// The parameters a shape's value is linear in (the sill; C; the sill and W of the gamma-based
// shapes) are solved for exactly at each step, within their bounds; the optimiser (NLopt's
// Sbplx) moves only the others (range, D, W of the power shape, ALFA, BETA), from the best
// points of a grid of starts. NLopt's round-off stop is a normal end of a search; any other
// failure of the optimiser is a ProgramError. AIC = n ln(WSS / n) + 2k with the weights scaled to a mean of 1,
// n the lags with a weight above 0, k the free parameters; WSS / n is taken at least as the
// smallest normal double, so that curves fitted exactly compare by k.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "models/catalogue.hpp"
#include "models/model_parameters.hpp"

namespace reduz::fit {

// The measured curve at lags 1..N: index lag - 1. A lag not measured has weight 0.
struct FitPoints {
    std::vector<double> measured;
    std::vector<double> weights;
};

// What the optimiser did for a fit, as NLopt reports it; nothing of it is dropped.
struct SearchSummary {
    int searches = 0;  // local searches run, one from each of the best starts
    // NLopt's result (nlopt_result) of the search whose point was kept: 3 the objective's tolerance
    // reached, 4 the parameters', 5 the evaluations' limit, -4 stopped by round-off; 0 when the
    // kept point was not searched from (nothing moved) or none was kept. The Markov chain's
    // searches are Eigen's Levenberg-Marquardt: its status (1 to 4 converged, 5 the evaluations'
    // limit, 6 to 8 the tolerances too small to go on, -1 a chain that overflowed).
    int result = 0;
};

struct ShapeFit {
    const Shape* shape = nullptr;
    ModelParameters parameters;  // kind, model, maxLag N and the fitted values; unused ones at
                                 // reduzmodel's defaults (sill 0.25, range 25, ALFA 2, BETA 1, ...)
    int freeParameters = 0;
    std::vector<double> fitted;  // lags 0..N, as evaluateShape gives them; empty when not fitted
    double wrmse = 0;            // sqrt(sum w r^2 / sum w)
    double aic = 0;
    std::string failure;         // why it is not fitted; empty when it is
    long long evaluations = 0;   // calls of evaluateShape, each over lags 1..N
    SearchSummary search;
};

// "3-Exponential: sill, range" -> "3-Exponential"
std::string_view shapeName(const Shape& shape);

// The lags measured: the points with a weight above 0.
int measuredLags(const FitPoints& points);

// `searches`: how many of the best starts of the grid are searched from.
ShapeFit fitShape(const Shape& shape, const FitPoints& points, std::optional<double> fixedSill, std::size_t searches = 3);

}  // namespace reduz::fit
