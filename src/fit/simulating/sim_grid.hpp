#pragma once
// The grid a simulation fills: its cells, where it lies, and the cells whose class is known
// (conditioning data), which keep their class in every realization. Rows run from the north,
// as a map's do, and layers from the top, as a borehole's depths do; cell (c, r, l) covers x
// from west + c cellX, y down from north - r cellY, z down from top - l cellZ. A plane is a
// grid of one layer.
//
//   grid 3 x 2 of cells 10 from (0, 0):  cellAt(grid, 25, 5) -> 5 (column 2, row 1)
//                                        cellAt(grid, 30, 5) -> none (on the east edge, outside)
//                                        cellAt(grid, 0, 20) -> 0 (the north-west corner, inside)
//   and 4 layers of 1 from 0 up to 4:   cellAt(grid, 25, 5, 3.5) -> 5; (25, 5, 0.5) -> 23 (layer 3)

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace reduz::fit {

struct SimGrid {
    long long columns = 0;
    long long rows = 0;
    long long layers = 1;
    double cellX = 1;
    double cellY = 1;
    double cellZ = 1;
    double west = 0;   // the grid's lower-left corner, as an ESRI grid's xllcorner and yllcorner
    double south = 0;
    double bottom = 0;  // the underside of the lowest layer
    std::string projection;  // WKT of the raster the grid came from; empty: none
};

// The most cells a grid may hold: a realization keeps a byte a cell, and the realizations and
// the probabilities are held together until they are written.
inline constexpr long long mostGridCells = 50'000'000;

inline long long cellCount(const SimGrid& grid) { return grid.columns * grid.rows * grid.layers; }

// Where cell `at` lies: its column, its row from the north and its layer from the top.
struct CellPlace {
    long long column, row, layer;
};

inline CellPlace placeOf(const SimGrid& grid, std::size_t at) {
    const long long i = static_cast<long long>(at);
    return CellPlace{i % grid.columns, i / grid.columns % grid.rows, i / (grid.columns * grid.rows)};
}

// The index of cell (column, row, layer), (layer * rows + row) * columns + column; -1 outside
// the grid.
inline long long cellIndex(const SimGrid& grid, long long column, long long row, long long layer) {
    if (column < 0 || row < 0 || layer < 0 || column >= grid.columns || row >= grid.rows || layer >= grid.layers) return -1;
    return (layer * grid.rows + row) * grid.columns + column;
}

// The cell holding (x, y) of a plane at [r * columns + c], (x, y, z) at [(l * rows + r) *
// columns + c]; none outside the grid. A point on an edge between cells is in the cell east,
// south or below it: the grid's west, north and top faces are inside, the others outside.
std::optional<std::size_t> cellAt(const SimGrid& grid, double x, double y);
std::optional<std::size_t> cellAt(const SimGrid& grid, double x, double y, double z);

// Each cell's class, -1 where it is to be simulated.
using KnownCells = std::vector<int>;

}  // namespace reduz::fit
