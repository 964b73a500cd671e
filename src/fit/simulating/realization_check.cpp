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

// One realization measured along an axis; the class indices named by their own decimal text,
// so that the measurement's classes (those that occur, ascending) map back to the model's.
Measurement measured(const SimGrid& grid, const std::vector<std::uint8_t>& cells, Direction direction, double cell, int maxLag) {
    GridSweep sweep = gridSweep(direction, cell, maxLag, grid.columns, grid.rows, grid.cellX, grid.cellY);
    std::vector<std::int64_t> codes(static_cast<std::size_t>(grid.columns));
    const std::vector<std::uint8_t> noData(static_cast<std::size_t>(grid.columns), 0);
    for (long long r = 0; r < grid.rows; ++r) {
        for (long long c = 0; c < grid.columns; ++c) codes[static_cast<std::size_t>(c)] = cells[static_cast<std::size_t>(r * grid.columns + c)];
        addGridRow(sweep, codes, noData);
    }
    return finishGrid(sweep, cell, maxLag);
}

}  // namespace

std::vector<CheckRow> checkRealizations(const SimGrid& grid, const SimModel& model,
                                        const std::vector<std::vector<std::uint8_t>>& realizations, int maxLag) {
    const int n = model.classes;
    std::vector<CheckRow> rows;
    for (const char axis : {'x', 'y'}) {
        const AxisTable& table = axis == 'x' ? model.x : model.y;
        const int lags = std::min(maxLag, table.reach);
        const double cell = axis == 'x' ? grid.cellX : grid.cellY;
        std::vector<double> sums(static_cast<std::size_t>((lags + 1) * n * n), 0.0);
        std::vector<int> counts(sums.size(), 0);
        for (const std::vector<std::uint8_t>& cells : realizations) {
            const Measurement m = measured(grid, cells, axis == 'x' ? Direction::east : Direction::north, cell, lags);
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
        const double cell = row.axis == 'x' ? grid.cellX : grid.cellY;
        const bool measuredHere = !std::isnan(row.simulated);
        appendCsvRow(text, {std::string(1, row.axis), std::to_string(row.lag), shortest(row.lag * cell),
                            csvField(classes[static_cast<std::size_t>(row.from)]), csvField(classes[static_cast<std::size_t>(row.to)]),
                            shortest(row.model), measuredHere ? shortest(row.simulated) : "",
                            measuredHere ? shortest(row.simulated - row.model) : ""});
    }
    return text;
}

}  // namespace reduz::fit
