#include "fit/measuring/points.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"
#include "fit/measuring/pair_search.hpp"

namespace reduz::fit {

namespace {

// Counts each pair of the points' classes into L_ij, a pair one way as placePair gives it.
struct Counting {
    std::size_t classes = 0;
    std::vector<std::uint64_t> counts;  // L_ij at [(k * n + i) * n + j]
    long long tooClose = 0;

    void add(int lag, int from, int to) {
        ++counts[(static_cast<std::size_t>(lag) * classes + static_cast<std::size_t>(from)) * classes +
                 static_cast<std::size_t>(to)];
    }
};

template <int Dim>
void countPairs(const Points& points, const PairLags& lags, Counting& counting, const ProgressFn& progress) {
    const PlaceCells cells = placeCells(points.points, std::sqrt(lags.outer), Dim);
    const auto add = [&](int lag, int from, int to) { counting.add(lag, from, to); };
    forEachPairInReach<Dim>(
        cells,
        [&](const double* v, double squared, int from, int to) {
            if (!placePair(lags, v, squared, from, to, add)) ++counting.tooClose;
        },
        progress);
}

void summariseClasses(const Points& points, Measurement& m) {
    m.classes.resize(points.classes.size());
    for (std::size_t c = 0; c < points.classes.size(); ++c) m.classes[c].name = points.classes[c];
    for (const Point& p : points.points) ++m.classes[static_cast<std::size_t>(p.code)].runs;
    m.loggedLength = static_cast<double>(points.points.size());
    for (ClassSummary& summary : m.classes) {
        summary.length = static_cast<double>(summary.runs);
        summary.proportion = summary.length / m.loggedLength;
        summary.meanLength = 1;
    }
}

}  // namespace

void checkPointPrecision(const Points& points, const PointLags& lags, std::string_view file) {
    double farthest = 0;
    for (const Point& p : points.points) farthest = std::max({farthest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    const double spacing = std::nextafter(farthest, HUGE_VAL) - farthest;
    if (!(spacing <= std::ldexp(lags.step, -24))) {
        failInput(file, 0, 0,
                  "doubles at " + shortest(farthest) + " are " + shortest(spacing) + " apart, too far for lags of " +
                      shortest(lags.step) + " (give the coordinates from a nearby origin)");
    }
    const double reach = (lags.maxLag + 0.5) * lags.step;
    if (!std::isfinite(reach * reach)) {
        failInput(file, 0, 0,
                  "lags of " + shortest(lags.step) + " reach " + shortest(reach) +
                      ", whose square is beyond the largest number");
    }
}

PointMeasurement measurePoints(const Points& points, const PointLags& lags, const ProgressFn& progress) {
    PointMeasurement result;
    Measurement& m = result.measurement;
    m.step = lags.step;
    m.maxLag = lags.maxLag;
    summariseClasses(points, m);

    const std::size_t n = points.classes.size();
    const PairLags pairs = pairLags(lags);
    Counting counting{n, std::vector<std::uint64_t>(pairTableSize(n, lags.maxLag), 0), 0};
    for (const Point& p : points.points) counting.add(0, p.code, p.code);
    if (points.hasZ) {
        countPairs<3>(points, pairs, counting, progress);
    } else {
        countPairs<2>(points, pairs, counting, progress);
    }
    result.tooClose = counting.tooClose;
    std::vector<std::uint64_t>& counts = counting.counts;
    if (!lags.cone) addMirror(counts, n, lags.maxLag);

    m.pairLengths.assign(counts.begin(), counts.end());
    m.supports.assign((static_cast<std::size_t>(lags.maxLag) + 1) * n, 0.0);
    for (std::size_t row = 0; row < m.supports.size(); ++row) {
        std::uint64_t sum = 0;
        for (std::size_t j = 0; j < n; ++j) sum += counts[row * n + j];
        m.supports[row] = static_cast<double>(sum);
    }
    return result;
}

}  // namespace reduz::fit
