#pragma once
// A categorical map as an ESRI ASCII grid: the header (ncols, nrows, xllcorner or xllcenter,
// yllcorner or yllcenter, cellsize, optionally NODATA_value; keys without regard to case, in
// any order), then nrows lines of ncols whole class codes, the northern row first.
//
// Each row (or, along columns, each column) is a hole whose cells are intervals of length
// cellsize; NODATA cells are gaps. Positions grow eastward along a row and southward down a
// column. Classes are the codes, listed in ascending order.
//
//   ncols 3 / nrows 2 / xllcorner 0 / yllcorner 0 / cellsize 10 / NODATA_value -9999
//   1 1 2
//   2 -9999 2
//     along rows    -> holes [0, 20) "1" [20, 30) "2";  [0, 10) "2" [20, 30) "2"
//     along columns -> holes [0, 10) "1" [10, 20) "2";  [0, 10) "1";  [0, 20) "2"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "fit/measuring/logs.hpp"

namespace reduz::fit {

// A map is a file whose name ends in ".asc" (any case); anything else is read as interval logs.
bool namesMap(std::string_view path);

struct GridSize {
    long long columns = 0;
    long long rows = 0;
    double cellsize = 0;
};

// Streams the grid's rows, north to south, once the header is read: each cell's whole code, or
// NoData. Throws InputError (naming `file`, the line and the value's column) at the first fault,
// after the rows before it; a cellsize that puts a cell's end beyond the largest number along
// the way the grid is measured is one.
GridSize readAsciiGridRows(std::string_view text, std::string_view file, bool alongColumns,
                           const std::function<void(const GridSize&)>& onSize,
                           const std::function<void(std::span<const std::int64_t>, std::span<const std::uint8_t>)>& onRow);

// The whole grid as holes, for a fit's folds and beds.
Logs readAsciiGrid(std::string_view text, std::string_view file, bool alongColumns);

}  // namespace reduz::fit
