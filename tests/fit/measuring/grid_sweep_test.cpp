// A map streamed row by row gives the bytes of the same map read whole into holes: along rows
// and along columns, with NoData, steps that are no whole number of cells, codes in any order,
// and classes appearing as the rows come, within a batch of rows counted together.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fit/measuring/ascii_grid.hpp"
#include "fit/measuring/grid_sweep.hpp"
#include "fit/measuring/measured_csv.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {
namespace {

std::string randomGrid(std::mt19937_64& bits, int columns, int rows, const std::string& cellsize, int classes) {
    std::string text = "ncols " + std::to_string(columns);
    text += "\nnrows " + std::to_string(rows);
    text += "\nxllcorner 0\nyllcorner 0\ncellsize " + cellsize;
    text += "\nNODATA_value -9\n";
    int code = 5;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            // codes from -10 on, 7 apart, out of order
            if (bits() % 4 == 0) code = static_cast<int>(bits() % static_cast<unsigned>(classes)) * 7 - 10;
            text += bits() % 15 == 0 ? "-9" : std::to_string(code);
            text += c + 1 < columns ? " " : "\n";
        }
    }
    return text;
}

TEST(GridSweep, StreamedEqualsTheHolesReadWhole) {
    std::mt19937_64 bits(5);
    struct Case {
        int columns, rows;
        const char* cellsize;
        double step;
        int maxLag;
        int classes = 6;
    };
    const Case cases[] = {
        {7, 5, "1", 1, 4},          // counted by cells, a lag a cell
        {30, 20, "0.3", 0.3, 12},   // by cells, cells of decimal ticks
        {20, 15, "0.5", 1.5, 7},    // by cells, a lag three cells
        {9, 8, "1", 1, 40},         // by cells, lags beyond the map
        {25, 40, "30", 45, 9},      // by runs: a lag a cell and a half
        {12, 60, "0.25", 0.7, 30},  // by runs
        {1, 9, "2", 2, 0},          // lag 0 alone
        // by cells, the classes growing past what a table of the ends by kind holds
        {40, 35, "1", 1, 40, 70},
    };
    for (const Case& c : cases) {
        const std::string text = randomGrid(bits, c.columns, c.rows, c.cellsize, c.classes);
        for (const Direction d : {Direction::east, Direction::west, Direction::north, Direction::south}) {
            SCOPED_TRACE(std::string(directionName(d)) + ", " + std::to_string(c.columns) + " x " + std::to_string(c.rows));
            GridSweep sweep;
            readAsciiGridRows(
                text, "map.asc", alongColumns(d),
                [&](const GridSize& size) { sweep = gridSweep(d, c.step, c.maxLag, size.columns, size.rows, size.cellsize, size.cellsize); },
                [&](std::span<const std::int64_t> codes, std::span<const std::uint8_t> noData) { addGridRow(sweep, codes, noData); });
            Measurement streamed = finishGrid(sweep, c.step, c.maxLag);
            Measurement whole = measureTransiograms(readAsciiGrid(text, "map.asc", alongColumns(d)), LagGrid{c.step, c.maxLag, isBackward(d)});
            whole.direction = streamed.direction;
            EXPECT_EQ(measuredCsv(streamed), measuredCsv(whole));
            EXPECT_EQ(classesCsv(streamed), classesCsv(whole));
            EXPECT_EQ(streamed.holes, whole.holes);
            EXPECT_EQ(streamed.intervals, whole.intervals);
        }
    }
}

}  // namespace
}  // namespace reduz::fit
