#pragma once
// The choice of one valid model: every candidate (a family and the way it is fitted) fitted on
// the training part of each fold and scored against the measured curves of the holes it was
// not fitted on, and fitted again on all the data. The candidate chosen is the simplest whose
// held-out error the folds cannot tell from the least: at most 3 % above it, and its folds'
// errors less the least one's averaging at most one standard error of their mean. Simplest:
// the fewest parameters, then from the beds rather than the curves. Without folds
// (measured.csv alone: no holes to hold out) the choice is the least AIC over the whole set.
//
//   logs of 20 holes, 5 folds -> each candidate fitted 6 times, scored on each fold;
//     semi-markov (beds) 0.098, folds .09 .11 .10 .08 .11
//     markov (beds)      0.099, folds .10 .10 .11 .08 .10 -> markov: 1 % above, within 1 SE
//     markov (beds)      0.100, folds .10 .12 .10 .09 .12 -> semi-markov: 2 % above, but
//                                                           above it on 4 folds of 5
//   measured.csv alone        -> heldOutError empty; aic of each; the least chosen
//
// In the shapes family each curve's shape is chosen likewise: every shape is fitted alone to it
// on each fold's training holes, and the one whose fits come closest to the held-out holes is
// the shape that curve starts from in the fit on all the data. (The family's own held-out error
// is that of its fits on the folds, each curve's shape there the least AIC of the fold.)
//
// With few holes a fold's error is mostly which holes it drew, and the least held-out error
// often falls to a candidate that predicts no better than a simpler one; the simpler one, with
// fewer parameters to follow the noise, comes closer to the truth (bench/README.md).
//
// The held-out error is the square root of the support-weighted mean square of the held-out
// curves less the model's, over every pair and lag 1..N of every fold. AIC is n ln(WSS / n) + 2k
// over every pair's measured points with their supports scaled to a mean of 1, k the model's
// free parameters.

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "fit/base/beds.hpp"
#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/shape_fit.hpp"
#include "fit/fitting/valid_model.hpp"

namespace reduz::fit {

// What a candidate is fitted from: the measured curves and, where the holes were read, their beds.
struct FitData {
    MeasuredCurves curves;
    std::optional<Beds> beds;
};

struct HeldOutFold {
    FitData training;      // every hole but the fold's
    MeasuredCurves heldOut;  // the fold's holes
};

// How a candidate is fitted.
enum class Method {
    curves,  // to every measured curve at once by weighted least squares
    beds,    // from the beds: their lengths, cut ones censored, and which class follows which
};

// "curves", "beds": as fits.csv names them.
std::string_view methodName(Method method);

struct Candidate {
    Family family = Family::markov;
    Method method = Method::curves;
    ValidModel model;                      // fitted on all the data
    double wrmse = 0;                      // against all the data
    double aic = 0;
    std::optional<double> heldOutError;    // with folds
    std::vector<double> foldErrors;        // each fold's own, as heldOutError is taken over all
    bool withinReach = false;              // the folds cannot tell it from the least held-out error
    SearchSummary search;                  // of the fit on all the data
};

struct ChoiceOptions {
    std::optional<Family> family;   // only this family's candidates; none: every valid family
    std::vector<int> models;        // the shapes family's shapes; empty: its usual ones
    std::optional<int> background;  // the class the shapes family infers in every row
    unsigned threads = 0;           // 0: one a core
};

struct FamilyChoice {
    std::vector<Candidate> candidates;
    int chosen = 0;
    int folds = 0;  // 0: chosen by AIC
};

// How far above the least held-out error the chosen candidate's may lie, at most.
inline constexpr double mostHeldOutExcess = 0.03;

// The most classes a valid model is fitted for: its Markov chain alone has K (K - 1) rates, each
// search over them costs K^3 a lag, and 16 classes (240 rates) take a minute.
inline constexpr std::size_t mostModelClasses = 16;

// Throws InputError naming `file` when the curves have more classes than mostModelClasses.
void checkModelSize(const MeasuredCurves& curves, std::string_view file);

// The candidates that can be fitted from this data: the shapes family (which needs a cross shape
// among the models, and an auto one too with a background), the Markov chain fitted to the
// curves and, with beds, from them, and the semi-Markov chain from the beds or, without beds,
// fitted to the curves.
std::vector<std::pair<Family, Method>> candidatesFor(const FitData& data, const ChoiceOptions& options);

// Called as fits are done (each candidate on each fold and on all the data), from whichever
// thread did the fit, one call at a time.
using ChoiceProgressFn = std::function<void(long long done, long long total)>;

FamilyChoice chooseFamily(const FitData& all, const std::vector<HeldOutFold>& folds, const ChoiceOptions& options,
                          const ChoiceProgressFn& progress = {});

// The chosen one of candidates scored: with held-out errors (and their folds' errors) the
// simplest within reach of the least, each marked whether it is within reach; else the least AIC.
int chooseAmong(std::vector<Candidate>& candidates, bool heldOut);

// The support-weighted sum of squares of the measured curves less the model at lags 1..N, and
// the sum of the supports, added to `squares` and `weights`.
void addSquares(const ValidModel& model, const MeasuredCurves& measured, double& squares, double& weights);

}  // namespace reduz::fit
