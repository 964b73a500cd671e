#pragma once
// The valid model a fit chose, as model.csv in DIR: every number its curves are computed from,
// each in its shortest form that reads back as the same double, so that a model read back gives
// the very bits of the one written at any distance. What a simulation starts from.
//
// One fact a row, key,from,to,value; the classes in their order, each with its proportion:
//   key,from,to,value
//   family,,,markov                 (or shapes, semi-markov)
//   step,,,0.5                      the distance of one lag, in the data's units
//   max_lag,,,20                    the lags the model was fitted to
//   class,sand,,0.3333333333333333  ... one a class
//   rate,sand,clay,0.5              markov: R, every pair
//   embedded,sand,clay,1            semi-markov: P, every pair; shape,sand,,4  mean,sand,,1.5
//   spacing,,,0.05  cells,,,600     semi-markov: the grid its curves are tabulated on
//   remainder,sand,clay,            shapes: the column each row infers; tail,sand,,12.5
//   model,sand,sand,3  kind,...,1   shapes: each other curve's shape, then its parameters by
//   sill,sand,sand,0.33 ...         the parameter file's names (range, D, C, W, ALFA, BETA)
//
//   readModelCsv(text of a file with "rate,sand,gravel,0.1" and no class gravel)
//     -> InputError "model.csv:7:3: to \"gravel\" is not one of the classes"

#include <string>
#include <string_view>
#include <vector>

#include "fit/fitting/valid_model.hpp"

namespace reduz::fit {

struct StoredModel {
    std::vector<std::string> classes;
    ValidModel model;
};

std::string modelCsv(const std::vector<std::string>& classes, const ValidModel& model);

// Throws InputError naming `file`, the line and the column, for a row it cannot use, a fact
// missing or given twice, and a model whose rows do not each sum to 1 within [0, 1].
StoredModel readModelCsv(std::string_view text, std::string_view file);

}  // namespace reduz::fit
