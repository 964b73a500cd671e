#include "fit/simulating/quench.hpp"

#include <algorithm>
#include <random>

namespace reduz::fit {

namespace {

// The pair counts of one axis at lags 1..L and their distance from the model.
struct AxisCounts {
    const AxisTable* table = nullptr;
    int lags = 0;
    long long dc = 0, dr = 0, dl = 0;  // the partner's offset in columns, rows and layers at lag 1
    std::vector<long long> pairs;  // N_ij(l) at [(l * K + i) * K + j]
    std::vector<long long> rows;   // N_i(l) at [l * K + i]
};

struct Quench {
    const SimGrid& grid;
    std::size_t n;
    std::vector<AxisCounts> axes;
    std::vector<std::uint8_t>& cells;

    // The cell `l` steps along the axis from p, forward or back; -1 outside.
    long long partner(const AxisCounts& a, const CellPlace& p, int l, int sign) const {
        return cellIndex(grid, p.column + sign * l * a.dc, p.row + sign * l * a.dr, p.layer + sign * l * a.dl);
    }

    double rowError(const AxisCounts& a, int l, std::size_t i) const {
        const long long total = a.rows[static_cast<std::size_t>(l) * n + i];
        if (total == 0) return 0;
        double e = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const double d = static_cast<double>(a.pairs[(static_cast<std::size_t>(l) * n + i) * n + j]) / static_cast<double>(total) -
                             a.table->forward[(static_cast<std::size_t>(l) * n + i) * n + j];
            e += d * d;
        }
        return e;
    }

    // Moves the cell from class u to v in every count, returning the change of E (0 unless
    // `scored`: a move undone needs none).
    double move(std::size_t at, std::size_t u, std::size_t v, bool scored = true) {
        const CellPlace p = placeOf(grid, at);
        double delta = 0;
        for (AxisCounts& a : axes) {
            for (int l = 1; l <= a.lags; ++l) {
                const long long back = partner(a, p, l, -1), ahead = partner(a, p, l, 1);
                const std::size_t from = back >= 0 ? cells[static_cast<std::size_t>(back)] : n;
                const std::size_t to = ahead >= 0 ? cells[static_cast<std::size_t>(ahead)] : n;
                // the rows whose values change: u and v (the cell as a from-class), and the class behind it
                const bool fromApart = from < n && from != u && from != v;
                if (scored) delta -= rowError(a, l, u) + rowError(a, l, v) + (fromApart ? rowError(a, l, from) : 0);
                long long* pairs = a.pairs.data() + static_cast<std::size_t>(l) * n * n;
                long long* rows = a.rows.data() + static_cast<std::size_t>(l) * n;
                if (from < n) {
                    --pairs[from * n + u];
                    ++pairs[from * n + v];
                }
                if (to < n) {
                    // the class ahead is the cell's partner; itself, when it is the cell (never: l >= 1)
                    --pairs[u * n + to];
                    ++pairs[v * n + to];
                    --rows[u];
                    ++rows[v];
                }
                if (scored) delta += rowError(a, l, u) + rowError(a, l, v) + (fromApart ? rowError(a, l, from) : 0);
            }
        }
        cells[at] = static_cast<std::uint8_t>(v);
        return delta;
    }

    double error() const {
        double e = 0;
        for (const AxisCounts& a : axes) {
            for (int l = 1; l <= a.lags; ++l) {
                for (std::size_t i = 0; i < n; ++i) e += rowError(a, l, i);
            }
        }
        return e;
    }
};

AxisCounts countsOf(const SimGrid& grid, const AxisTable& table, int lags, long long dc, long long dr, long long dl,
                    const std::vector<std::uint8_t>& cells, std::size_t n) {
    AxisCounts a{&table, std::min(lags, table.reach), dc, dr, dl, {}, {}};
    a.pairs.assign((static_cast<std::size_t>(a.lags) + 1) * n * n, 0);
    a.rows.assign((static_cast<std::size_t>(a.lags) + 1) * n, 0);
    for (long long layer = 0; layer < grid.layers; ++layer) {
        for (long long r = 0; r < grid.rows; ++r) {
            for (long long c = 0; c < grid.columns; ++c) {
                const std::size_t i = cells[static_cast<std::size_t>(cellIndex(grid, c, r, layer))];
                for (int l = 1; l <= a.lags; ++l) {
                    const long long partner = cellIndex(grid, c + l * dc, r + l * dr, layer + l * dl);
                    if (partner < 0) break;
                    const std::size_t j = cells[static_cast<std::size_t>(partner)];
                    ++a.pairs[(static_cast<std::size_t>(l) * n + i) * n + j];
                    ++a.rows[static_cast<std::size_t>(l) * n + i];
                }
            }
        }
    }
    return a;
}

}  // namespace

QuenchSummary quenchRealization(const SimGrid& grid, const SimModel& model, const KnownCells& known,
                                std::vector<std::uint8_t>& cells, std::uint64_t seed, int lags, int sweeps) {
    const std::size_t n = static_cast<std::size_t>(model.classes);
    // x: the partner east, the next column; y: north, the row before; z: down, the next layer.
    Quench q{grid, n, {countsOf(grid, model.x, lags, 1, 0, 0, cells, n), countsOf(grid, model.y, lags, 0, -1, 0, cells, n)}, cells};
    if (grid.layers > 1) q.axes.push_back(countsOf(grid, model.z, lags, 0, 0, 1, cells, n));
    QuenchSummary summary;
    summary.before = q.error();
    std::vector<std::size_t> free;
    for (std::size_t c = 0; c < known.size(); ++c) {
        if (known[c] < 0) free.push_back(c);
    }
    std::mt19937_64 bits(seed ^ 0x5DEECE66DULL);
    for (int sweep = 0; sweep < sweeps; ++sweep) {
        for (std::size_t i = free.size(); i > 1; --i) std::swap(free[i - 1], free[static_cast<std::size_t>(bits() % i)]);
        for (const std::size_t at : free) {
            // a neighbour's class: the change that mends a fragment
            const CellPlace p = placeOf(grid, at);
            const long long offsets[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
            const auto& o = offsets[bits() % (grid.layers > 1 ? 6 : 4)];
            const long long neighbour = cellIndex(grid, p.column + o[0], p.row + o[1], p.layer + o[2]);
            if (neighbour < 0) continue;
            const std::size_t u = cells[at], v = cells[static_cast<std::size_t>(neighbour)];
            if (u == v) continue;
            if (q.move(at, u, v) < 0) {
                ++summary.changes;
            } else {
                q.move(at, v, u, false);
            }
        }
    }
    summary.after = q.error();
    return summary;
}

}  // namespace reduz::fit
