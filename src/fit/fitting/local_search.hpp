#pragma once
// One bounded local search by NLopt's Sbplx: derivative-free, at ease with kinks and with
// points where the objective gives HUGE_VAL (a shape reduzmodel cannot evaluate), which it
// simply rejects. Its outcome is kept, never swallowed: NLopt's result is returned, its
// round-off stop counted as the normal end it is, and any other failure of the optimiser
// (a bad argument, its own failure) thrown as a ProgramError naming what was fitted.
//
//   searchLocally(box, objective, &problem, x, "3-Exponential") -> 4 (xtol reached), x the best point

#include <string_view>
#include <vector>

namespace reduz::fit {

struct SearchBox {
    std::vector<double> low;
    std::vector<double> high;
    std::vector<double> step;  // the first steps, one a dimension
    double xtolAbs = 1e-4;
    double ftolRel = 1e-8;
    int maxEvaluations = 100;
};

using SearchObjective = double (*)(unsigned size, const double* x, double* gradient, void* data);

// x starts the search and holds its best point after it.
int searchLocally(const SearchBox& box, SearchObjective objective, void* data, std::vector<double>& x,
                  std::string_view fitted);

}  // namespace reduz::fit
