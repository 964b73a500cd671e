#include "fit/simulating/mcrf.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace reduz::fit {

AxisTable axisTable(const ValidModel& model, double cell) {
    AxisTable table;
    const double farthest = model.maxLag * model.step;
    table.reach = std::max(1, static_cast<int>(std::floor(farthest / cell + 1e-9)));
    const std::size_t n = static_cast<std::size_t>(model.classes);
    const std::vector<double> p = proportionsOf(model);
    for (int m = 0; m <= table.reach; ++m) {
        const std::vector<double> t = matrixAt(model, m * cell);
        table.forward.insert(table.forward.end(), t.begin(), t.end());
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                // A class the model never holds passes to itself alone.
                table.backward.push_back(p[i] > 0 ? p[j] * t[j * n + i] / p[i] : (i == j ? 1.0 : 0.0));
            }
        }
    }
    return table;
}

SimModel simModel(const ValidModel& x, const ValidModel& y, double cellX, double cellY) {
    return SimModel{x.classes, proportionsOf(x), axisTable(x, cellX), axisTable(y, cellY), {}};
}

SimModel simModel(const ValidModel& x, const ValidModel& y, const ValidModel& z, double cellX, double cellY, double cellZ) {
    return SimModel{z.classes, proportionsOf(z), axisTable(x, cellX), axisTable(y, cellY), axisTable(z, cellZ)};
}

std::uint64_t realizationSeed(std::uint64_t seed, int realization) {
    // splitmix64 of the pair: streams of neighbouring realizations share nothing.
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL * (static_cast<std::uint64_t>(realization) + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

namespace {

struct Neighbour {
    int code = -1;
    int distance = 0;           // in cells
    const double* toCell;       // the table the first factor takes: from the neighbour to the cell
    const double* fromCell;     // the others': from the cell to the neighbour
};

// A uniform draw in [0, 1) from 53 bits, the same on every platform (std's distributions are not).
double uniform(std::mt19937_64& bits) { return static_cast<double>(bits() >> 11) * 0x1p-53; }

}  // namespace

std::vector<std::uint8_t> simulateRealization(const SimGrid& grid, const SimModel& model, const KnownCells& known,
                                              std::uint64_t seed) {
    const std::size_t n = static_cast<std::size_t>(model.classes);
    std::vector<int> cells(known.begin(), known.end());
    std::vector<std::size_t> path;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (cells[c] < 0) path.push_back(c);
    }
    std::mt19937_64 bits(seed);
    // Fisher-Yates by hand, as std::shuffle's draws differ between libraries.
    for (std::size_t i = path.size(); i > 1; --i) std::swap(path[i - 1], path[static_cast<std::size_t>(bits() % i)]);
    // Coarse cells first: those on a lattice of 64 cells, then 32, ..., then the rest, each
    // level in its random order. A random path alone fragments the classes in two dimensions
    // (t_aa at one cell 0.10 below the model on 200 x 200 cells of a two-class chain); this
    // path halves that.
    const auto level = [&](std::size_t at) {
        const CellPlace p = placeOf(grid, at);
        int l = 0;
        for (long long lattice = 64; lattice > 1; lattice /= 2, ++l) {
            if (p.column % lattice == 0 && p.row % lattice == 0 && p.layer % lattice == 0) return l;
        }
        return l;
    };
    // each cell's level found once, the path then dealt into its levels in order (a stable sort)
    std::vector<std::vector<std::size_t>> levels(7);
    for (const std::size_t at : path) levels[static_cast<std::size_t>(level(at))].push_back(at);
    path.clear();
    for (const std::vector<std::size_t>& cellsOfLevel : levels) path.insert(path.end(), cellsOfLevel.begin(), cellsOfLevel.end());

    std::vector<double> weights(n);
    Neighbour found[6];
    for (const std::size_t at : path) {
        const CellPlace p = placeOf(grid, at);
        int count = 0;
        // along the axis (dc, dr, dl) a cell at a time, the axis's way (sign 1) or back
        const auto look = [&](const AxisTable& axis, long long dc, long long dr, long long dl, int sign) {
            for (int m = 1; m <= axis.reach; ++m) {
                const long long neighbour = cellIndex(grid, p.column + sign * m * dc, p.row + sign * m * dr, p.layer + sign * m * dl);
                if (neighbour < 0) return;
                const int code = cells[static_cast<std::size_t>(neighbour)];
                if (code < 0) continue;
                const std::size_t slice = static_cast<std::size_t>(m) * n * n;
                // A neighbour the axis's way (east, north, down) is at +m from the cell, the cell at -m from it.
                const bool forward = sign > 0;
                found[count++] = Neighbour{code, m, (forward ? axis.backward : axis.forward).data() + slice,
                                           (forward ? axis.forward : axis.backward).data() + slice};
                return;
            }
        };
        look(model.x, 1, 0, 0, 1);
        look(model.x, 1, 0, 0, -1);
        look(model.y, 0, -1, 0, 1);
        look(model.y, 0, -1, 0, -1);
        if (grid.layers > 1) {
            look(model.z, 0, 0, 1, 1);
            look(model.z, 0, 0, 1, -1);
        }
        if (count == 0) {
            std::copy(model.proportions.begin(), model.proportions.end(), weights.begin());
        } else {
            const Neighbour* nearest = std::min_element(found, found + count, [](const Neighbour& a, const Neighbour& b) {
                return a.distance < b.distance;
            });
            for (std::size_t k = 0; k < n; ++k) {
                double w = nearest->toCell[static_cast<std::size_t>(nearest->code) * n + k];
                for (int g = 0; g < count; ++g) {
                    if (&found[g] != nearest) w *= found[g].fromCell[k * n + static_cast<std::size_t>(found[g].code)];
                }
                weights[k] = w;
            }
        }
        double total = std::accumulate(weights.begin(), weights.end(), 0.0);
        // Neighbours no class of the model can stand between: the nearest alone decides.
        if (!(total > 0)) {
            const Neighbour* nearest = std::min_element(found, found + count, [](const Neighbour& a, const Neighbour& b) {
                return a.distance < b.distance;
            });
            for (std::size_t k = 0; k < n; ++k) weights[k] = nearest->toCell[static_cast<std::size_t>(nearest->code) * n + k];
            total = std::accumulate(weights.begin(), weights.end(), 0.0);
        }
        double draw = uniform(bits) * total;
        std::size_t k = 0;
        while (k + 1 < n && draw >= weights[k]) draw -= weights[k++];
        cells[at] = static_cast<int>(k);
    }
    return std::vector<std::uint8_t>(cells.begin(), cells.end());
}

}  // namespace reduz::fit
