#pragma once
// The folds of holes a choice of model holds out: the holes (a map's rows or columns) cut into
// `folds` runs of neighbouring holes, in the order read, so that a held-out fold is not a
// neighbour of every hole it is scored against.
//
//   10 holes, 5 folds -> folds {0, 1}, {2, 3}, ..., {8, 9}: each trained on the other 8 holes
//   3 holes, 5 folds  -> 3 folds of one hole;   1 hole -> no folds (the choice is by AIC)

#include <vector>

#include "fit/commands/measure_command.hpp"
#include "fit/fitting/family_choice.hpp"

namespace reduz::fit {

// The curves and beds of the whole set, as a choice takes them.
FitData fitDataOf(const MeasureRequest& request, const Logs& logs, const Measurement& m);

std::vector<HeldOutFold> heldOutFolds(const MeasureRequest& request, const Logs& logs, int folds);

}  // namespace reduz::fit
