#pragma once
// One local search of a weighted least-squares fit by Eigen's Levenberg-Marquardt
// (unsupported/Eigen/NonLinearOptimization), its Jacobian by forward differences: for the chains
// fitted to every measured curve at once, where a simplex over dozens of parameters would need
// tens of thousands of evaluations and this a few dozen a parameter. Its status is kept.
//
//   residuals r_k = sqrt(w_k) (measured_k - model_k(x)) at 7,200 points, x 30 log-rates
//     -> searchLeastSquares(x, 7200, residuals, 1860) -> 2 (the parameters' tolerance), x the point

#include <functional>
#include <vector>

namespace reduz::fit {

// Fills residuals[0..points) at x; false where the model cannot be evaluated there.
using ResidualsFn = std::function<bool(const double* x, double* residuals)>;

// x starts the search and holds its end. Returns Eigen's status: 1 to 4 converged, 5 the
// evaluations' limit, 6 to 8 the tolerances too small to go on, -1 a point the residuals could
// not be taken at. Fewer points than parameters: nothing is searched, 0.
int searchLeastSquares(std::vector<double>& x, long points, const ResidualsFn& residuals, int maxEvaluations,
                       double xtol = 1e-4, double ftol = 1e-8);

}  // namespace reduz::fit
