#pragma once
// The grid a simulation fills: its cells, where it lies, and the cells whose class is known
// (conditioning data), which keep their class in every realization. Rows run from the north,
// as a map's do; cell (c, r) covers x from west + c cellX, y down from north - r cellY.
//
//   grid 3 x 2 of cells 10 from (0, 0):  cellAt(grid, 25, 5) -> 5 (column 2, row 1)
//                                        cellAt(grid, 30, 5) -> none (on the east edge, outside)
//                                        cellAt(grid, 0, 20) -> 0 (the north-west corner, inside)

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace reduz::fit {

struct SimGrid {
    long long columns = 0;
    long long rows = 0;
    double cellX = 1;
    double cellY = 1;
    double west = 0;   // the grid's lower-left corner, as an ESRI grid's xllcorner and yllcorner
    double south = 0;
    std::string projection;  // WKT of the raster the grid came from; empty: none
};

// The most cells a grid may hold: a realization keeps a byte a cell, and the realizations and
// the probabilities are held together until they are written.
inline constexpr long long mostGridCells = 50'000'000;

// The cell holding (x, y) at [r * columns + c]; none outside the grid. A point on an edge
// between cells is in the cell east or south of it: the grid's west and north edges are inside,
// its east and south edges outside.
std::optional<std::size_t> cellAt(const SimGrid& grid, double x, double y);

// Each cell's class, -1 where it is to be simulated.
using KnownCells = std::vector<int>;

}  // namespace reduz::fit
