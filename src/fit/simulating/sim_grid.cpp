#include "fit/simulating/sim_grid.hpp"

#include <cmath>

namespace reduz::fit {

std::optional<std::size_t> cellAt(const SimGrid& grid, double x, double y) {
    const double c = std::floor((x - grid.west) / grid.cellX);
    const double r = std::floor((grid.south + static_cast<double>(grid.rows) * grid.cellY - y) / grid.cellY);
    if (!(c >= 0 && c < static_cast<double>(grid.columns) && r >= 0 && r < static_cast<double>(grid.rows))) return std::nullopt;
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(grid.columns) + static_cast<std::size_t>(c);
}

}  // namespace reduz::fit
