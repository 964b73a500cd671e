#pragma once
// `reduzfit simulate`: realizations of a categorical map or block from the valid model a fit
// wrote (DIR/model.csv), each drawn (mcrf.hpp) and quenched towards the model (quench.hpp),
// conditioned on data, written whole to OUT with the classes, each class's probability, the
// most probable map, and the realizations measured again against the model. A map's files are
// ESRI grids (.asc), a block's VTK image data (.vti).
//
//   runSimulate({models {all: "fitted"}, size 200 x 200, cell 10, realizations 20, seed 1, "sims"})
//     -> 0, sims/realization-001.asc ... realization-020.asc, classes.csv, probability-sand.asc,
//        ..., most-probable.asc, check.csv; out "models         fitted/model.csv (x and y)\n..."
//   a datum of a class the model does not know -> 2, err "reduzfit: data.csv:4:3: class ...", nothing written
//   runSimulate({models {z: "holes", lateral ratio 20}, size 50 x 50 x 40, cell 10 x 10 x 0.5, ...})
//     -> 0, sims/realization-001.vti, ..., probability-sand.vti, ...; x and y are z's model 20 times as long

#include <cstdint>
#include <string>
#include <vector>

#include "fit/commands/command_result.hpp"

namespace reduz::fit {

struct SimulateRequest {
    std::string modelX;  // the fit's directory of each axis' model
    std::string modelY;
    std::string modelZ;         // a block's vertical model (a partner down); empty: the grid is a map
    double lateralRatio = 0;    // above 0: x and y are z's model this many times as long
    std::string grid;    // a raster giving the grid and data; empty: the size below
    long long columns = 0, rows = 0, layers = 1;
    double cellX = 0, cellY = 0, cellZ = 1;
    double west = 0, south = 0, bottom = 0;
    // points (CSV of x, y[, z], class), a raster on the grid, or logs with collars (a block's); empty: none
    std::string condition;
    std::string collars;  // the collars of the holes of logs given as `condition`; empty: in the logs' own columns
    int realizations = 1;
    std::uint64_t seed = 1;
    unsigned threads = 0;  // 0: one a core
    int checkLags = 20;    // the lags check.csv measures, the model's reach at most
    std::string output;
};

// The whole command; its status is 0, 1 (OUT not written) or 2 (bad input).
CommandResult runSimulate(const SimulateRequest& request);

}  // namespace reduz::fit
