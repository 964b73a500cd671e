#include "fit/fitting/local_search.hpp"

#include <nlopt.hpp>

#include <new>
#include <string>

#include "fit/base/failures.hpp"

namespace reduz::fit {

int searchLocally(const SearchBox& box, SearchObjective objective, void* data, std::vector<double>& x,
                  std::string_view fitted) {
    nlopt::opt optimiser(nlopt::LN_SBPLX, static_cast<unsigned>(x.size()));
    optimiser.set_lower_bounds(box.low);
    optimiser.set_upper_bounds(box.high);
    optimiser.set_min_objective(objective, data);
    optimiser.set_xtol_abs(box.xtolAbs);
    optimiser.set_ftol_rel(box.ftolRel);
    optimiser.set_maxeval(box.maxEvaluations);
    optimiser.set_initial_step(box.step);
    double least = 0;
    try {
        return optimiser.optimize(x, least);
    } catch (const nlopt::roundoff_limited&) {
        return nlopt::ROUNDOFF_LIMITED;  // a normal stop, NLopt says: x holds the best point reached
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw ProgramError("the optimiser failed fitting " + std::string(fitted) + ": " + e.what());
    }
}

}  // namespace reduz::fit
