#include "fit/measuring/points.hpp"

#include <algorithm>
#include <array>
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

// Cells are this much wider than half the reach, so that the rounding of a coordinate divided
// by the cell (at most 2^-22 of a cell where the coordinates pass checkPointPrecision) cannot
// put two points within reach three cells apart.
constexpr double cellMargin = 1 + 1e-6;

// How many points are done between two reports of progress, at the least.
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

// The lag of a squared distance at or above edges[1] and below edges[maxLag + 1], `steps` its
// root in steps: the nearest lag, moved where the rounding of the root put it across an edge.
int lagOf(double squared, double steps, const std::vector<double>& edges) {
    const int last = static_cast<int>(edges.size()) - 2;
    int k = std::clamp(static_cast<int>(steps + 0.5), 1, last);
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

struct Counting {
    std::size_t classes = 0;
    std::vector<double> edges;          // squaredEdges
    double inner = 0;                   // edges[1]: a pair closer is in no lag
    double outer = 0;                   // edges[maxLag + 1]: the reach, squared
    double perStep = 1;                 // 1 / step
    Axis axis;
    std::vector<std::uint64_t> counts;  // L_ij at [(k * n + i) * n + j]
    long long tooClose = 0;

    void add(int lag, int from, int to) {
        ++counts[(static_cast<std::size_t>(lag) * classes + static_cast<std::size_t>(from)) * classes +
                 static_cast<std::size_t>(to)];
    }
};

// Counts the pair from a point of class `from` to one of class `to` at v from it, |v|^2 =
// squared. Every direction counts it one way here; measurePoints adds the other way after.
void countPair(Counting& c, const double* v, double squared, int from, int to) {
    if (!(squared < c.outer)) return;
    if (squared < c.inner) {
        ++c.tooClose;
        return;
    }
    const double distance = std::sqrt(squared);
    const int lag = lagOf(squared, distance * c.perStep, c.edges);
    if (c.axis.least < -1) {
        c.add(lag, from, to);
        return;
    }
    const double along = v[0] * c.axis.x + v[1] * c.axis.y + v[2] * c.axis.z;
    const double least = c.axis.least * distance;
    if (along >= least) c.add(lag, from, to);
    if (-along >= least) c.add(lag, to, from);
}

// The points sorted by the cell they fall in, a cell's points together, the cells in the order
// of their x, then y, then z (0 in a plane).
struct Cells {
    std::vector<std::array<std::int64_t, 3>> cellOf;  // each sorted point's cell
    std::vector<double> xyz;                          // its coordinates, three to a point
    std::vector<int> codes;                           // its class

    // The first sorted point at or after the cell.
    std::size_t firstAt(std::int64_t x, std::int64_t y, std::int64_t z) const {
        const std::array<std::int64_t, 3> cell = {x, y, z};
        return static_cast<std::size_t>(std::lower_bound(cellOf.begin(), cellOf.end(), cell) - cellOf.begin());
    }
};

template <int Dim>
Cells cellsOf(const Points& points, double cell) {
    const std::size_t total = points.points.size();
    std::vector<std::pair<std::array<std::int64_t, 3>, std::size_t>> placed(total);
    for (std::size_t p = 0; p < total; ++p) {
        const Point& q = points.points[p];
        const double at[3] = {q.x, q.y, q.z};
        placed[p].second = p;
        for (int d = 0; d < Dim; ++d) {
            // Bounded, so that coordinates far beyond the cells' size still make a whole number.
            placed[p].first[static_cast<std::size_t>(d)] =
                static_cast<std::int64_t>(std::clamp(std::floor(at[d] / cell), -0x1p62, 0x1p62));
        }
    }
    std::sort(placed.begin(), placed.end());
    Cells cells;
    cells.cellOf.reserve(total);
    cells.xyz.reserve(total * 3);
    cells.codes.reserve(total);
    for (const auto& [at, p] : placed) {
        const Point& q = points.points[p];
        cells.cellOf.push_back(at);
        cells.xyz.insert(cells.xyz.end(), {q.x, q.y, q.z});
        cells.codes.push_back(q.code);
    }
    return cells;
}

// Every pair once, from the sorted point a to each of the sorted points [from, to).
template <int Dim>
void countFrom(Counting& counting, const Cells& cells, std::size_t a, std::size_t from, std::size_t to) {
    const double* pa = &cells.xyz[a * 3];
    for (std::size_t b = from; b < to; ++b) {
        const double* pb = &cells.xyz[b * 3];
        const double v[3] = {pb[0] - pa[0], pb[1] - pa[1], Dim == 3 ? pb[2] - pa[2] : 0.0};
        double squared = v[0] * v[0] + v[1] * v[1];
        if constexpr (Dim == 3) squared += v[2] * v[2];
        countPair(counting, v, squared, cells.codes[a], cells.codes[b]);
    }
}

// Cells of a little over half the reach: a point's partners lie in the cells at most two away
// along each axis. Each cell is paired with itself and with the neighbours that come after it
// in the sorted order, so every pair is met once; the neighbours along the last axis are one
// run of sorted points.
template <int Dim>
void countPairs(const Points& points, Counting& counting, const ProgressFn& progress) {
    const double reach = std::sqrt(counting.outer);
    const Cells cells = cellsOf<Dim>(points, reach / 2 * cellMargin);
    const std::size_t total = points.points.size();
    std::size_t reported = 0;
    for (std::size_t begin = 0; begin < total;) {
        const std::array<std::int64_t, 3> c = cells.cellOf[begin];
        std::size_t end = begin + 1;
        while (end < total && cells.cellOf[end] == c) ++end;
        // the cell itself and the two after it along the last axis
        const std::size_t run = Dim == 3 ? cells.firstAt(c[0], c[1], c[2] + 3) : cells.firstAt(c[0], c[1] + 3, 0);
        for (std::size_t a = begin; a < end; ++a) countFrom<Dim>(counting, cells, a, a + 1, run);
        // the runs of the neighbours further on: in a plane, the next two columns of x; in
        // space, the next two columns of y in this x, and all five in the next two of x
        for (std::int64_t ox = 0; ox <= 2; ++ox) {
            for (std::int64_t oy = Dim == 2 ? 0 : ox == 0 ? 1 : -2; oy <= (Dim == 2 ? 0 : 2); ++oy) {
                if (Dim == 2 && ox == 0) continue;
                const std::size_t from = Dim == 3 ? cells.firstAt(c[0] + ox, c[1] + oy, c[2] - 2)
                                                  : cells.firstAt(c[0] + ox, c[1] - 2, 0);
                const std::size_t to = Dim == 3 ? cells.firstAt(c[0] + ox, c[1] + oy, c[2] + 3)
                                                : cells.firstAt(c[0] + ox, c[1] + 3, 0);
                for (std::size_t a = begin; from < to && a < end; ++a) countFrom<Dim>(counting, cells, a, from, to);
            }
        }
        begin = end;
        if (progress && (begin - reported >= progressEvery || begin == total)) {
            reported = begin;
            progress(static_cast<long long>(begin), static_cast<long long>(total));
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
    Counting counting{n, squaredEdges(lags), 0, 0, 1 / lags.step, axisOf(lags.cone), {}, 0};
    counting.inner = counting.edges[1];
    counting.outer = counting.edges.back();
    counting.counts.assign(pairTableSize(n, lags.maxLag), 0);
    for (const Point& p : points.points) counting.add(0, p.code, p.code);
    if (points.hasZ) {
        countPairs<3>(points, counting, progress);
    } else {
        countPairs<2>(points, counting, progress);
    }
    result.tooClose = counting.tooClose;
    std::vector<std::uint64_t>& counts = counting.counts;
    if (!lags.cone) {
        // Every direction takes each pair both ways: the counts one way, and their mirror.
        for (std::size_t k = 1; k <= static_cast<std::size_t>(lags.maxLag); ++k) {
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t j = i; j < n; ++j) {
                    const std::size_t ij = (k * n + i) * n + j, ji = (k * n + j) * n + i;
                    counts[ij] = counts[ji] = counts[ij] + counts[ji];
                }
            }
        }
    }

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
