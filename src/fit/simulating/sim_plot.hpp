#pragma once
// The picture of a simulation, realizations.gp, a gnuplot script that holds its own data: the
// data (blank where nothing is known), up to four realizations and the most probable map, side
// by side in one scale of class colours. Grids above 300 cells a side are shown every s-th cell,
// s the least that brings them within it.
//
//   gnuplot realizations.gp                             -> realizations.png
//   gnuplot -e "output='other.png'" realizations.gp

#include <cstdint>
#include <string>
#include <vector>

#include "fit/simulating/sim_grid.hpp"

namespace reduz::fit {

std::string realizationsScript(const SimGrid& grid, const std::vector<std::string>& classes, const KnownCells& known,
                               const std::vector<std::vector<std::uint8_t>>& realizations,
                               const std::vector<std::uint8_t>& mostProbable);

}  // namespace reduz::fit
