#pragma once
// Quenching a realization towards its model: cells other than data take, one at a time, the
// class of a neighbour whenever that brings the realization's own transiograms closer to the
// model's, E = Σ over x, y (and z in a block), lags 1..L and pairs i, j of (N_ij / N_i - t_ij)²,
// the pairs counted as check.csv measures them (a partner east along x, north along y, down
// along z). Zero-temperature annealing: a change that does not lower E is undone. Each change
// costs about 6 K L counts an axis.
//
//   a row of cells a b a a on a chain whose t_aa(1) is high: the b may become a; a datum never does

#include <cstdint>
#include <vector>

#include "fit/simulating/mcrf.hpp"

namespace reduz::fit {

struct QuenchSummary {
    double before = 0;  // E of the realization as drawn
    double after = 0;
    long long changes = 0;
};

// How far and how long each realization is quenched. A map's: towards the model at lags 1 to
// 10 of each axis, every cell visited once: on a two-class chain that brings every lag 1 to 20 within 0.007 of the model
// (0.055 off at lag 1 before), for 0.2 s a million cells. A block's six neighbours fragment
// its classes more (0.10 off at lag 1 on a three-class chain of 60 x 60 x 40 cells); three
// visits at lags 1 to 20 bring every lag within 0.007 on 60 x 60 x 60 (two: 0.03, four:
// 0.002), for 1.3 s a million cells.
struct Quenching {
    int lags, sweeps;
};
constexpr Quenching mapQuenching{10, 1}, blockQuenching{20, 3};

// `lags` the lags 1..L matched (the reach of each axis at most), `sweeps` the visits of every
// cell, each sweep in a random order drawn from `seed`.
QuenchSummary quenchRealization(const SimGrid& grid, const SimModel& model, const KnownCells& known,
                                std::vector<std::uint8_t>& cells, std::uint64_t seed, int lags, int sweeps);

}  // namespace reduz::fit
