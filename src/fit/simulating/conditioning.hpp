#pragma once
// Conditioning data onto a simulation's grid: each reader sets the cells its data fall in to
// the index of their class among the model's, by name (a raster's codes by its table's names,
// else their decimal text). Throws InputError naming the file for a class the model does not
// know, data outside the grid and two data of different classes in one cell.
//
//   addPointData("x,y,class\n25,5,sand\n", "data.csv", grid 3 x 2 of 10, false, {clay, sand}, known)
//     -> known[5] = 1
//   addLogData("hole,x,y,elevation,from,to,class\nBH1,5,5,0,0,2,clay\n", ..., block of layers of 1 below 0)
//     -> layers 0 and 1 (centres 0.5 and 1.5 down) of the column holding (5, 5) = 0

#include <string>
#include <vector>

#include "fit/simulating/sim_grid.hpp"

namespace reduz::fit {

// A raster's classed cells; its size must be the grid's.
void addRasterData(const std::string& path, const SimGrid& grid, const std::vector<std::string>& classes, KnownCells& known);

// Points (CSV `text` of `path`): in a plane x, y; in a block x, y and z, growing upward.
void addPointData(const std::string& text, const std::string& path, const SimGrid& grid, bool block,
                  const std::vector<std::string>& classes, KnownCells& known);

// Logs with their collars (in their own columns x, y and elevation, or in the file `collars`)
// as a block's data: each cell whose centre a logged interval covers, at the collar's elevation
// less the depth, takes the interval's class. A hole deeper or higher than the block is cut to
// it; one that covers no cell's centre is refused.
void addLogData(const std::string& text, const std::string& path, const std::string& collars, const SimGrid& grid,
                const std::vector<std::string>& classes, KnownCells& known);

}  // namespace reduz::fit
