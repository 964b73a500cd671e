#pragma once
// `reduzfit simulate`: realizations of a 2-D categorical field from the valid model a fit wrote
// (DIR/model.csv), each drawn (mcrf.hpp) and quenched towards the model (quench.hpp),
// conditioned on data, written whole to OUT with the classes, each class's
// probability, the most probable map, and the realizations measured again against the model.
//
//   runSimulate({models {all: "fitted"}, size 200 x 200, cell 10, realizations 20, seed 1, "sims"})
//     -> 0, sims/realization-001.asc ... realization-020.asc, classes.csv, probability-sand.asc,
//        ..., most-probable.asc, check.csv; out "models         fitted/model.csv (x and y)\n..."
//   a datum of a class the model does not know -> 2, err "reduzfit: data.csv:4:3: class ...", nothing written

#include <cstdint>
#include <string>
#include <vector>

#include "fit/commands/command_result.hpp"

namespace reduz::fit {

struct SimulateRequest {
    std::string modelX;  // the fit's directory of each axis' model
    std::string modelY;
    std::string grid;    // a raster giving the grid and data; empty: the size below
    long long columns = 0, rows = 0;
    double cellX = 0, cellY = 0;
    double west = 0, south = 0;
    std::string condition;  // points (CSV of x, y, class) or a raster on the grid; empty: none
    int realizations = 1;
    std::uint64_t seed = 1;
    unsigned threads = 0;  // 0: one a core
    int checkLags = 20;    // the lags check.csv measures, the model's reach at most
    std::string output;
};

// The whole command; its status is 0, 1 (OUT not written) or 2 (bad input).
CommandResult runSimulate(const SimulateRequest& request);

}  // namespace reduz::fit
