#include "fit/commands/measure_command.hpp"

#include <cmath>
#include <optional>

#include "fit/base/failures.hpp"
#include "fit/base/input_file.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/whole_files.hpp"
#include "fit/commands/progress.hpp"
#include "fit/measuring/ascii_grid.hpp"
#include "fit/measuring/measured_csv.hpp"

namespace reduz::fit {

std::string measureSummary(const MeasureRequest& request, const Measurement& m) {
    return "input          " + visible(request.input) + "\nholes          " + std::to_string(m.holes) +
           "\nintervals      " + std::to_string(m.intervals) + "\nclasses        " + std::to_string(m.classes.size()) +
           "\nlogged length  " + shortest(m.loggedLength) + "\nlags           0 to " + std::to_string(m.maxLag) + " by " +
           shortest(m.step) + ", " + std::string(directionName(request.direction)) + "\n";
}

Logs readInputLogs(const MeasureRequest& request) {
    const std::string text = readInputFile(request.input);
    return namesMap(request.input) ? readAsciiGrid(text, request.input, alongColumns(request.direction))
                                   : readIntervalLogs(text, request.input, request.columns);
}

Measurement measureInput(const MeasureRequest& request, const ProgressFn& progress) {
    return measureLogs(request, readInputLogs(request), progress);
}

Measurement measureLogs(const MeasureRequest& request, const Logs& logs, const ProgressFn& progress) {
    const std::size_t values = pairTableSize(logs.classes.size(), request.maxLag);
    if (values > largestPairTable) {
        const std::size_t classes = logs.classes.size();
        failInput(request.input, 0, 0,
                  std::to_string(classes) + " classes make " + std::to_string(classes * classes) + " pairs: at " +
                      std::to_string(request.maxLag + 1) + " lags, " + std::to_string(values) + " values, more than the " +
                      std::to_string(largestPairTable) + " a measurement holds (fewer --lags take more classes)");
    }
    checkLagPrecision(logs, request.step, request.input);
    const LagGrid grid{request.step, request.maxLag, isBackward(request.direction)};
    Measurement m = measureTransiograms(logs, grid, progress);
    m.direction = directionName(request.direction);
    // Every L_ij is at most the logged length: while that is finite, so is every value written.
    if (!std::isfinite(m.loggedLength)) failInput(request.input, 0, 0, "the logged length is too large to measure");
    return m;
}

CommandResult runMeasure(const MeasureRequest& request) {
    const std::string classesPath = classesPathBeside(request.output);
    return reportingFailures([&] {
        for (const std::string& target : {request.output, classesPath}) {
            if (sameFile(request.input, target)) failInput(target, 0, 0, "is the input, which would be overwritten");
        }
        ProgressBar bar;
        std::optional<bool> barWanted;  // decided after the first hole, when the work is known
        const Measurement m = measureInput(request, [&](long long done, long long total) {
            if (!barWanted) barWanted = wantsProgress(bar.fd, total * (request.maxLag + 1));
            if (*barWanted) showProgress(bar, done, total);
        });
        clearProgress(bar);
        writeWholeFiles({{request.output, measuredCsv(m)}, {classesPath, classesCsv(m)}});
        return CommandResult{0, measureSummary(request, m) + "written        " + visible(request.output) + ", " +
                                    visible(classesPath) + "\n", ""};
    });
}

}  // namespace reduz::fit
