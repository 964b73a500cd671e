#pragma once
// Logs of a known chain measured and chosen as the one-go command does them, and the chosen
// model scored against the chain's own curves: for the tests and the benchmark alike.

#include <cmath>
#include <string>
#include <vector>

#include "fit/commands/held_out_folds.hpp"
#include "fit/fitting/family_choice.hpp"
#include "fit/measuring/interval_csv.hpp"

namespace reduz::testing {

struct Chosen {
    fit::FamilyChoice choice;
    std::vector<std::string> classes;  // in the order the logs first name them
};

// The logs measured down at lags of `step` to maxLag, held out in 5 folds.
inline Chosen chosenFor(const std::string& csv, double step, int maxLag, const fit::ChoiceOptions& options = {}) {
    fit::MeasureRequest request;
    request.input = "logs.csv";
    request.step = step;
    request.maxLag = maxLag;
    const fit::Logs logs = fit::readIntervalLogs(csv, "logs.csv", {});
    const fit::Measurement m = fit::measureLogs(request, logs).measurement;
    return {fit::chooseFamily(fit::fitDataOf(request, logs, m), fit::heldOutFolds(request, logs, 5), options), logs.classes};
}

// The mean absolute error over every pair and the lags 0..40 of 0.25 of a model against the
// truth, whose classes A, B, ... stand wherever the logs named them.
template <typename Truth>
double meanError(const fit::ValidModel& model, const std::vector<std::string>& names, Truth truth) {
    double sum = 0;
    int count = 0;
    for (int i = 0; i < model.classes; ++i) {
        for (int j = 0; j < model.classes; ++j) {
            const int a = names[static_cast<std::size_t>(i)][0] - 'A', b = names[static_cast<std::size_t>(j)][0] - 'A';
            for (int lag = 0; lag <= 40; ++lag) {
                sum += std::fabs(fit::curveAt(model, i, j, 0.25 * lag) - truth(a, b, 0.25 * lag));
                ++count;
            }
        }
    }
    return sum / count;
}

}  // namespace reduz::testing
