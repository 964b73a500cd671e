#include "fit/fitting/pair_fits.hpp"

#include <algorithm>
#include <mutex>

#include "fit/base/failures.hpp"
#include "fit/fitting/fit_plans.hpp"
#include "fit/base/parallel_tasks.hpp"

namespace reduz::fit {

namespace {


PairFit fitPair(const MeasuredCurves& curves, const FitOptions& options, int from, int to) {
    PairFit pair{from, to, {}, -1, {}, {}};
    const int kind = from == to ? 1 : 2;
    const std::vector<const Shape*> shapes = candidatesOf(kind, options.models);
    const FitPoints points = pointsOf(curves, from, to);
    if (shapes.empty()) {
        pair.failure = "none of the shapes " + modelList(options.models) + (kind == 1 ? " is an auto" : " is a cross") +
                       "-transiogram shape";
        return pair;
    }
    if (measuredLags(points) == 0) {
        pair.failure = "nothing measured at lags 1 to " + std::to_string(curves.maxLag);
        return pair;
    }
    std::optional<double> sill;
    if (options.sillProportion) sill = curves.proportions[static_cast<std::size_t>(to)];
    for (const Shape* shape : shapes) {
        pair.candidates.push_back(fitShape(*shape, points, sill));
        const ShapeFit& fit = pair.candidates.back();
        const bool fitted = fit.failure.empty();
        if (fitted && (pair.chosen < 0 || fit.aic < pair.candidates[static_cast<std::size_t>(pair.chosen)].aic)) {
            pair.chosen = static_cast<int>(pair.candidates.size()) - 1;
        }
    }
    if (pair.chosen < 0) pair.failure = "no candidate runs in reduzmodel";
    return pair;
}

}  // namespace

std::vector<const Shape*> candidatesOf(int kind, const std::vector<int>& models) {
    std::vector<const Shape*> shapes;
    for (const Shape& shape : catalogue()) {
        if (shape.kind != kind) continue;
        const bool named = std::find(models.begin(), models.end(), shape.model) != models.end();
        if (models.empty() ? planOf(shape).triedByDefault : named) shapes.push_back(&shape);
    }
    return shapes;
}

FitPoints pointsOf(const MeasuredCurves& curves, int from, int to) {
    FitPoints points;
    points.measured.assign(static_cast<std::size_t>(curves.maxLag), 0.0);
    points.weights.assign(static_cast<std::size_t>(curves.maxLag), 0.0);
    for (const MeasuredPoint& point : curveOf(curves, from, to)) {
        if (point.lag < 1) continue;
        points.measured[static_cast<std::size_t>(point.lag - 1)] = point.probability;
        points.weights[static_cast<std::size_t>(point.lag - 1)] = point.support;
    }
    return points;
}

void checkFitSize(const MeasuredCurves& curves, const FitOptions& options, std::string_view file) {
    const std::size_t n = curves.classes.size();
    const std::string pairs = std::to_string(n) + " classes make " + std::to_string(n * n) + " pairs";
    if (n > mostFitClasses) {
        failInput(file, 0, 0, pairs + ", more than the " + std::to_string(mostFitClasses * mostFitClasses) + " a fit takes");
    }
    const std::size_t lags = static_cast<std::size_t>(curves.maxLag) + 1;
    const std::size_t values = (n * candidatesOf(1, options.models).size() + n * (n - 1) * candidatesOf(2, options.models).size()) * lags;
    if (values > mostFitValues) {
        failInput(file, 0, 0,
                  pairs + ": with their candidate shapes at lags 0 to " + std::to_string(curves.maxLag) + ", " +
                      std::to_string(values) + " fitted values, more than the " + std::to_string(mostFitValues) +
                      " a fit holds (--max-lag or --shapes fits fewer)");
    }
}

FitSet fitPairs(const MeasuredCurves& curves, const FitOptions& options, const PairProgressFn& progress) {
    const int n = static_cast<int>(curves.classes.size());
    FitSet set;
    set.pairs.resize(static_cast<std::size_t>(n * n));
    std::mutex told;  // progress is told one pair at a time
    long long done = 0;
    runTasks(n * n, options.threads, [&](int p) {
        set.pairs[static_cast<std::size_t>(p)] = fitPair(curves, options, p / n, p % n);
        if (!progress) return;
        const std::lock_guard<std::mutex> lock(told);
        progress(++done, static_cast<long long>(n) * n);
    });
    for (const PairFit& pair : set.pairs) {
        for (const ShapeFit& fit : pair.candidates) set.evaluations += fit.evaluations;
    }
    return set;
}

bool allFitted(const FitSet& set) {
    return std::all_of(set.pairs.begin(), set.pairs.end(), [](const PairFit& pair) { return pair.chosen >= 0; });
}

}  // namespace reduz::fit
