#include "fit/fitting/semi_markov.hpp"

#include <Eigen/Dense>
#include <unsupported/Eigen/SpecialFunctions>

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>

#include "fit/fitting/least_squares.hpp"
#include "fit/fitting/local_search.hpp"

namespace reduz::fit {

namespace {

using Matrix = Eigen::MatrixXd;

constexpr int mostCells = 3000;       // of a grid semiMarkovOf chooses
constexpr double cellsAScale = 20;    // cells to the smallest class's scale of thickness
constexpr double horizonPast = 1.25;  // the horizon, in farthest distances
constexpr double negligible = 1e-13;  // a tail of a bed's thickness the sums pass over
constexpr double leastShape = 0.05, mostShape = 100;

double at(const std::vector<double>& v, int i) { return v[static_cast<std::size_t>(i)]; }
double& at(std::vector<double>& v, int i) { return v[static_cast<std::size_t>(i)]; }

double lowerGamma(double shape, double z) { return Eigen::numext::igamma(shape, z); }   // regularized P(a, z)
double upperGamma(double shape, double z) { return Eigen::numext::igammac(shape, z); }  // regularized Q(a, z)

// The n values of `row` taken to at least 0 and divided by their sum.
void normalise(double* row, int n) {
    double sum = 0;
    for (int j = 0; j < n; ++j) {
        row[j] = std::max(row[j], 0.0);
        sum += row[j];
    }
    for (int j = 0; j < n; ++j) row[j] = std::min(row[j] / sum, 1.0);
}

// The stationary distribution of the embedded chain: P^T pi = pi, its last equation made the sum.
std::vector<double> stationaryOf(int n, const std::vector<double>& embedded) {
    Matrix system(n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) system(i, j) = at(embedded, j * n + i) - (i == j ? 1.0 : 0.0);
    }
    system.row(n - 1).setOnes();
    Eigen::VectorXd right = Eigen::VectorXd::Zero(n);
    right(n - 1) = 1;
    const Eigen::VectorXd pi = system.fullPivLu().solve(right);
    std::vector<double> values(static_cast<std::size_t>(n));
    double total = 0;
    for (int i = 0; i < n; ++i) total += std::max(pi(i), 0.0);
    for (int i = 0; i < n; ++i) at(values, i) = total > 0 && std::isfinite(total) ? std::max(pi(i), 0.0) / total : 1.0 / n;
    return values;
}

// A density's integral over the cell u in [start, start + d] against the linear interpolant of
// phi(s - u), split into the weight of the cell's nearer end (u = start) and of its farther
// end, from the cell's mass and first moment: both at least 0, summing to the mass.
void splitCell(double mass, double firstMoment, double start, double d, double& near, double& far) {
    const double whole = std::max(mass, 0.0);
    far = std::clamp((firstMoment - start * mass) / d, 0.0, whole);
    near = whole - far;
}

// One class on the grid, by grid point n = 0..cells + 1 (for the cells, the cell n over
// u in [(n - 1) d, n d]): the survival S(n d) of a bed, the rest 1 - R(n d) of a point's bed,
// and the cells' near and far weights of the thickness' density f and of the rest's S / m.
struct ClassGrid {
    std::vector<double> survival, rest, bedNear, bedFar, restNear, restFar;
};

ClassGrid gridOf(double shape, double mean, double d, int cells) {
    ClassGrid g;
    const std::size_t size = static_cast<std::size_t>(cells) + 2;
    for (std::vector<double>* v : {&g.survival, &g.rest, &g.bedNear, &g.bedFar, &g.restNear, &g.restFar}) v->assign(size, 0.0);
    g.survival[0] = 1;
    g.rest[0] = 1;
    const double scale = mean / shape;
    // At x: F the distribution, M = int_0^x u f = m F_(a+1), R = int_0^x S / m = x S / m + F_(a+1),
    // G = int_0^x u S / m = (x^2 S + a (a + 1) scale^2 F_(a+2)) / (2 m).
    double lastF = 0, lastM = 0, lastR = 0, lastG = 0;
    for (int n = 1; n <= cells + 1; ++n) {
        const std::size_t i = static_cast<std::size_t>(n);
        if (g.survival[i - 1] < negligible && g.rest[i - 1] < negligible) break;  // the rest stays 0
        const double x = n * d, z = x / scale;
        const double f = lowerGamma(shape, z), s = upperGamma(shape, z);
        const double f1 = lowerGamma(shape + 1, z), f2 = lowerGamma(shape + 2, z);
        const double m = mean * f1;
        const double r = std::min(x * s / mean + f1, 1.0);
        const double gr = (x * x * s + shape * (shape + 1) * scale * scale * f2) / (2 * mean);
        g.survival[i] = s;
        g.rest[i] = 1 - r;
        const double start = (n - 1) * d;
        splitCell(f - lastF, m - lastM, start, d, g.bedNear[i], g.bedFar[i]);
        splitCell(r - lastR, gr - lastG, start, d, g.restNear[i], g.restFar[i]);
        lastF = f;
        lastM = m;
        lastR = r;
        lastG = gr;
    }
    return g;
}

// T(n d) for n = 0..cells. phi(n) and t(n) are sums over the cells m = 1..n of the cell's
// weights times P phi at its ends, n - m + 1 (near) and n - m (far); Q(l) = P phi(l) is kept
// for every l, so that both sums cost K^2 a cell, and each row's sums stop where its class's
// bed and rest have less than `negligible` left (the row's sum is then short by less than
// 1e-13, and taken back to 1).
void tabulate(SemiMarkov& chain) {
    const int n = chain.classes, cells = chain.cells, kk = n * n;
    const double d = chain.spacing;
    std::vector<ClassGrid> grids;
    for (int k = 0; k < n; ++k) grids.push_back(gridOf(at(chain.shapes, k), at(chain.means, k), d, cells));
    // By class k: the cells its row sums over, and the coefficient of Q(l)'s row k in phi(n) and
    // t(n) by distance e = n - l at [k * (reach + 1) + e]: the far end of cell e and the near end
    // of cell e + 1. For l = 0 only the far end of cell n counts, and at e = 0 the near end of
    // cell 1 (phi's implicit term, t's last).
    std::vector<int> reach;
    for (const ClassGrid& g : grids) {
        int e = cells;
        while (e > 1 && g.survival[static_cast<std::size_t>(e - 1)] < negligible &&
               g.rest[static_cast<std::size_t>(e - 1)] < negligible) {
            --e;
        }
        reach.push_back(e);
    }
    const int longest = *std::max_element(reach.begin(), reach.end()), stride = longest + 1;
    std::vector<double> bedBoth(static_cast<std::size_t>(n * stride), 0.0), restBoth(bedBoth.size(), 0.0);
    for (int k = 0; k < n; ++k) {
        const ClassGrid& g = grids[static_cast<std::size_t>(k)];
        for (int e = 1; e <= reach[static_cast<std::size_t>(k)]; ++e) {
            const std::size_t i = static_cast<std::size_t>(e);
            at(bedBoth, k * stride + e) = g.bedFar[i] + g.bedNear[i + 1];
            at(restBoth, k * stride + e) = g.restFar[i] + g.restNear[i + 1];
        }
    }
    Matrix p(n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) p(i, j) = at(chain.embedded, i * n + j);
    }
    Matrix implicit = Matrix::Identity(n, n);  // (I - diag(near of cell 1) P) phi(n) = the rest
    for (int k = 0; k < n; ++k) implicit.row(k) -= grids[static_cast<std::size_t>(k)].bedNear[1] * p.row(k);
    const Eigen::PartialPivLU<Matrix> solver(implicit);

    // Q(l) at [l * wide + k * row + j], each row padded to a whole number of blocks.
    constexpr int block = 2;  // entries of a row summed at once, in registers
    const int row = (n + block - 1) / block * block, wide = n * row;
    std::vector<double> q(static_cast<std::size_t>((cells + 1) * wide), 0.0);
    chain.table.assign(static_cast<std::size_t>((cells + 1) * kk), 0.0);
    for (int k = 0; k < n; ++k) {
        at(chain.table, k * n + k) = 1;
        for (int j = 0; j < n; ++j) at(q, k * row + j) = p(k, j);  // P phi(0) = P
    }
    std::vector<double> phiSum(static_cast<std::size_t>(wide)), tSum(phiSum.size());
    Matrix phi(n, n), right(n, n);
    for (int step = 1; step <= cells; ++step) {
        for (int k = 0; k < n; ++k) {
            const int from = std::max(1, step - reach[static_cast<std::size_t>(k)]);
            const double* bed = bedBoth.data() + k * stride + step;  // bed[-l]: distance step - l
            const double* rest = restBoth.data() + k * stride + step;
            for (int first = k * row; first < (k + 1) * row; first += block) {
                double phiPart[block] = {}, tPart[block] = {};
                for (int l = from; l < step; ++l) {
                    const double b = bed[-l], r = rest[-l];
                    const double* ql = q.data() + l * wide + first;
                    for (int i = 0; i < block; ++i) {
                        phiPart[i] += b * ql[i];
                        tPart[i] += r * ql[i];
                    }
                }
                for (int i = 0; i < block; ++i) {
                    at(phiSum, first + i) = phiPart[i];
                    at(tSum, first + i) = tPart[i];
                }
            }
            const ClassGrid& g = grids[static_cast<std::size_t>(k)];
            const std::size_t i = static_cast<std::size_t>(step);
            if (step <= reach[static_cast<std::size_t>(k)]) {  // l = 0: the far end of cell `step` alone
                for (int j = 0; j < n; ++j) {
                    at(phiSum, k * row + j) += g.bedFar[i] * at(q, k * row + j);
                    at(tSum, k * row + j) += g.restFar[i] * at(q, k * row + j);
                }
            }
            at(phiSum, k * row + k) += g.survival[i];
            at(tSum, k * row + k) += g.rest[i];
            for (int j = 0; j < n; ++j) right(k, j) = at(phiSum, k * row + j);
        }
        phi = solver.solve(right);
        // Only rounding can take phi off [0, 1] or its rows off 1: (I - diag(w) P)^-1 is >= 0.
        for (int k = 0; k < n; ++k) {
            double sum = 0;
            for (int j = 0; j < n; ++j) {
                phi(k, j) = std::max(phi(k, j), 0.0);
                sum += phi(k, j);
            }
            phi.row(k) /= sum;
        }
        const Matrix next = p * phi;
        double* qn = q.data() + step * wide;
        double* t = chain.table.data() + step * kk;
        for (int k = 0; k < n; ++k) {
            const double r = grids[static_cast<std::size_t>(k)].restNear[1];
            for (int j = 0; j < n; ++j) {
                qn[k * row + j] = next(k, j);
                t[k * n + j] = at(tSum, k * row + j) + r * next(k, j);
            }
            normalise(t + k * n, n);
        }
    }
}

// How far past the horizon T keeps to the table: the table's own rate of approach to the
// proportions, from the largest departure in its second quarter against its last.
double decayOf(const SemiMarkov& chain) {
    const int n = chain.classes, kk = n * n, cells = chain.cells;
    const auto departure = [&](int from, int to) {
        double most = 0;
        for (int c = from; c <= to; ++c) {
            for (int i = 0; i < kk; ++i) {
                most = std::max(most, std::fabs(at(chain.table, c * kk + i) - at(chain.proportions, i % n)));
            }
        }
        return most;
    };
    const double longest = *std::max_element(chain.means.begin(), chain.means.end());
    if (cells < 4) return longest;
    const double early = departure(cells / 4, cells / 2), late = departure(3 * cells / 4, cells);
    if (!(late > 0) || !(early > late)) return longest;
    const double decay = (cells / 2) * chain.spacing / std::log(early / late);
    return std::clamp(decay, chain.spacing, 10 * chain.horizon);
}

SemiMarkov chainOf(int classes, std::vector<double> embedded, std::vector<double> shapes, std::vector<double> means,
                   double spacing, int cells) {
    assert(classes >= 1 && embedded.size() == static_cast<std::size_t>(classes * classes));
    assert(shapes.size() == static_cast<std::size_t>(classes) && means.size() == shapes.size());
    assert(spacing > 0 && cells >= 1);
    SemiMarkov chain;
    chain.classes = classes;
    chain.embedded = std::move(embedded);
    chain.shapes = std::move(shapes);
    chain.means = std::move(means);
    const std::vector<double> pi = stationaryOf(classes, chain.embedded);
    double total = 0;
    for (int k = 0; k < classes; ++k) total += at(pi, k) * at(chain.means, k);
    for (int k = 0; k < classes; ++k) chain.proportions.push_back(at(pi, k) * at(chain.means, k) / total);
    chain.spacing = spacing;
    chain.cells = cells;
    chain.horizon = spacing * cells;
    tabulate(chain);
    chain.decay = decayOf(chain);
    return chain;
}

double horizonFor(const std::vector<double>& means, double farthest, double step) {
    const double longest = *std::max_element(means.begin(), means.end());
    return std::max(farthest > 0 ? horizonPast * farthest : 4 * longest, step);
}

}  // namespace

double semiMarkovSpacing(const std::vector<double>& shapes, const std::vector<double>& means, double farthest,
                         double step) {
    double scale = HUGE_VAL;
    for (std::size_t k = 0; k < means.size(); ++k) scale = std::min(scale, means[k] / std::max(1.0, std::sqrt(shapes[k])));
    double spacing = std::max(scale / cellsAScale, horizonFor(means, farthest, step) / mostCells);
    if (step > 0) spacing = step / std::ceil(step / spacing);
    return spacing;
}

SemiMarkov semiMarkovOf(int classes, std::vector<double> embedded, std::vector<double> shapes, std::vector<double> means,
                        double farthest, double step) {
    const double spacing = semiMarkovSpacing(shapes, means, farthest, step);
    const double horizon = horizonFor(means, farthest, step);
    const int cells = std::max(1, static_cast<int>(std::ceil(horizon / spacing - 1e-9)));
    return chainOf(classes, std::move(embedded), std::move(shapes), std::move(means), spacing, cells);
}

SemiMarkov semiMarkovOnGrid(int classes, std::vector<double> embedded, std::vector<double> shapes,
                            std::vector<double> means, double spacing, int cells) {
    return chainOf(classes, std::move(embedded), std::move(shapes), std::move(means), spacing, cells);
}

SemiMarkov semiMarkovOfMarkov(const MarkovRates& chain, double farthest, double step) {
    const int n = chain.classes;
    std::vector<double> embedded(static_cast<std::size_t>(n * n), 0.0), means, shapes(static_cast<std::size_t>(n), 1.0);
    for (int i = 0; i < n; ++i) {
        const double leaving = -at(chain.rates, i * n + i);
        double rest = 0;
        for (int j = 0; j < n; ++j) rest += j == i ? 0 : at(chain.proportions, j);
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            at(embedded, i * n + j) = leaving > 0 ? at(chain.rates, i * n + j) / leaving
                                      : rest > 0  ? at(chain.proportions, j) / rest
                                                  : 1.0 / (n - 1);
        }
        means.push_back(leaving > 0 ? 1 / leaving : 10 * (farthest > 0 ? farthest : 1.0));
    }
    return semiMarkovOf(n, std::move(embedded), std::move(shapes), std::move(means), farthest, step);
}

std::vector<double> semiMarkovAt(const SemiMarkov& chain, double h) {
    assert(h >= 0 && "a distance of 0 or more");
    const int n = chain.classes, kk = n * n;
    std::vector<double> values(static_cast<std::size_t>(kk));
    const double x = h / chain.spacing;
    if (!(x > 0)) {
        std::copy(chain.table.begin(), chain.table.begin() + kk, values.begin());
        return values;
    }
    if (x >= chain.cells) {
        const double kept = std::exp(-(h - chain.horizon) / chain.decay);
        const double* last = chain.table.data() + chain.cells * kk;
        for (int i = 0; i < kk; ++i) at(values, i) = kept * last[i] + (1 - kept) * at(chain.proportions, i % n);
    } else {
        const int cell = static_cast<int>(x);
        const double part = x - cell;
        const double* low = chain.table.data() + cell * kk;
        for (int i = 0; i < kk; ++i) at(values, i) = part > 0 ? (1 - part) * low[i] + part * low[i + kk] : low[i];
    }
    for (int i = 0; i < n; ++i) normalise(values.data() + i * n, n);
    return values;
}

// ---- the chain of the beds ----

namespace {

struct ThicknessProblem {
    double count = 0, sumLength = 0, sumLog = 0;  // of the whole beds
    std::vector<double> cut;
    long long evaluations = 0;
};

// The log-likelihood of the whole beds (their density) and the cut ones (their survival) for a
// gamma of this shape and mean.
double logLikelihood(const ThicknessProblem& pr, double shape, double mean) {
    const double scale = mean / shape;
    double sum = (shape - 1) * pr.sumLog - pr.sumLength / scale - pr.count * (shape * std::log(scale) + std::lgamma(shape));
    for (const double length : pr.cut) sum += std::log(std::max(upperGamma(shape, length / scale), DBL_MIN));
    return sum;
}

double thicknessObjective(unsigned, const double* x, double*, void* data) {
    ThicknessProblem& pr = *static_cast<ThicknessProblem*>(data);
    ++pr.evaluations;
    const double value = -logLikelihood(pr, std::exp(x[0]), std::exp(x[1]));
    return std::isfinite(value) ? value : HUGE_VAL;
}

}  // namespace

SemiMarkovFit fitSemiMarkovBeds(const Beds& beds, double farthest, double step) {
    const int n = beds.classes;
    const auto size = static_cast<std::size_t>(n);
    assert(n >= 2 && "a chain of two classes or more");
    assert(beds.loggedLength.size() == size && beds.transitions.size() == size * size && beds.whole.size() == size &&
           beds.cut.size() == size);
    double logged = 0, endedAll = 0;
    std::vector<double> ended(size, 0.0);
    for (int k = 0; k < n; ++k) {
        logged += beds.loggedLength[static_cast<std::size_t>(k)];
        for (int j = 0; j < n; ++j) {
            if (j != k) ended[static_cast<std::size_t>(k)] += static_cast<double>(beds.transitions[static_cast<std::size_t>(k * n + j)]);
        }
        endedAll += ended[static_cast<std::size_t>(k)];
    }
    std::vector<double> embedded(size * size, 0.0);
    for (int k = 0; k < n; ++k) {
        const std::size_t c = static_cast<std::size_t>(k);
        double others = 0;
        for (int j = 0; j < n; ++j) others += j == k ? 0 : beds.loggedLength[static_cast<std::size_t>(j)];
        for (int j = 0; j < n; ++j) {
            if (j == k) continue;
            const std::size_t i = static_cast<std::size_t>(k * n + j);
            embedded[i] = ended[c] > 0    ? static_cast<double>(beds.transitions[i]) / ended[c]
                          : others > 0 ? beds.loggedLength[static_cast<std::size_t>(j)] / others
                                       : 1.0 / (n - 1);
        }
    }
    SemiMarkovFit fit;
    fit.thickness.assign(size, SearchSummary{});
    std::vector<double> shapes(size, 1.0), means(size, 1.0);
    const double everyMean = endedAll > 0 ? logged / endedAll : 1.0;
    for (int k = 0; k < n; ++k) {
        const std::size_t c = static_cast<std::size_t>(k);
        const std::vector<double>& whole = beds.whole[c];
        ThicknessProblem pr;
        pr.cut = beds.cut[c];
        for (double& length : pr.cut) length = std::max(length, 0.0);
        double sum = 0;
        for (const double length : whole) sum += length;
        const double wholeMean = whole.empty() ? 0 : sum / static_cast<double>(whole.size());
        const double least = 1e-6 * (wholeMean > 0 ? wholeMean : everyMean);
        double squares = 0;
        for (const double length : whole) {
            const double x = std::max(length, least);
            pr.count += 1;
            pr.sumLength += x;
            pr.sumLog += std::log(x);
            squares += (x - wholeMean) * (x - wholeMean);
        }
        if (whole.size() < 2 || !(wholeMean > 0)) {
            shapes[c] = 1;
            means[c] = ended[c] > 0 ? beds.loggedLength[c] / ended[c] : beds.loggedLength[c] > 0 ? beds.loggedLength[c] : everyMean;
        } else {
            const double variance = squares / static_cast<double>(whole.size() - 1);
            const double shape = variance > 0 ? std::clamp(wholeMean * wholeMean / variance, leastShape, mostShape) : mostShape;
            std::vector<double> x{std::log(shape), std::log(wholeMean)};
            const SearchBox box{{std::log(leastShape), std::log(wholeMean) - std::log(1e3)},
                                {std::log(mostShape), std::log(wholeMean) + std::log(1e3)},
                                {0.3, 0.1},
                                1e-7,
                                1e-13,
                                2000};
            fit.thickness[c].result = searchLocally(box, thicknessObjective, &pr, x, "the thickness of a bed");
            fit.thickness[c].searches = 1;
            ++fit.search.searches;
            shapes[c] = std::exp(x[0]);
            means[c] = std::exp(x[1]);
        }
        fit.logLikelihood += logLikelihood(pr, shapes[c], means[c]);
        fit.evaluations += pr.evaluations;
    }
    fit.chain = semiMarkovOf(n, std::move(embedded), std::move(shapes), std::move(means), farthest, step);
    return fit;
}

// ---- the chain of the curves ----

namespace {

struct CurveProblem {
    const MeasuredCurves& curves;
    int n = 0;
    double spacing = 0;
    int cells = 0;
    std::vector<int> reference;  // by row: the class whose weight is 1, the others' relative to it
    long long evaluations = 0;
    std::vector<double> low;     // the parameters' bounds
    std::vector<double> high;
};

// The parameters' chain: per row the log-weights of its classes but the diagonal and its
// reference (so that no direction of the search leaves the chain as it is), then the
// log-shapes, then the log-means.
SemiMarkov chainOfParameters(const CurveProblem& pr, const double* x) {
    const int n = pr.n;
    std::vector<double> embedded(static_cast<std::size_t>(n * n), 0.0), shapes, means;
    for (int i = 0, k = 0; i < n; ++i) {
        const int reference = pr.reference[static_cast<std::size_t>(i)];
        double sum = 0;
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double w = j == reference ? 1.0 : std::exp(x[k++]);
            at(embedded, i * n + j) = w;
            sum += w;
        }
        for (int j = 0; j < n; ++j) at(embedded, i * n + j) /= sum;
    }
    const int offset = n * (n - 2);
    for (int k = 0; k < n; ++k) shapes.push_back(std::exp(x[offset + k]));
    for (int k = 0; k < n; ++k) means.push_back(std::exp(x[offset + n + k]));
    return semiMarkovOnGrid(n, std::move(embedded), std::move(shapes), std::move(means), pr.spacing, pr.cells);
}

double curveSquares(const CurveProblem& pr, const double* x) {
    const SemiMarkov chain = chainOfParameters(pr, x);
    std::vector<std::vector<double>> atLag;
    for (const double distance : pr.curves.distances) atLag.push_back(semiMarkovAt(chain, distance));
    double sum = 0;
    for (int i = 0; i < pr.n; ++i) {
        for (int j = 0; j < pr.n; ++j) {
            for (const MeasuredPoint& point : curveOf(pr.curves, i, j)) {
                const double r = point.probability - at(atLag[static_cast<std::size_t>(point.lag)], i * pr.n + j);
                sum += point.support * r * r;
            }
        }
    }
    return std::isfinite(sum) ? sum : HUGE_VAL;
}

// sqrt(support) * (measured - T) at every point with a support above 0, in one fixed order, at
// the parameters taken within their bounds.
bool curveResiduals(const CurveProblem& pr, const double* x, double* residuals) {
    std::vector<double> within(pr.low.size());
    for (std::size_t k = 0; k < within.size(); ++k) within[k] = std::clamp(x[k], pr.low[k], pr.high[k]);
    const SemiMarkov chain = chainOfParameters(pr, within.data());
    std::vector<std::vector<double>> atLag;
    for (const double distance : pr.curves.distances) atLag.push_back(semiMarkovAt(chain, distance));
    std::size_t k = 0;
    for (int i = 0; i < pr.n; ++i) {
        for (int j = 0; j < pr.n; ++j) {
            for (const MeasuredPoint& point : curveOf(pr.curves, i, j)) {
                if (!(point.support > 0)) continue;
                const double r = point.probability - at(atLag[static_cast<std::size_t>(point.lag)], i * pr.n + j);
                residuals[k++] = std::sqrt(point.support) * r;
                if (!std::isfinite(r)) return false;
            }
        }
    }
    return true;
}


}  // namespace

SemiMarkovFit fitSemiMarkovCurves(const MeasuredCurves& curves, const SemiMarkov& start) {
    const int n = static_cast<int>(curves.classes.size());
    assert(n >= 2 && curves.distances.size() >= 2 && start.classes == n && "a chain of two classes or more, measured beyond lag 0");
    const double step = curves.distances[1], farthest = curves.distances.back();
    // The start's spacing, coarsened so that the grid holds at most 400 cells to the farthest
    // lag, and made a whole fraction of the step.
    double spacing = std::max(start.spacing > 0 ? start.spacing : step, farthest / 400);
    spacing = step / std::ceil(step / spacing - 1e-9);
    CurveProblem pr{curves, n, spacing, std::max(1, static_cast<int>(std::ceil(farthest / spacing - 1e-9)) + 1), {}, 0, {}, {}};
    const unsigned size = static_cast<unsigned>(n * n);
    std::vector<double> low, high, first;
    for (int i = 0; i < n; ++i) {
        int reference = i == 0 ? 1 : 0;  // the row's largest entry
        for (int j = 0; j < n; ++j) {
            if (j != i && at(start.embedded, i * n + j) > at(start.embedded, i * n + reference)) reference = j;
        }
        pr.reference.push_back(reference);
        const double largest = at(start.embedded, i * n + reference);
        for (int j = 0; j < n; ++j) {
            if (j == i || j == reference) continue;
            low.push_back(-12);
            high.push_back(12);
            first.push_back(std::clamp(std::log(std::max(at(start.embedded, i * n + j) / largest, 1e-300)), -12.0, 0.0));
        }
    }
    for (int k = 0; k < n; ++k) {
        low.push_back(std::log(leastShape));
        high.push_back(std::log(mostShape));
        first.push_back(std::clamp(std::log(at(start.shapes, k)), low.back(), high.back()));
    }
    for (int k = 0; k < n; ++k) {
        const double mean = at(start.means, k);
        low.push_back(std::log(std::min(mean / 100, step / 10)));
        high.push_back(std::log(std::max(mean * 100, farthest * 10)));
        first.push_back(std::clamp(std::log(mean), low.back(), high.back()));
    }
    pr.low = low;
    pr.high = high;
    long points = 0;
    for (const std::vector<MeasuredPoint>& curve : curves.pairs) {
        for (const MeasuredPoint& point : curve) points += point.support > 0;
    }
    const ResidualsFn residuals = [&pr](const double* x, double* r) {
        ++pr.evaluations;
        return curveResiduals(pr, x, r);
    };
    SemiMarkovFit best;
    best.wss = HUGE_VAL;
    // From the start's shapes and from shapes 3 times theirs: a Markov start (shapes 1) sits
    // where a small step of the shapes changes the curves little.
    for (const double shapeScale : {1.0, 3.0}) {
        std::vector<double> x = first;
        for (int k = 0; k < n; ++k) {
            double& s = x[static_cast<std::size_t>(n * (n - 2) + k)];
            s = std::clamp(s + std::log(shapeScale), std::log(leastShape), std::log(mostShape));
        }
        const int result = searchLeastSquares(x, points, residuals, static_cast<int>(30 * (size + 1)));
        for (std::size_t k = 0; k < x.size(); ++k) x[k] = std::clamp(x[k], low[k], high[k]);
        ++best.search.searches;
        const double least = curveSquares(pr, x.data());
        if (!(least < best.wss)) continue;
        best.wss = least;
        best.search.result = result;
        const SemiMarkov fitted = chainOfParameters(pr, x.data());
        best.chain = semiMarkovOf(n, fitted.embedded, fitted.shapes, fitted.means, farthest, step);
    }
    best.evaluations = pr.evaluations;
    return best;
}

}  // namespace reduz::fit
