#pragma once
// The tables of a fit, as CSV text (numbers in their shortest round-trip form, lines ended by
// LF, a class name quoted only where CSV needs it), and the check of the fitted set.
//
// fitsCsv: one row per candidate tried; a pair with no candidate has one row with its reason.
// folder is where reduzmodel runs the pair's chosen model; empty where the pair is not fitted.
//   from,to,kind,model,shape,sill,range,D,C,W,ALFA,BETA,wrmse,aic,chosen,failure,folder
//   sand,sand,1,3,3-Exponential,0.4,3.5,,,,,,0.012,-88.1,yes,,sand_sand
// curvesCsv: every pair and lag 0..N; measured and support empty where nothing was measured,
//   fitted empty where the pair is not fitted.
//   from,to,lag,distance,measured,support,fitted,folder
//   sand,sand,1,0.5,0.75,2,0.7318181818181818,sand_sand
// checkCsv: each from-class and lag: the sum of its fitted curves (a valid set sums to 1), the
//   sum less 1, and how many of the fitted values lie outside [0, 1]; sum and deviation empty
//   where a pair of the row is not fitted.
//   from,lag,sum,deviation,outside
//   sand,1,1.0000000000000002,2.220446049250313e-16,0

#include <string>
#include <string_view>
#include <vector>

#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/pair_fits.hpp"

namespace reduz::fit {

struct RowCheck {
    bool complete = true;      // every pair of the row is fitted
    double deviation = 0;      // the sum less 1 of largest magnitude over the lags
    int deviationLag = 0;
    int outside = 0;           // fitted values outside [0, 1], over every lag and to-class
};

std::vector<RowCheck> checkRows(const MeasuredCurves& curves, const FitSet& set);

std::string fitsCsv(const MeasuredCurves& curves, const FitSet& set);
std::string curvesCsv(const MeasuredCurves& curves, const FitSet& set);
std::string checkCsv(const MeasuredCurves& curves, const FitSet& set);

// Each pair's folder, [from * classes + to]; empty for a pair not fitted, which has none.
std::vector<std::string> writtenFolders(const MeasuredCurves& curves, const FitSet& set);

// The fitted value of a pair at a lag; nullptr when the pair is not fitted.
const std::vector<double>* fittedCurve(const PairFit& pair);

}  // namespace reduz::fit
