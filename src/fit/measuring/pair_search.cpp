#include "fit/measuring/pair_search.hpp"

#include <algorithm>
#include <numbers>
#include <utility>

namespace reduz::fit {

namespace {

// A pair this close to the cone's edge, as a part of its length, is within it: a survey on a
// square grid puts its diagonal pairs exactly on the edge of a 45-degree cone, and they must
// count whatever the rounding of the cosines.
constexpr double edgeSlack = 1e-12;

// Cells are this much wider than half the reach, so that the rounding of a coordinate divided
// by the cell (at most 2^-22 of a cell where the coordinates pass checkPointPrecision) cannot
// put two places within reach three cells apart.
constexpr double cellMargin = 1 + 1e-6;

}  // namespace

PairLags pairLags(const PointLags& lags) {
    PairLags c;
    // Squared distances are compared with squared edges, so that whole coordinates at whole
    // steps fall into their lags exactly.
    c.edges.assign(static_cast<std::size_t>(lags.maxLag) + 2, 0.0);
    for (int k = 1; k <= lags.maxLag + 1; ++k) {
        const double edge = (k - 0.5) * lags.step;
        c.edges[static_cast<std::size_t>(k)] = edge * edge;
    }
    c.inner = c.edges[1];
    c.outer = c.edges.back();
    c.perStep = 1 / lags.step;
    if (lags.cone) {
        const double toRadians = std::numbers::pi / 180;
        const double azimuth = lags.cone->azimuth * toRadians;
        const double dip = lags.cone->dip.value_or(0) * toRadians;
        c.axis[0] = std::sin(azimuth) * std::cos(dip);
        c.axis[1] = std::cos(azimuth) * std::cos(dip);
        c.axis[2] = -std::sin(dip);
        c.least = std::cos(lags.cone->tolerance * toRadians) - edgeSlack;
    }
    return c;
}

std::size_t PlaceCells::firstAt(std::int64_t x, std::int64_t y, std::int64_t z) const {
    const std::array<std::int64_t, 3> cell = {x, y, z};
    return static_cast<std::size_t>(std::lower_bound(cellOf.begin(), cellOf.end(), cell) - cellOf.begin());
}

PlaceCells placeCells(const std::vector<Point>& places, double reach, int dims) {
    const double cell = reach / 2 * cellMargin;
    const std::size_t total = places.size();
    std::vector<std::pair<std::array<std::int64_t, 3>, std::size_t>> placed(total);
    for (std::size_t p = 0; p < total; ++p) {
        const Point& q = places[p];
        const double at[3] = {q.x, q.y, q.z};
        placed[p].second = p;
        for (int d = 0; d < dims; ++d) {
            // Bounded, so that coordinates far beyond the cells' size still make a whole number.
            placed[p].first[static_cast<std::size_t>(d)] =
                static_cast<std::int64_t>(std::clamp(std::floor(at[d] / cell), -0x1p62, 0x1p62));
        }
    }
    std::sort(placed.begin(), placed.end());
    PlaceCells cells;
    cells.cellOf.reserve(total);
    cells.xyz.reserve(total * 3);
    cells.codes.reserve(total);
    for (const auto& [at, p] : placed) {
        const Point& q = places[p];
        cells.cellOf.push_back(at);
        cells.xyz.insert(cells.xyz.end(), {q.x, q.y, q.z});
        cells.codes.push_back(q.code);
    }
    return cells;
}

void addMirror(std::vector<std::uint64_t>& counts, std::size_t n, int maxLag) {
    for (std::size_t k = 1; k <= static_cast<std::size_t>(maxLag); ++k) {
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = i; j < n; ++j) {
                const std::size_t ij = (k * n + i) * n + j, ji = (k * n + j) * n + i;
                counts[ij] = counts[ji] = counts[ij] + counts[ji];
            }
        }
    }
}

}  // namespace reduz::fit
