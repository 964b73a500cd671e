#include "fit/fitting/shape_fit.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <span>
#include <tuple>

#include "failure/run_failure.hpp"
#include "fit/fitting/fit_plans.hpp"
#include "fit/fitting/local_search.hpp"
#include "models/lag_table.hpp"

namespace reduz::fit {

namespace {

using P = ModelParameters;

// reduzmodel's defaults (the parameter file's, and its question's), for the parameters a fit
// does not set: what the shape does not use.
ModelParameters startingParameters(const Shape& shape, int maxLag) {
    ModelParameters p;
    p.model = shape.model;
    p.kind = shape.kind;
    p.maxLag = maxLag;
    p.sill = defaultSill;
    p.range = defaultRange;
    if (const Question* question = questionOf(shape.model)) {
        for (std::size_t a = 0; a < question->count; ++a) p.*question->asked[a].parameter = defaultOf(question->asked[a], p);
    }
    return p;
}

struct Problem {
    const Shape& shape;
    const FitPlan& plan;
    std::vector<Moved> moved;
    const FitPoints& points;
    std::optional<double> fixedSill;
    const Shape* base = nullptr;     // gammaSill: f's shape
    const Shape* density = nullptr;  // gammaSill: g's shape
    ModelParameters start;
    std::vector<double> f;
    std::vector<double> g;
    long long evaluations = 0;
    int searches = 0;
    std::optional<RunFailure> lastFailure;
};

bool evaluate(Problem& pr, const Shape& shape, const ModelParameters& p, std::vector<double>& into) {
    ++pr.evaluations;
    try {
        evaluateShape(shape, p, 1, into);
        return true;
    } catch (const RunFailure& failure) {
        pr.lastFailure = failure;
        return false;
    }
}

// Weighted sums over the lags: sum w a b.
double dot(const FitPoints& points, std::span<const double> a, std::span<const double> b) {
    double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k) sum += points.weights[k] * a[k] * b[k];
    return sum;
}

// The least-squares multiple of basis closest to target, within [low, high].
double bestMultiple(const FitPoints& points, std::span<const double> basis, std::span<const double> target,
                    double low, double high) {
    const double across = dot(points, basis, basis);
    if (!(across > 0)) return low;
    return std::clamp(dot(points, basis, target) / across, low, high);
}

// The gamma-based shapes' weight W stays at most this: above it the bump alone could make the
// whole curve, with a vanishing sill and a W of billions.
constexpr double largestWeight = 10;

// The sill s in [0, 1] and u = s W, 0 <= u <= largestWeight s, closest to y = s f + u g: a
// convex quadratic over a triangle, whose least is inside it or on one of its edges u = 0,
// s = 1 or u = largestWeight s.
std::pair<double, double> bestSillAndWeight(const FitPoints& points, std::span<const double> y,
                                            std::span<const double> f, std::span<const double> g) {
    const double ff = dot(points, f, f), fg = dot(points, f, g), gg = dot(points, g, g);
    const double fy = dot(points, f, y), gy = dot(points, g, y);
    const auto value = [&](std::pair<double, double> su) {
        const auto [s, u] = su;
        return s * s * ff + 2 * s * u * fg + u * u * gg - 2 * s * fy - 2 * u * gy;
    };
    const double k = largestWeight;
    const double hh = ff + 2 * k * fg + k * k * gg, hy = fy + k * gy;  // along u = k s
    const double sAlong = hh > 0 ? std::clamp(hy / hh, 0.0, 1.0) : 0.0;
    const std::pair<double, double> candidates[] = {
        {ff > 0 ? std::clamp(fy / ff, 0.0, 1.0) : 0.0, 0.0},
        {1.0, gg > 0 ? std::clamp((gy - fg) / gg, 0.0, k) : 0.0},
        {sAlong, k * sAlong},
    };
    std::pair<double, double> best = candidates[0];
    for (const auto& candidate : candidates) {
        if (value(candidate) < value(best)) best = candidate;
    }
    const double determinant = ff * gg - fg * fg;
    if (determinant > 0) {
        const double s = (fy * gg - gy * fg) / determinant, u = (gy * ff - fy * fg) / determinant;
        if (s > 0 && s <= 1 && u >= 0 && u <= k * s && value({s, u}) < value(best)) best = {s, u};
    }
    return best;
}

double squaredResiduals(const FitPoints& points, const std::vector<double>& model) {
    double sum = 0;
    for (std::size_t k = 0; k < model.size(); ++k) {
        const double r = points.measured[k] - model[k];
        sum += points.weights[k] * r * r;
    }
    return sum;
}

double valueOf(const Moved& m, double x) { return m.logarithmic ? std::exp(x) : x; }
double axisOf(const Moved& m, double value) { return m.logarithmic ? std::log(value) : value; }

// The parameters at the optimiser's point x, the linear ones solved for, and their weighted
// sum of squares; none when the catalogue cannot evaluate the shape there.
std::optional<double> solve(Problem& pr, std::span<const double> x, ModelParameters& p) {
    p = pr.start;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const Moved& m = pr.moved[i];
        p.*m.parameter = std::clamp(valueOf(m, x[i]), m.low, m.high);
        if (m.per != nullptr) p.*m.parameter /= p.*m.per;
    }
    const std::span<const double> y(pr.points.measured);
    std::vector<double>& model = pr.f;
    switch (pr.plan.linear) {
        case Linear::none:
            if (!evaluate(pr, pr.shape, p, model)) return std::nullopt;
            break;
        case Linear::sill:
            p.sill = 1.0;
            if (!evaluate(pr, pr.shape, p, model)) return std::nullopt;
            p.sill = pr.fixedSill ? *pr.fixedSill : bestMultiple(pr.points, model, y, 0, 1);
            for (double& v : model) v *= p.sill;
            break;
        case Linear::autoSill: {
            p.sill = 0.0;
            if (!evaluate(pr, pr.shape, p, model)) return std::nullopt;
            std::vector<double>& fall = pr.g;  // 1 - y, which the shape's f times (1 - s) approaches
            for (std::size_t k = 0; k < model.size(); ++k) {
                model[k] = 1.0 - model[k];
                fall[k] = 1.0 - y[k];
            }
            const double keep = pr.fixedSill ? 1.0 - *pr.fixedSill : bestMultiple(pr.points, model, fall, 0, 1);
            p.sill = 1.0 - keep;
            for (double& v : model) v = 1.0 - keep * v;
            break;
        }
        case Linear::slope:
            p.C = 1.0;
            if (!evaluate(pr, pr.shape, p, model)) return std::nullopt;
            p.C = bestMultiple(pr.points, model, y, 0, HUGE_VAL);
            for (double& v : model) v *= p.C;
            break;
        case Linear::gammaSill: {
            ModelParameters part = p;
            part.sill = 1.0;
            part.model = pr.plan.baseModel;
            if (!evaluate(pr, *pr.base, part, model)) return std::nullopt;
            part.model = gammaDensityModel;
            if (!evaluate(pr, *pr.density, part, pr.g)) return std::nullopt;
            double s = 0, u = 0;
            if (pr.fixedSill) {
                s = *pr.fixedSill;
                std::vector<double> rest(y.begin(), y.end());
                for (std::size_t k = 0; k < rest.size(); ++k) rest[k] -= s * model[k];
                u = bestMultiple(pr.points, pr.g, rest, 0, largestWeight * s);
            } else {
                std::tie(s, u) = bestSillAndWeight(pr.points, y, model, pr.g);
            }
            p.sill = s;
            p.W = s > 0 ? u / s : 0.0;
            if (!std::isfinite(p.W)) return std::nullopt;
            for (std::size_t k = 0; k < model.size(); ++k) model[k] = s * (model[k] + p.W * pr.g[k]);
            break;
        }
    }
    const double sum = squaredResiduals(pr.points, model);
    if (!std::isfinite(sum)) return std::nullopt;
    return sum;
}

double objective(unsigned n, const double* x, double*, void* data) {
    Problem& pr = *static_cast<Problem*>(data);
    ModelParameters p;
    return solve(pr, std::span<const double>(x, n), p).value_or(HUGE_VAL);
}

struct Point {
    std::vector<double> x;
    double wss = HUGE_VAL;
    int result = 0;  // NLopt's result of the search that ended here; 0 for a start not searched from
};

// Every combination of the moved parameters' starts, each with its sum of squares.
std::vector<Point> gridOfStarts(Problem& pr) {
    std::vector<Point> grid(1);
    for (const Moved& m : pr.moved) {
        std::vector<Point> longer;
        for (const Point& point : grid) {
            for (double start : m.starts) {
                Point next = point;
                next.x.push_back(axisOf(m, std::clamp(start, m.low, m.high)));
                longer.push_back(next);
            }
        }
        grid = std::move(longer);
    }
    for (Point& point : grid) point.wss = objective(static_cast<unsigned>(point.x.size()), point.x.data(), nullptr, &pr);
    return grid;
}

// The best starts refined by Sbplx: bounded, derivative-free, and at ease with the kinks of the
// linear and spherical shapes at h = a and with the points where reduzmodel would fail, which
// it simply rejects.
std::vector<Point> refine(Problem& pr, std::vector<Point> grid, std::size_t localSearches) {
    std::stable_sort(grid.begin(), grid.end(), [](const Point& a, const Point& b) { return a.wss < b.wss; });
    while (!grid.empty() && !std::isfinite(grid.back().wss)) grid.pop_back();
    if (grid.size() > localSearches) grid.resize(localSearches);
    const unsigned dimension = static_cast<unsigned>(pr.moved.size());
    if (dimension == 0) return grid;
    std::vector<double> low, high, step;
    for (const Moved& m : pr.moved) {
        low.push_back(axisOf(m, m.low));
        high.push_back(axisOf(m, m.high));
        step.push_back(m.logarithmic ? 0.3 : 0.1 * (m.high - m.low));
    }
    const SearchBox box{low, high, step, 1e-4, 1e-8, static_cast<int>(60 + 90 * dimension)};
    for (Point& point : grid) {
        point.result = searchLocally(box, objective, &pr, point.x, shapeName(pr.shape));
        ++pr.searches;
        point.wss = objective(dimension, point.x.data(), nullptr, &pr);
    }
    std::stable_sort(grid.begin(), grid.end(), [](const Point& a, const Point& b) { return a.wss < b.wss; });
    return grid;
}

// "M6203 exp: OVERFLOW error"
std::string failureText(const RunFailure& failure) {
    std::string text(1, failure.letter());
    text += std::to_string(failure.number);
    text += ' ';
    return text + failure.message;
}

}  // namespace

std::string_view shapeName(const Shape& shape) { return shape.label.substr(0, shape.label.find(':')); }

int measuredLags(const FitPoints& points) {
    return static_cast<int>(std::count_if(points.weights.begin(), points.weights.end(), [](double w) { return w > 0; }));
}

ShapeFit fitShape(const Shape& shape, const FitPoints& points, std::optional<double> fixedSill, std::size_t searches) {
    const int maxLag = static_cast<int>(points.measured.size());
    const FitPlan& plan = planOf(shape);
    if (!usesParameter(plan, &P::sill)) fixedSill.reset();
    std::vector<Moved> moved;
    for (Axis axis : movedAxes(plan)) moved.push_back(movedOf(axis, maxLag));
    Problem pr{shape, plan, std::move(moved), points, fixedSill, nullptr, nullptr, startingParameters(shape, maxLag),
               {}, {}, 0, 0, {}};
    pr.base = findShape(2, plan.baseModel);
    pr.density = findShape(2, gammaDensityModel);
    pr.f.resize(static_cast<std::size_t>(maxLag));
    pr.g.resize(static_cast<std::size_t>(maxLag));

    ShapeFit fit;
    fit.shape = &shape;
    fit.parameters = pr.start;
    fit.freeParameters = freeParameters(plan, fixedSill.has_value());
    const std::vector<Point> best = refine(pr, gridOfStarts(pr), searches);
    if (best.empty()) {
        fit.failure = "no start within the bounds runs in reduzmodel" +
                      (pr.lastFailure ? " (" + failureText(*pr.lastFailure) + ")" : std::string());
    }
    // The best point whose shape reduzmodel tabulates without a failure, lag 0 included.
    for (const Point& point : best) {
        ModelParameters p;
        if (!solve(pr, point.x, p)) continue;
        std::vector<double> fitted(static_cast<std::size_t>(maxLag) + 1);
        ++pr.evaluations;
        try {
            evaluateShape(shape, p, 0, fitted);
        } catch (const RunFailure& failure) {
            fit.failure = "reduzmodel fails with the fitted parameters (" + failureText(failure) + ")";
            continue;
        }
        const std::vector<double> atLags(fitted.begin() + 1, fitted.end());
        const double sumOfWeights = std::accumulate(points.weights.begin(), points.weights.end(), 0.0);
        const double meanSquare = squaredResiduals(points, atLags) / sumOfWeights;
        fit.parameters = p;
        fit.fitted = std::move(fitted);
        fit.wrmse = std::sqrt(meanSquare);
        fit.aic = measuredLags(points) * std::log(std::max(meanSquare, DBL_MIN)) + 2.0 * fit.freeParameters;
        fit.failure.clear();
        fit.search.result = point.result;
        break;
    }
    fit.evaluations = pr.evaluations;
    fit.search.searches = pr.searches;
    return fit;
}

}  // namespace reduz::fit
