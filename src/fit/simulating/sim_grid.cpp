#include "fit/simulating/sim_grid.hpp"

#include <cmath>

namespace reduz::fit {

std::optional<std::size_t> cellAt(const SimGrid& grid, double x, double y) {
    return cellAt(grid, x, y, grid.bottom + static_cast<double>(grid.layers) * grid.cellZ);
}

std::optional<std::size_t> cellAt(const SimGrid& grid, double x, double y, double z) {
    const double c = std::floor((x - grid.west) / grid.cellX);
    const double r = std::floor((grid.south + static_cast<double>(grid.rows) * grid.cellY - y) / grid.cellY);
    // a plane's one layer holds every z; a block's top face is inside
    const double l = grid.layers == 1 ? 0 : std::floor((grid.bottom + static_cast<double>(grid.layers) * grid.cellZ - z) / grid.cellZ);
    // tested as doubles first: a place far off the grid has no whole index
    if (!(c >= 0 && c < static_cast<double>(grid.columns) && r >= 0 && r < static_cast<double>(grid.rows) && l >= 0 &&
          l < static_cast<double>(grid.layers))) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(cellIndex(grid, static_cast<long long>(c), static_cast<long long>(r), static_cast<long long>(l)));
}

}  // namespace reduz::fit
