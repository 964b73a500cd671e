#pragma once
// The realizations measured again along each axis with the measuring wing's own sweep (east
// along x, north along y, down along z in a block, at lags of one cell), against the model they were drawn from: for
// each axis, lag, from and to, the model, the mean over the realizations of the measured
// t_ij (over those where class i has support at that lag) and the difference.
//
//   check.csv: axis,lag,distance,from,to,model,simulated,difference
//              x,1,10,a,a,0.8187307530779818,0.8169,-0.0018...

#include <cstdint>
#include <string>
#include <vector>

#include "fit/simulating/mcrf.hpp"

namespace reduz::fit {

struct CheckRow {
    char axis = 'x';
    int lag = 0;
    int from = 0;
    int to = 0;
    double model = 0;
    double simulated = 0;  // NaN where no realization has support
};

// Lags 1..maxLag (the axis reach at most) of every realization, [r][cell] the class index.
std::vector<CheckRow> checkRealizations(const SimGrid& grid, const SimModel& model,
                                        const std::vector<std::vector<std::uint8_t>>& realizations, int maxLag);

std::string realizationCheckCsv(const std::vector<std::string>& classes, const SimGrid& grid, const std::vector<CheckRow>& rows);

}  // namespace reduz::fit
