#pragma once
// The measured transiograms of a set of holes: what `measure` writes to measured.csv and
// classes.csv, and what a fit starts from.
//
// For classes i and j at lag k (distance h = k * step), within each hole:
//   L_ij = the length of the positions z logged as i whose partner z + h (z - h when measured
//          backward: up, west, north) is logged as j;
//   L_i  = the sum of L_ij over j, the support;  t_ij = L_ij / L_i.
//
// One hole, sand [0, 2) then clay [2, 5), step 1, forward:
//   pairLength(m, 1, sand, sand) -> 1   pairLength(m, 1, sand, clay) -> 1   support(m, 1, sand) -> 2
//   probability(m, 3, clay, clay) -> none (support(m, 3, clay) is 0: no clay has a partner 3 on)

#include <optional>
#include <string>
#include <vector>

namespace reduz::fit {

struct ClassSummary {
    std::string name;
    double length = 0;       // logged length of the class
    long long runs = 0;      // its runs: contiguous intervals of it in one hole
    double proportion = 0;   // length / the logged length of every class
    double meanLength = 0;   // length / runs
};

struct Measurement {
    std::vector<ClassSummary> classes;  // class index i is the position here
    double step = 0;
    int maxLag = 0;                     // lags 0..maxLag
    bool backward = false;
    std::string direction;              // as measured.csv names it: "down", "east", ...
    std::vector<double> pairLengths;    // L_ij at [(k * n + i) * n + j], n classes
    std::vector<double> supports;       // L_i at [k * n + i]
    long long holes = 0;
    long long intervals = 0;
    double loggedLength = 0;
};

double lagDistance(const Measurement& m, int lag);  // lag * step
double pairLength(const Measurement& m, int lag, int from, int to);
double support(const Measurement& m, int lag, int from);
// t_ij at the lag; none where nothing of class `from` has a logged partner at that distance.
std::optional<double> probability(const Measurement& m, int lag, int from, int to);

}  // namespace reduz::fit
