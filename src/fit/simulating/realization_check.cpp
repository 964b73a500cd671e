#include "fit/simulating/realization_check.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <span>

#include "fit/base/csv_text.hpp"
#include "fit/base/number_text.hpp"
#include "fit/measuring/grid_sweep.hpp"

namespace reduz::fit {

namespace {

double cellAlong(const SimGrid& grid, char axis) { return axis == 'x' ? grid.cellX : axis == 'y' ? grid.cellY : grid.cellZ; }

// One realization measured along an axis, its cells laid out as the rows of a map: along x
// every row of every layer, east; along y each row with the layers side by side, north; along
// z each layer one row, down. The class indices named by their own decimal text, so that the
// measurement's classes (those that occur, ascending) map back to the model's.
Measurement measured(const SimGrid& grid, const std::vector<std::uint8_t>& cells, char axis, int maxLag) {
    const long long plane = grid.columns * grid.rows;
    const long long width = axis == 'x' ? grid.columns : axis == 'y' ? grid.columns * grid.layers : plane;
    const long long height = axis == 'x' ? grid.rows * grid.layers : axis == 'y' ? grid.rows : grid.layers;
    const double cell = cellAlong(grid, axis);
    GridSweep sweep = gridSweep(axis == 'x' ? Direction::east : axis == 'y' ? Direction::north : Direction::south, cell, maxLag,
                                width, height, grid.cellX, axis == 'z' ? grid.cellZ : grid.cellY);
    std::vector<std::int64_t> codes(static_cast<std::size_t>(width));
    const std::vector<std::uint8_t> noData(static_cast<std::size_t>(width), 0);
    for (long long r = 0; r < height; ++r) {
        for (long long c = 0; c < width; ++c) {
            const long long at = axis == 'y' ? (c / grid.columns * grid.rows + r) * grid.columns + c % grid.columns : r * width + c;
            codes[static_cast<std::size_t>(c)] = cells[static_cast<std::size_t>(at)];
        }
        addGridRow(sweep, codes, noData);
    }
    return finishGrid(sweep, cell, maxLag);
}

}  // namespace

std::vector<CheckRow> checkRealizations(const SimGrid& grid, const SimModel& model,
                                        const std::vector<std::vector<std::uint8_t>>& realizations, int maxLag) {
    const int n = model.classes;
    std::vector<CheckRow> rows;
    for (const char axis : {'x', 'y', 'z'}) {
        if (axis == 'z' && grid.layers == 1) break;
        const AxisTable& table = axis == 'x' ? model.x : axis == 'y' ? model.y : model.z;
        const int lags = std::min(maxLag, table.reach);
        std::vector<double> sums(static_cast<std::size_t>((lags + 1) * n * n), 0.0);
        std::vector<int> counts(sums.size(), 0);
        for (const std::vector<std::uint8_t>& cells : realizations) {
            const Measurement m = measured(grid, cells, axis, lags);
            std::vector<int> index;  // the measurement's class c is the model's index[c]
            for (const ClassSummary& c : m.classes) index.push_back(static_cast<int>(std::stoi(c.name)));
            for (int lag = 1; lag <= lags; ++lag) {
                for (std::size_t i = 0; i < index.size(); ++i) {
                    for (std::size_t j = 0; j < index.size(); ++j) {
                        const std::optional<double> t = probability(m, lag, static_cast<int>(i), static_cast<int>(j));
                        if (!t) continue;
                        const std::size_t slot = static_cast<std::size_t>((lag * n + index[i]) * n + index[j]);
                        sums[slot] += *t;
                        ++counts[slot];
                    }
                }
            }
        }
        for (int lag = 1; lag <= lags; ++lag) {
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) {
                    const std::size_t slot = static_cast<std::size_t>((lag * n + i) * n + j);
                    // A class absent from a realization has no t_ij there, but its partners' t_ji are 0.
                    const double mean = counts[slot] > 0 ? sums[slot] / counts[slot] : std::numeric_limits<double>::quiet_NaN();
                    rows.push_back(CheckRow{axis, lag, i, j, table.forward[slot], mean});
                }
            }
        }
    }
    return rows;
}

std::string realizationCheckCsv(const std::vector<std::string>& classes, const SimGrid& grid, const std::vector<CheckRow>& rows) {
    std::string text = "axis,lag,distance,from,to,model,simulated,difference\n";
    for (const CheckRow& row : rows) {
        const double cell = cellAlong(grid, row.axis);
        const bool measuredHere = !std::isnan(row.simulated);
        appendCsvRow(text, {std::string(1, row.axis), std::to_string(row.lag), shortest(row.lag * cell),
                            csvField(classes[static_cast<std::size_t>(row.from)]), csvField(classes[static_cast<std::size_t>(row.to)]),
                            shortest(row.model), measuredHere ? shortest(row.simulated) : "",
                            measuredHere ? shortest(row.simulated - row.model) : ""});
    }
    return text;
}

}  // namespace reduz::fit
