#pragma once
// Every ordered pair of classes fitted: for each, every candidate shape of the pair's kind, and
// the one with the least AIC chosen.
//
//   from = to   -> auto-transiogram (kind 1): models 1 to 8
//   from != to  -> cross-transiogram (kind 2): models 1 to 11; 12 only when named
//   models {3, 9}  -> only those of them the kind has: auto pairs model 3, cross pairs 3 and 9
//
// Pairs are fitted on as many threads as the machine has cores; each pair's result is the same
// whatever the number of threads.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/shape_fit.hpp"

namespace reduz::fit {

struct FitOptions {
    std::vector<int> models;      // the shapes to try; empty: the kind's usual ones
    bool sillProportion = false;  // the sill fixed at the head class's proportion
    unsigned threads = 0;         // 0: one a core
};

struct PairFit {
    int from = 0;
    int to = 0;
    std::vector<ShapeFit> candidates;  // in model order
    int chosen = -1;                   // the candidate with the least AIC; -1 when none is fitted
    std::string failure;               // why none is fitted
    std::string obtained;              // empty: the chosen candidate's shape; else what gave the
                                       // curve ("markov", "inferred", ...), its candidate shapeless
};

struct FitSet {
    std::vector<PairFit> pairs;  // [from * classes + to]
    long long evaluations = 0;
};

// The catalogue's shapes a pair of this kind tries.
std::vector<const Shape*> candidatesOf(int kind, const std::vector<int>& models);

// The pair's measured curve at lags 1..N, each lag weighed by its support.
FitPoints pointsOf(const MeasuredCurves& curves, int from, int to);

// The most values a fit holds: a fitted curve of N + 1 values for every candidate of every pair.
inline constexpr std::size_t mostFitValues = std::size_t{1} << 27;

// Throws InputError naming `file` when the curves have more than mostFitClasses classes, or more
// pairs, candidates and lags than mostFitValues values: said before the work, not after it.
void checkFitSize(const MeasuredCurves& curves, const FitOptions& options, std::string_view file);

// Called as pairs are done, from whichever thread did the pair, one call at a time.
using PairProgressFn = std::function<void(long long done, long long total)>;

FitSet fitPairs(const MeasuredCurves& curves, const FitOptions& options, const PairProgressFn& progress = {});

bool allFitted(const FitSet& set);

}  // namespace reduz::fit
