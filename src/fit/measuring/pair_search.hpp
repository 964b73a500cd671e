#pragma once
// Pairs of places within the lags' reach of each other, each pair met once, and the lag and the
// direction of the cone it stands in: scattered points are paired so, and boreholes by their
// collars. The places are sorted into cells of a little over half the reach, and each is paired
// only with the places of the cells around it, so the work grows with the pairs in reach rather
// than with the square of the places.
//
// Lag k holds the pairs from (k - 1/2) step to (k + 1/2) step apart; distinct places under
// step/2 apart are in no lag (too close). Along a cone (points.hpp: azimuth, tolerance, dip) a
// pair stands from a to b when b - a lies within the tolerance of the axis, from b to a when
// a - b does; every direction takes it one way here, a to b, and the caller adds the mirror.
//
//   places (0, 0) and (0, 1), step 1, lags 0..3, azimuth 0, tolerance 45:
//     placePair(lags, {0, 1, 0}, 1, a, b, add) -> add(1, a, b)     (b is north of a)
//     placePair(lags, {0, -1, 0}, 1, a, b, add) -> add(1, b, a)
//   (0, 0) and (0, 0.4): placePair -> false, too close; (0, 0) and (0, 3.6): nothing, beyond reach

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fit/measuring/points.hpp"

namespace reduz::fit {

// The lags' edges and the cone's axis, as each pair is placed among them.
struct PairLags {
    std::vector<double> edges;  // ((k - 1/2) step)^2 at k = 1..maxLag + 1, the last the reach squared
    double inner = 0;           // edges[1]: a pair closer is in no lag
    double outer = 0;           // edges[maxLag + 1]
    double perStep = 1;         // 1 / step
    double axis[3] = {0, 0, 0};
    double least = -2;          // the least cosine of a pair within the cone; below -1: every direction
};

PairLags pairLags(const PointLags& lags);

// The lag of a squared distance at or above edges[1] and below the reach, `steps` its root in
// steps: the nearest lag, moved where the rounding of the root put it across an edge.
inline int lagOf(const PairLags& c, double squared, double steps) {
    const std::vector<double>& edges = c.edges;
    const int last = static_cast<int>(edges.size()) - 2;
    int k = std::clamp(static_cast<int>(steps + 0.5), 1, last);
    while (squared < edges[static_cast<std::size_t>(k)]) --k;
    while (squared >= edges[static_cast<std::size_t>(k) + 1]) ++k;
    return k;
}

// Places the pair from a to b at v = b - a, |v|^2 = squared, calling add(lag, a, b) for each way
// it stands along the cone; false when the two are too close for any lag.
template <class Add>
bool placePair(const PairLags& c, const double* v, double squared, int a, int b, Add&& add) {
    if (!(squared < c.outer)) return true;
    if (squared < c.inner) return false;
    const double distance = std::sqrt(squared);
    const int lag = lagOf(c, squared, distance * c.perStep);
    if (c.least < -1) {
        add(lag, a, b);
        return true;
    }
    const double along = v[0] * c.axis[0] + v[1] * c.axis[1] + v[2] * c.axis[2];
    const double least = c.least * distance;
    if (along >= least) add(lag, a, b);
    if (-along >= least) add(lag, b, a);
    return true;
}

// The places sorted by the cell they fall in, a cell's places together, the cells in the order
// of their x, then y, then z (0 in a plane).
struct PlaceCells {
    std::vector<std::array<std::int64_t, 3>> cellOf;  // each sorted place's cell
    std::vector<double> xyz;                          // its coordinates, three to a place
    std::vector<int> codes;                           // its code: a point's class, a hole's index

    // The first sorted place at or after the cell.
    std::size_t firstAt(std::int64_t x, std::int64_t y, std::int64_t z) const;
};

// `dims` 2 sorts by x and y alone; cells of a little over half of `reach`.
PlaceCells placeCells(const std::vector<Point>& places, double reach, int dims);

// How many places are done between two reports of progress, at the least.
inline constexpr std::size_t progressEvery = 4096;

// Calls visit(v, squared, codeA, codeB) once for every pair of distinct places that may lie
// within reach (some beyond it too), v = b - a. A place's partners lie in the cells at most two
// away along each axis: each cell is paired with itself and with the neighbours that come after
// it in the sorted order, and the neighbours along the last axis are one run of sorted places.
template <int Dim, class Visit>
void forEachPairInReach(const PlaceCells& cells, Visit&& visit, const ProgressFn& progress) {
    const std::size_t total = cells.codes.size();
    const auto pairFrom = [&](std::size_t a, std::size_t from, std::size_t to) {
        const double* pa = &cells.xyz[a * 3];
        for (std::size_t b = from; b < to; ++b) {
            const double* pb = &cells.xyz[b * 3];
            const double v[3] = {pb[0] - pa[0], pb[1] - pa[1], Dim == 3 ? pb[2] - pa[2] : 0.0};
            double squared = v[0] * v[0] + v[1] * v[1];
            if constexpr (Dim == 3) squared += v[2] * v[2];
            visit(v, squared, cells.codes[a], cells.codes[b]);
        }
    };
    std::size_t reported = 0;
    for (std::size_t begin = 0; begin < total;) {
        const std::array<std::int64_t, 3> c = cells.cellOf[begin];
        std::size_t end = begin + 1;
        while (end < total && cells.cellOf[end] == c) ++end;
        // the cell itself and the two after it along the last axis
        const std::size_t run = Dim == 3 ? cells.firstAt(c[0], c[1], c[2] + 3) : cells.firstAt(c[0], c[1] + 3, 0);
        for (std::size_t a = begin; a < end; ++a) pairFrom(a, a + 1, run);
        // the runs of the neighbours further on: in a plane, the next two columns of x; in
        // space, the next two columns of y in this x, and all five in the next two of x
        for (std::int64_t ox = 0; ox <= 2; ++ox) {
            for (std::int64_t oy = Dim == 2 ? 0 : ox == 0 ? 1 : -2; oy <= (Dim == 2 ? 0 : 2); ++oy) {
                if (Dim == 2 && ox == 0) continue;
                const std::size_t from = Dim == 3 ? cells.firstAt(c[0] + ox, c[1] + oy, c[2] - 2)
                                                  : cells.firstAt(c[0] + ox, c[1] - 2, 0);
                const std::size_t to = Dim == 3 ? cells.firstAt(c[0] + ox, c[1] + oy, c[2] + 3)
                                                : cells.firstAt(c[0] + ox, c[1] + 3, 0);
                for (std::size_t a = begin; from < to && a < end; ++a) pairFrom(a, from, to);
            }
        }
        begin = end;
        if (progress && (begin - reported >= progressEvery || begin == total)) {
            reported = begin;
            progress(static_cast<long long>(begin), static_cast<long long>(total));
        }
    }
}

// Every direction takes each pair both ways: adds to each L_ij at lags 1..maxLag its mirror L_ji,
// the table at [(k * n + i) * n + j].
void addMirror(std::vector<std::uint64_t>& counts, std::size_t classes, int maxLag);

}  // namespace reduz::fit
