#include "fit/measuring/points.hpp"

#include <nanoflann.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"

namespace reduz::fit {

namespace {

// A pair this close to the cone's edge, as a part of its length, is within it: a survey on a
// square grid puts its diagonal pairs exactly on the edge of a 45-degree cone, and they must
// count whatever the rounding of the cosines.
constexpr double edgeSlack = 1e-12;

// Each point's search runs a little beyond the last lag, so that the tree's own rounding of
// distances can drop no pair that the exact bins below keep.
constexpr double searchMargin = 1 + 1e-9;

// How many points are searched between two reports of progress.
constexpr std::size_t progressEvery = 4096;

// The squared lower edges of the lags: ((k - 1/2) step)^2 at k = 1..maxLag + 1, the last the
// outer edge of the last lag. Squared distances are compared with them, so that whole
// coordinates at whole steps fall into their lags exactly.
std::vector<double> squaredEdges(const PointLags& lags) {
    std::vector<double> edges(static_cast<std::size_t>(lags.maxLag) + 2, 0.0);
    for (int k = 1; k <= lags.maxLag + 1; ++k) {
        const double edge = (k - 0.5) * lags.step;
        edges[static_cast<std::size_t>(k)] = edge * edge;
    }
    return edges;
}

// The lag of a squared distance at or above edges[1] and below edges[maxLag + 1].
int lagOf(double squared, double step, const std::vector<double>& edges) {
    const int last = static_cast<int>(edges.size()) - 2;
    int k = std::clamp(static_cast<int>(std::sqrt(squared) / step + 0.5), 1, last);
    while (squared < edges[static_cast<std::size_t>(k)]) --k;
    while (squared >= edges[static_cast<std::size_t>(k) + 1]) ++k;
    return k;
}

struct Axis {
    double x = 0, y = 0, z = 0;
    double least = -2;  // the least cosine of a pair within the cone; below -1: every direction
};

Axis axisOf(const std::optional<Cone>& cone) {
    if (!cone) return Axis{};
    const double toRadians = std::numbers::pi / 180;
    const double azimuth = cone->azimuth * toRadians;
    const double dip = cone->dip.value_or(0) * toRadians;
    return Axis{std::sin(azimuth) * std::cos(dip), std::cos(azimuth) * std::cos(dip), -std::sin(dip),
                std::cos(cone->tolerance * toRadians) - edgeSlack};
}

// The points' coordinates as the tree reads them, Dim to a point.
template <int Dim>
struct Cloud {
    std::vector<double> coordinates;
    std::size_t kdtree_get_point_count() const { return coordinates.size() / Dim; }
    double kdtree_get_pt(std::size_t point, std::size_t dimension) const {
        return coordinates[point * Dim + dimension];
    }
    template <class Box>
    bool kdtree_get_bbox(Box&) const {
        return false;
    }
};

template <int Dim>
using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, Cloud<Dim>>, Cloud<Dim>, Dim>;

struct Counting {
    std::size_t classes = 0;
    std::vector<int> codes;             // each point's class
    std::vector<double> edges;          // squaredEdges
    double step = 1;
    Axis axis;
    std::vector<std::uint64_t> counts;  // L_ij at [(k * n + i) * n + j]
    long long tooClose = 0;

    void add(int lag, int from, int to) {
        ++counts[(static_cast<std::size_t>(lag) * classes + static_cast<std::size_t>(from)) * classes +
                 static_cast<std::size_t>(to)];
    }
};

// What the tree finds around one point: each partner of a higher number is counted, so every
// pair is counted once, from the lower's search.
template <int Dim>
struct Partners {
    Counting& counting;
    const Cloud<Dim>& cloud;
    std::size_t here = 0;
    double radius = 0;  // squared, the search's reach

    double worstDist() const { return radius; }
    bool full() const { return true; }

    bool addPoint(double, std::uint32_t there) {
        if (there <= here) return true;
        const double* a = &cloud.coordinates[here * Dim];
        const double* b = &cloud.coordinates[std::size_t{there} * Dim];
        double v[3] = {0, 0, 0};
        double squared = 0;
        for (int d = 0; d < Dim; ++d) {
            v[d] = b[d] - a[d];
            squared += v[d] * v[d];
        }
        Counting& c = counting;
        if (!(squared < c.edges.back())) return true;
        if (squared < c.edges[1]) {
            ++c.tooClose;
            return true;
        }
        const int lag = lagOf(squared, c.step, c.edges);
        const int from = c.codes[here], to = c.codes[there];
        if (c.axis.least < -1) {
            c.add(lag, from, to);
            c.add(lag, to, from);
            return true;
        }
        const double along = v[0] * c.axis.x + v[1] * c.axis.y + v[2] * c.axis.z;
        const double least = c.axis.least * std::sqrt(squared);
        if (along >= least) c.add(lag, from, to);
        if (-along >= least) c.add(lag, to, from);
        return true;
    }
};

template <int Dim>
void countPairs(const Points& points, Counting& counting, const ProgressFn& progress) {
    Cloud<Dim> cloud;
    cloud.coordinates.reserve(points.points.size() * Dim);
    for (const Point& p : points.points) {
        const double xyz[3] = {p.x, p.y, p.z};
        cloud.coordinates.insert(cloud.coordinates.end(), xyz, xyz + Dim);
    }
    const Tree<Dim> tree(Dim, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(16));
    Partners<Dim> partners{counting, cloud, 0, counting.edges.back() * searchMargin};
    const std::size_t total = points.points.size();
    for (std::size_t p = 0; p < total; ++p) {
        partners.here = p;
        tree.findNeighbors(partners, &cloud.coordinates[p * Dim], nanoflann::SearchParams());
        if (progress && ((p + 1) % progressEvery == 0 || p + 1 == total)) {
            progress(static_cast<long long>(p + 1), static_cast<long long>(total));
        }
    }
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
    if (!std::isfinite(reach * reach * searchMargin)) {
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
    Counting counting{n, {}, squaredEdges(lags), lags.step, axisOf(lags.cone), {}, 0};
    counting.counts.assign(pairTableSize(n, lags.maxLag), 0);
    for (const Point& p : points.points) {
        counting.codes.push_back(p.code);
        counting.add(0, p.code, p.code);
    }
    if (!points.points.empty()) {
        if (points.hasZ) {
            countPairs<3>(points, counting, progress);
        } else {
            countPairs<2>(points, counting, progress);
        }
    }
    result.tooClose = counting.tooClose;

    m.pairLengths.assign(counting.counts.begin(), counting.counts.end());
    m.supports.assign((static_cast<std::size_t>(lags.maxLag) + 1) * n, 0.0);
    for (std::size_t row = 0; row < m.supports.size(); ++row) {
        std::uint64_t sum = 0;
        for (std::size_t j = 0; j < n; ++j) sum += counting.counts[row * n + j];
        m.supports[row] = static_cast<double>(sum);
    }
    return result;
}

}  // namespace reduz::fit
