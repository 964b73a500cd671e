#pragma once
// A categorical grid measured as its rows stream past, north to south: along rows (east, west)
// each row is a hole measured when it is read; along columns (north, south) each column keeps
// its open run and the window of runs within the farthest lag of what comes next, so memory
// stays within the lags' window whatever the grid's size. Both go through the same pairs of
// runs in whole ticks (run_pairs.hpp): a grid read from any file, whole or in bands, gives the
// same lengths bit for bit.
//
//   3 x 2 grid, cells 10, step 10, east:  rows "1 1 2" and "2 . 2" (. NoData)
//     -> holes [0, 20) 1 [20, 30) 2;  [0, 10) 2 [20, 30) 2;  L_12(1) = 10, L_22(2) = 10
//   the same, south: columns [0, 10) 1 [10, 20) 2;  [0, 10) 1;  [0, 20) 2
//
// Where every cell is a whole number of ticks and a lag a whole number m of cells (the usual
// map, measured at its cell size or a multiple), the lengths are counted by cells instead: at
// offset d, L(d) - L(d - 1) changes only where the partner crosses a run's end, so each row
// costs its run ends times the m N offsets, in a table of a few hundred counts a lag that stays
// in the cache; along columns the last m N + 1 rows are kept for it. Both ways give the same
// whole numbers of ticks.
//
// Classes are the codes in ascending order, named by `names` where it names them, else by
// their decimal text.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "fit/measuring/directions.hpp"
#include "fit/measuring/logs.hpp"
#include "fit/measuring/measurement.hpp"
#include "fit/measuring/run_pairs.hpp"

namespace reduz::fit {

struct GridSweep {
    Direction direction = Direction::east;
    int tick = 0;  // the exponent of the ticks' power of 10
    PairTally tally;
    std::vector<std::int64_t> edges;        // along rows: each column's west edge, and the last's east edge
    std::map<std::int64_t, int> indexOf;    // code -> index by first appearance
    std::vector<int> smallIndex;            // the same for codes 0 to 1023, -1 where not seen yet
    std::vector<std::int64_t> codes;        // by index
    std::vector<std::int64_t> classTicks;   // by index
    std::vector<long long> classRuns;       // by index
    double cellHeight = 0;
    long long rows = 0, cells = 0, holes = 0;
    // along columns, by column: the run still open (code -1: none), the window behind it, and
    // whether the column has held a class yet
    std::vector<TickRun> open;
    std::vector<OpenHole> windows;
    std::vector<std::uint8_t> seen;
    std::vector<TickRun> rowRuns;  // along rows: the row being measured

    // Counting by cells (see above): the cell's ticks, the cells a lag and the farthest offset.
    std::int64_t cellTicks = 0;
    int cellsPerLag = 0;
    int offsets = 0;
    int capacity = 0;  // the classes the table holds room for
    // [(d * capacity + i) * capacity + j]: L_ij(d) - L_ij(d - 1) in cells, d = 1..offsets
    std::vector<std::int64_t> changes;
    // [(d * capacity + i) * kinds + kind]: the ends of each kind, (before + 1) * (capacity + 1)
    // + after + 1, met from a cell of class i d before; added into `changes` when the classes
    // grow and at the end. Empty where it would not stay within a few MiB: the ends then go
    // into `changes` at once.
    std::vector<std::int64_t> endKinds;
    std::vector<std::int64_t> sameCells;  // by index: L_ii(0) in cells
    // the rows of cells kept, row r at r mod their number: along rows, the rows whose ends wait
    // to be counted; along columns, those and the farthest offset's rows before them. Each
    // cell's index, -1 for NoData.
    long long columns = 0;
    std::vector<int> cellRows;
    struct End {
        int at;      // the cell (along rows) or column (along columns)
        int before;  // the class that ends, -1 for none
        int after;   // the class that starts, -1 for none
        int kind;    // its place among endKinds' kinds
    };
    std::vector<End> ends;             // of the rows waiting to be counted, one after another
    std::vector<std::size_t> endsFrom;  // where each waiting row's ends begin
    long long waitingFrom = 0;          // the first waiting row
};

// `rows`: how many rows will be added, which along columns sets where the cells lie.
GridSweep gridSweep(Direction direction, double step, int maxLag, long long columns, long long rows, double cellWidth,
                    double cellHeight);

// The next row to the south: each cell's code, or NoData where isNoData is not 0.
void addGridRow(GridSweep& sweep, std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData);

// The measurement of every row added, its classes named by `names` (code -> name) where given.
Measurement finishGrid(GridSweep& sweep, double step, int maxLag, const std::map<std::int64_t, std::string>& names = {});

// A whole grid's cells (row by row from the north, isNoData where a cell holds no class) as
// the holes a fit's folds and beds take: its rows, or with alongColumns its columns, each
// named "row N" or "column N"; classes as above.
Logs holesOfGrid(std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData, long long columns,
                 double cellWidth, double cellHeight, bool alongColumns, const std::map<std::int64_t, std::string>& names = {});

}  // namespace reduz::fit
