#pragma once
// What DIR receives of a valid model beside the tables every fit writes (fit_tables.hpp reads
// the model as a set of one fitted curve a pair, tabulated at the lags 0..N).
//
// familyFitsCsv: every candidate's curve of every pair, how it was obtained, the candidate's
//   held-out error (empty when chosen by AIC) and AIC; folder on the chosen candidate's rows.
//   family,method,from,to,obtained,kind,model,shape,sill,range,D,C,W,ALFA,BETA,wrmse,heldout,aic,chosen,folder
//   markov,beds,sand,clay,markov,2,,,,,,,,,,0.011,0.013,-2210.4,yes,sand_clay
// ratesCsv: a Markov chain's rates, rows from and columns to, then its proportions.
//   from,sand,clay
//   sand,-0.5,0.5
//   clay,0.25,-0.25
//   proportion,0.3333333333333333,0.6666666666666666
// curveReport: ReduzModel.txt of a curve that is no catalogue shape: three lines that say what
//   it is, then the report's column heading and rows, as reduzmodel writes them.

#include <string>
#include <vector>

#include "fit/fitting/family_choice.hpp"
#include "fit/fitting/pair_fits.hpp"

namespace reduz::fit {

// The model as a fitted set: each pair's one candidate is its curve at the lags 0..N with its
// wrmse against the curves; a shape's curve keeps its shape and parameters (and no `obtained`),
// any other says what gave it.
FitSet setOfModel(const MeasuredCurves& curves, const ValidModel& model);

std::string familyFitsCsv(const MeasuredCurves& curves, const FamilyChoice& choice);
std::string ratesCsv(const MeasuredCurves& curves, const MarkovRates& chain);
std::string curveReport(const MeasuredCurves& curves, const Candidate& candidate, int from, int to,
                        const std::vector<double>& values);

}  // namespace reduz::fit
