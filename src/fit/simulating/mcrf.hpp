#pragma once
// Markov chain random field simulation of one realization on a grid of one layer or more. The
// cells to simulate are visited on a random multigrid path (the cells of a lattice of 64 first,
// then of 32, ..., each lattice in random order); at each, the nearest known cell (datum or
// simulated before) along each of the four axis directions of a plane, six of a block, within
// the axis model's reach, gives
//   P(k | neighbours) ∝ t_{n1,k}(h1) · Π_{g≥2} t_{k,ng}(hg),
// n1 the nearest neighbour, the first factor from it towards the cell and the others from the
// cell towards each neighbour; with no neighbour, the model's proportions. A model along x is
// t(h) for a partner h east; along y, h north; along z, h down; the opposite way
// t_ij(-h) = p_j t_ji(h) / p_i.
//
//   two classes, one datum of class a: its east neighbour is a with probability t_aa(one cell)

#include <cstdint>
#include <vector>

#include "fit/fitting/valid_model.hpp"
#include "fit/simulating/sim_grid.hpp"

namespace reduz::fit {

// A model along one axis tabulated at whole cells 0..reach: [(m * K + i) * K + j].
struct AxisTable {
    int reach = 0;                  // the farthest cell: the model's last lag, in cells
    std::vector<double> forward;    // t_ij(+m cells)
    std::vector<double> backward;   // t_ij(-m cells)
};

// `cell` the cells' size along the axis; the reach is the last lag's distance in whole cells,
// at least 1.
AxisTable axisTable(const ValidModel& model, double cell);

struct SimModel {
    int classes = 0;
    std::vector<double> proportions;  // where a cell with no neighbour draws from
    AxisTable x, y, z;  // z empty (reach 0) for a plane
};

// The models along x and y (of the same classes) tabulated at the grid's cells; the
// proportions are x's.
SimModel simModel(const ValidModel& x, const ValidModel& y, double cellX, double cellY);
// And along z, whose proportions (a borehole's, in a block) are then the model's.
SimModel simModel(const ValidModel& x, const ValidModel& y, const ValidModel& z, double cellX, double cellY, double cellZ);

// One realization from its own seed: each cell's class, the known ones as given.
std::vector<std::uint8_t> simulateRealization(const SimGrid& grid, const SimModel& model, const KnownCells& known,
                                              std::uint64_t seed);

// The seed of realization r (0-based) of a run seeded `seed`: the same whatever the threads.
std::uint64_t realizationSeed(std::uint64_t seed, int realization);

}  // namespace reduz::fit
