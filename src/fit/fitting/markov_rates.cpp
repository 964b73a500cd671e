#include "fit/fitting/markov_rates.hpp"

#include <Eigen/Dense>
#include <unsupported/Eigen/MatrixFunctions>


#include <algorithm>
#include <cassert>
#include <cmath>
#include <string>

#include "fit/fitting/least_squares.hpp"


namespace reduz::fit {

namespace {

using Matrix = Eigen::MatrixXd;

Matrix matrixOf(int n, const std::vector<double>& values) {
    Matrix m(n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) m(i, j) = values[static_cast<std::size_t>(i * n + j)];
    }
    return m;
}

// The rates with the off-diagonal ones given, [from * n + to] less the diagonal, and each row's
// diagonal what makes it sum to 0.
std::vector<double> ratesOf(int n, const double* offDiagonal) {
    std::vector<double> rates(static_cast<std::size_t>(n * n), 0.0);
    for (int i = 0, k = 0; i < n; ++i) {
        double leaving = 0;
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double rate = offDiagonal[k++];
            rates[static_cast<std::size_t>(i * n + j)] = rate;
            leaving += rate;
        }
        rates[static_cast<std::size_t>(i * n + i)] = -leaving;
    }
    return rates;
}

struct Problem {
    const MeasuredCurves& curves;
    int n = 0;
    bool evenLags = true;  // distances k * d1: T at lag k is T(d1)^k
    long long evaluations = 0;
    // The measured points by lag, dense: probability and support at [(lag * n + from) * n + to],
    // support 0 where nothing was measured.
    std::vector<double> measured;
    std::vector<double> supports;
    double low = 0;   // bounds of every log-rate
    double high = 0;
};

void tabulatePoints(Problem& pr) {
    const std::size_t n = static_cast<std::size_t>(pr.n), lags = pr.curves.distances.size();
    pr.measured.assign(lags * n * n, 0.0);
    pr.supports.assign(lags * n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (const MeasuredPoint& point : curveOf(pr.curves, static_cast<int>(i), static_cast<int>(j))) {
                const std::size_t at = (static_cast<std::size_t>(point.lag) * n + i) * n + j;
                pr.measured[at] = point.probability;
                pr.supports[at] = point.support;
            }
        }
    }
}

// The chain with these log-rates (each within [low, high]) against every measured point above
// lag 0: visit(index, sqrt(support) * (measured - T)) for each point with a support above 0, in
// one fixed order. False when T is not finite.
template <typename Visit>
bool visitResiduals(const Problem& pr, const double* logRates, Visit visit) {
    const std::size_t size = static_cast<std::size_t>(pr.n * (pr.n - 1));
    std::vector<double> offDiagonal(size);
    for (std::size_t k = 0; k < size; ++k) offDiagonal[k] = std::exp(std::clamp(logRates[k], pr.low, pr.high));
    const Matrix rates = matrixOf(pr.n, ratesOf(pr.n, offDiagonal.data()));
    const std::vector<double>& distances = pr.curves.distances;
    const std::size_t n = static_cast<std::size_t>(pr.n);
    const Matrix step = (rates * distances[1]).exp();
    // T at each lag in turn, two matrices reused: the chain's K x K products are small enough
    // that the coefficient-wise product beats the blocked one.
    Matrix at = Matrix::Identity(pr.n, pr.n), next(pr.n, pr.n);
    std::size_t index = 0;
    for (std::size_t lag = 1; lag < distances.size(); ++lag) {
        if (pr.evenLags) {
            next.noalias() = at.lazyProduct(step);
            at.swap(next);
        } else {
            at = (rates * distances[lag]).exp();
        }
        if (!at.allFinite()) return false;
        const double* measured = pr.measured.data() + lag * n * n;
        const double* supports = pr.supports.data() + lag * n * n;
        for (std::size_t k = 0; k < n * n; ++k) {
            if (!(supports[k] > 0)) continue;
            const double t = at(static_cast<Eigen::Index>(k / n), static_cast<Eigen::Index>(k % n));
            visit(index++, std::sqrt(supports[k]) * (measured[k] - t));
        }
    }
    return true;
}

// The weighted sum of squares of the chain with these log-rates against every measured point.
double squares(const Problem& pr, const std::vector<double>& logRates) {
    double sum = 0;
    const bool finite = visitResiduals(pr, logRates.data(), [&](std::size_t, double r) { sum += r * r; });
    return finite && std::isfinite(sum) ? sum : HUGE_VAL;
}

// The rate of leaving each class, from its auto-curve at the first lag: t_ii(h) ~ e^(-rate h).
double leavingRate(const MeasuredCurves& curves, int i) {
    const double h = curves.distances[1];
    for (const MeasuredPoint& point : curveOf(curves, i, i)) {
        if (point.lag != 1) continue;
        const double kept = std::clamp(point.probability, 0.05, 0.999);
        return -std::log(kept) / h;
    }
    return 1.0 / (h * static_cast<double>(curves.maxLag));
}

}  // namespace

MarkovRates markovChainOf(int classes, std::vector<double> rates) {
    MarkovRates chain{classes, std::move(rates), {}};
    // p^T R = 0 with the sum of p 1: R^T p = 0, its last equation made the sum.
    Matrix system = matrixOf(classes, chain.rates).transpose();
    system.row(classes - 1).setOnes();
    Eigen::VectorXd right = Eigen::VectorXd::Zero(classes);
    right(classes - 1) = 1;
    const Eigen::VectorXd p = system.fullPivLu().solve(right);
    double total = 0;
    for (int i = 0; i < classes; ++i) total += std::max(p(i), 0.0);
    for (int i = 0; i < classes; ++i) chain.proportions.push_back(std::max(p(i), 0.0) / total);
    return chain;
}

std::vector<double> transitionsAt(const MarkovRates& chain, double h) {
    const Matrix t = (matrixOf(chain.classes, chain.rates) * h).exp();
    // Scaling and squaring rounds a little more with each squaring (1.5e-12 off a row's sum at
    // a thousand mean lengths): each row is taken back to [0, 1] and to its exact sum.
    std::vector<double> values;
    for (int i = 0; i < chain.classes; ++i) {
        double row = 0;
        for (int j = 0; j < chain.classes; ++j) row += std::max(t(i, j), 0.0);
        for (int j = 0; j < chain.classes; ++j) values.push_back(std::max(t(i, j), 0.0) / row);
    }
    return values;
}

MarkovFit fitMarkovRates(const MeasuredCurves& curves, const MarkovRates* start) {
    const int n = static_cast<int>(curves.classes.size());
    assert(n >= 2 && curves.distances.size() >= 2 && "a chain of two classes or more, measured beyond lag 0");
    Problem pr{curves, n, true, 0, {}, {}, 0, 0};
    tabulatePoints(pr);
    for (std::size_t lag = 1; lag < curves.distances.size(); ++lag) {
        const double even = curves.distances[1] * static_cast<double>(lag);
        pr.evenLags = pr.evenLags && std::fabs(curves.distances[lag] - even) <= 1e-12 * even;
    }
    const std::vector<double> shares = sharesOf(curves);
    const unsigned size = static_cast<unsigned>(n * (n - 1));
    // From a hundredth of a rate no lag would show to a hundred leavings a lag.
    const double h = curves.distances[1];
    const std::vector<double> low(size, std::log(1e-4 / (h * static_cast<double>(curves.maxLag)))),
        high(size, std::log(100 / h));
    pr.low = low[0];
    pr.high = high[0];
    Eigen::Index points = 0;
    for (const double support : pr.supports) points += support > 0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(n) * static_cast<std::size_t>(n); ++k) points -= pr.supports[k] > 0;  // lag 0
    const ResidualsFn residuals = [&pr](const double* logRates, double* r) {
        ++pr.evaluations;
        return visitResiduals(pr, logRates, [r](std::size_t k, double value) { r[k] = value; });
    };
    MarkovFit best;
    best.wss = HUGE_VAL;
    // Scale 0 stands for the given start.
    const std::vector<double> scales = start != nullptr ? std::vector<double>{0.0, 1.0} : std::vector<double>{1.0, 0.5, 2.0};
    for (const double scale : scales) {
        std::vector<double> x;
        for (int i = 0; i < n; ++i) {
            const double rest = 1 - shares[static_cast<std::size_t>(i)];
            for (int j = 0; j < n; ++j) {
                if (j == i) continue;
                const double share = rest > 0 ? shares[static_cast<std::size_t>(j)] / rest : 1.0 / (n - 1);
                const double rate = scale == 0 ? start->rates[static_cast<std::size_t>(i * n + j)]
                                               : scale * leavingRate(curves, i) * share;
                x.push_back(std::clamp(std::log(std::max(rate, 1e-300)), low[0], high[0]));
            }
        }
        // A thousandth of a rate is far finer than any measured set tells rates apart.
        const int result = searchLeastSquares(x, static_cast<long>(points), residuals, static_cast<int>(60 * (size + 1)));
        for (double& logRate : x) logRate = std::clamp(logRate, low[0], high[0]);
        ++best.search.searches;
        const double least = squares(pr, x);
        if (!(least < best.wss)) continue;
        std::vector<double> offDiagonal(size);
        for (unsigned k = 0; k < size; ++k) offDiagonal[k] = std::exp(x[k]);
        best.chain = markovChainOf(n, ratesOf(n, offDiagonal.data()));
        best.wss = least;
        best.search.result = result;
    }
    best.evaluations = pr.evaluations;
    return best;
}

MarkovRates markovFromBeds(const Beds& beds, double shortest) {
    const int n = beds.classes;
    const auto at = [n](int i, int j) { return static_cast<std::size_t>(i * n + j); };
    double total = 0;
    for (const double length : beds.loggedLength) total += length;
    std::vector<double> offDiagonal;
    for (int i = 0; i < n; ++i) {
        long long ends = 0;
        for (int j = 0; j < n; ++j) ends += beds.transitions[at(i, j)];
        const double length = std::max(beds.loggedLength[static_cast<std::size_t>(i)], shortest);
        const double others = total - beds.loggedLength[static_cast<std::size_t>(i)];
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            double rate = static_cast<double>(beds.transitions[at(i, j)]) / length;
            if (ends == 0) {
                const double share = others > 0 ? beds.loggedLength[static_cast<std::size_t>(j)] / others : 1.0 / (n - 1);
                rate = share / length;
            }
            offDiagonal.push_back(std::max(rate, 1e-9 / shortest));
        }
    }
    return markovChainOf(n, ratesOf(n, offDiagonal.data()));
}

}  // namespace reduz::fit
