#include "fit/fitting/least_squares.hpp"

#include <Eigen/Dense>
#include <unsupported/Eigen/NonLinearOptimization>
#include <unsupported/Eigen/NumericalDiff>

namespace reduz::fit {

namespace {

// The residuals as Eigen's Levenberg-Marquardt takes them.
struct Residuals {
    using Scalar = double;
    enum { InputsAtCompileTime = Eigen::Dynamic, ValuesAtCompileTime = Eigen::Dynamic };
    using InputType = Eigen::VectorXd;
    using ValueType = Eigen::VectorXd;
    using JacobianType = Eigen::MatrixXd;
    const ResidualsFn* residuals = nullptr;
    Eigen::Index parameters = 0;
    Eigen::Index points = 0;
    Eigen::Index inputs() const { return parameters; }
    Eigen::Index values() const { return points; }
    // A negative answer stops the search where it stands.
    int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& r) const { return (*residuals)(x.data(), r.data()) ? 0 : -1; }
};

}  // namespace

int searchLeastSquares(std::vector<double>& x, long points, const ResidualsFn& residuals, int maxEvaluations, double xtol,
                       double ftol) {
    const auto size = static_cast<Eigen::Index>(x.size());
    if (points < size) return 0;
    const Residuals functor{&residuals, size, static_cast<Eigen::Index>(points)};
    Eigen::NumericalDiff<Residuals> differences(functor);
    Eigen::LevenbergMarquardt<Eigen::NumericalDiff<Residuals>> search(differences);
    search.parameters.maxfev = maxEvaluations;
    search.parameters.xtol = xtol;
    search.parameters.ftol = ftol;
    Eigen::VectorXd at = Eigen::Map<const Eigen::VectorXd>(x.data(), size);
    const int status = static_cast<int>(search.minimize(at));
    for (Eigen::Index k = 0; k < size; ++k) x[static_cast<std::size_t>(k)] = at(k);
    return status;
}

}  // namespace reduz::fit
