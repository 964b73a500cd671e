#include "fit/commands/held_out_folds.hpp"

#include <algorithm>

#include "fit/commands/fit_command.hpp"
#include "fit/measuring/bed_counts.hpp"

namespace reduz::fit {

FitData fitDataOf(const MeasureRequest& request, const Logs& logs, const Measurement& m) {
    // The beds along a hole say nothing of the classes' widths between holes.
    if (request.direction == Direction::lateral) return FitData{curvesOf(m), std::nullopt};
    return FitData{curvesOf(m), bedsOf(logs, isBackward(request.direction))};
}

std::vector<HeldOutFold> heldOutFolds(const MeasureRequest& request, const Logs& logs, int folds) {
    const std::size_t holes = logs.holes.size();
    const std::size_t count = std::min(holes, static_cast<std::size_t>(std::max(folds, 0)));
    std::vector<HeldOutFold> result;
    if (count < 2) return result;
    for (std::size_t f = 0; f < count; ++f) {
        const std::size_t first = f * holes / count, last = (f + 1) * holes / count;
        Logs training{logs.classes, {}, 0}, heldOut{logs.classes, {}, 0};
        for (std::size_t h = 0; h < holes; ++h) (h >= first && h < last ? heldOut : training).holes.push_back(logs.holes[h]);
        const Measurement trained = measureLogs(request, training).measurement;
        result.push_back(HeldOutFold{fitDataOf(request, training, trained), curvesOf(measureLogs(request, heldOut).measurement)});
    }
    return result;
}

}  // namespace reduz::fit
