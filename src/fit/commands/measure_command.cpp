#include "fit/commands/measure_command.hpp"

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

#include "fit/base/failures.hpp"
#include "fit/base/input_file.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/whole_files.hpp"
#include "fit/commands/progress.hpp"
#include "fit/measuring/ascii_grid.hpp"
#include "fit/measuring/grid_sweep.hpp"
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

namespace {

void checkTableSize(const MeasureRequest& request, std::size_t classes) {
    const std::size_t values = pairTableSize(classes, request.maxLag);
    if (values > largestPairTable) {
        failInput(request.input, 0, 0,
                  std::to_string(classes) + " classes make " + std::to_string(classes * classes) + " pairs: at " +
                      std::to_string(request.maxLag + 1) + " lags, " + std::to_string(values) + " values, more than the " +
                      std::to_string(largestPairTable) + " a measurement holds (fewer --lags take more classes)");
    }
}

// The grid's farthest cell must lie where doubles are close enough for the lags, as a hole's.
void checkGridPrecision(const MeasureRequest& request, long long cells, double cellSize) {
    const double farthest = static_cast<double>(cells) * cellSize;
    const double spacing = std::nextafter(farthest, HUGE_VAL) - farthest;
    if (std::isfinite(farthest) && !(spacing <= std::ldexp(request.step, -24))) {
        failInput(request.input, 0, 0,
                  std::string(alongColumns(request.direction) ? "column" : "row") + " 1: doubles at " + shortest(farthest) +
                      " are " + shortest(spacing) + " apart, too far for lags of " + shortest(request.step));
    }
}

// A map streamed row by row into the sweep of its rows or columns: memory stays within the
// lags' window and a row of cells, whatever the map's size.
Measurement measureAsciiGrid(const MeasureRequest& request, const ProgressFn& progress) {
    const std::string text = readInputFile(request.input);
    std::optional<GridSweep> sweep;
    long long columns = 0, rows = 0;  // progress counts the cells, as a hole's counts its runs
    readAsciiGridRows(
        text, request.input, alongColumns(request.direction),
        [&](const GridSize& size) {
            checkGridPrecision(request, alongColumns(request.direction) ? size.rows : size.columns, size.cellsize);
            sweep = gridSweep(request.direction, request.step, request.maxLag, size.columns, size.cellsize, size.cellsize);
            columns = size.columns;
            rows = size.rows;
        },
        [&](std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData) {
            addGridRow(*sweep, codes, isNoData);
            checkTableSize(request, sweep->codes.size());
            if (progress) progress(sweep->rows * columns, rows * columns);
        });
    return finishGrid(*sweep, request.step, request.maxLag);
}

}  // namespace

Measurement measureInput(const MeasureRequest& request, const ProgressFn& progress) {
    if (namesMap(request.input)) return measureAsciiGrid(request, progress);
    return measureLogs(request, readInputLogs(request), progress);
}

Measurement measureLogs(const MeasureRequest& request, const Logs& logs, const ProgressFn& progress) {
    checkTableSize(request, logs.classes.size());
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
