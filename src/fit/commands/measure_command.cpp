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

namespace {

// A table of L_ij above this many values is refused rather than left to exhaust memory: with
// measured.csv's row for each value, about 1 GiB in all.
constexpr std::size_t largestPairTable = std::size_t{1} << 24;

void checkPairTable(const MeasureRequest& request, std::size_t classes) {
    const std::size_t values = pairTableSize(classes, request.maxLag);
    if (values > largestPairTable) {
        failInput(request.input, 0, 0,
                  std::to_string(classes) + " classes make " + std::to_string(classes * classes) + " pairs: at " +
                      std::to_string(request.maxLag + 1) + " lags, " + std::to_string(values) + " values, more than the " +
                      std::to_string(largestPairTable) + " a measurement holds (fewer --lags take more classes)");
    }
}

bool holdsPoints(const MeasureRequest& request, const std::string& text) {
    if (namesMap(request.input)) return false;
    const CsvForm form = request.points.form;
    return form == CsvForm::points || (form == CsvForm::byHeader && headerNamesPoints(text));
}

Logs logsOf(const MeasureRequest& request, const std::string& text) {
    return namesMap(request.input) ? readAsciiGrid(text, request.input, alongColumns(request.direction))
                                   : readIntervalLogs(text, request.input, request.columns);
}

std::string directionText(const std::optional<Cone>& cone) {
    if (!cone) return "every direction";
    std::string text = "azimuth " + shortest(cone->azimuth);
    if (cone->dip) text += ", dip " + shortest(*cone->dip);
    return text + ", tolerance " + shortest(cone->tolerance);
}

std::string pointsSummary(const MeasureRequest& request, const Points& points, const PointMeasurement& pm) {
    const Measurement& m = pm.measurement;
    std::string text = "input          " + visible(request.input);
    text += "\npoints         " + std::to_string(points.points.size()) + (points.hasZ ? " (x, y, z)" : " (x, y)");
    text += "\nclasses        " + std::to_string(m.classes.size());
    text += "\nlags           0 to " + std::to_string(m.maxLag) + " by " + shortest(m.step) + ", " +
            directionText(request.points.cone);
    text += "\ntoo close      " + std::to_string(pm.tooClose) + (pm.tooClose == 1 ? " pair" : " pairs") + " under " +
            shortest(m.step / 2) + " apart, in no lag\n";
    return text;
}

MeasuredInput measurePointsText(const MeasureRequest& request, const std::string& text, const ProgressFn& progress) {
    if (request.points.directionNamed) {
        failInput(request.input, 0, 0,
                  "--direction " + std::string(directionName(request.direction)) +
                      " is for logs and maps; points are measured in every direction, or along --azimuth");
    }
    const Points points = readPointCsv(text, request.input, request.points.columns);
    const std::optional<Cone>& cone = request.points.cone;
    if (cone && cone->dip && !points.hasZ) {
        failInput(request.input, 1, 0, "--dip needs a z column: these points lie in a plane (x, y)");
    }
    checkPairTable(request, points.classes.size());
    const PointLags lags{request.step, request.maxLag, cone};
    checkPointPrecision(points, lags, request.input);
    const PointMeasurement pm = measurePoints(points, lags, progress);
    return MeasuredInput{pm.measurement, pointsSummary(request, points, pm)};
}

}  // namespace

std::string measureSummary(const MeasureRequest& request, const Measurement& m) {
    return "input          " + visible(request.input) + "\nholes          " + std::to_string(m.holes) +
           "\nintervals      " + std::to_string(m.intervals) + "\nclasses        " + std::to_string(m.classes.size()) +
           "\nlogged length  " + shortest(m.loggedLength) + "\nlags           0 to " + std::to_string(m.maxLag) + " by " +
           shortest(m.step) + ", " + std::string(directionName(request.direction)) + "\n";
}

Logs readInputLogs(const MeasureRequest& request) {
    const std::string text = readInputFile(request.input);
    // The one-go fit holds whole holes out; scattered points have none to hold out.
    if (holdsPoints(request, text)) {
        failInput(request.input, 0, 0,
                  "holds scattered points, which are measured alone: 'reduzfit measure', then 'reduzfit fit' of "
                  "its measured.csv");
    }
    return logsOf(request, text);
}

MeasuredInput measureInput(const MeasureRequest& request, const ProgressFn& progress) {
    const std::string text = readInputFile(request.input);
    if (holdsPoints(request, text)) return measurePointsText(request, text, progress);
    if (request.points.cone) {
        failInput(request.input, 0, 0,
                  "--azimuth is for scattered points (a header of x, y and class, or --columns x=NAME,y=NAME,"
                  "class=NAME); logs run down or up, a map east, west, north or south");
    }
    const Measurement m = measureLogs(request, logsOf(request, text), progress);
    return MeasuredInput{m, measureSummary(request, m)};
}

Measurement measureLogs(const MeasureRequest& request, const Logs& logs, const ProgressFn& progress) {
    checkPairTable(request, logs.classes.size());
    checkLagPrecision(logs, request.step, request.input);
    const LagGrid grid{request.step, request.maxLag, isBackward(request.direction)};
    Measurement m = measureTransiograms(logs, grid, progress);
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
        const MeasuredInput measured = measureInput(request, [&](long long done, long long total) {
            if (!barWanted) barWanted = wantsProgress(bar.fd, total * (request.maxLag + 1));
            if (*barWanted) showProgress(bar, done, total);
        });
        clearProgress(bar);
        const Measurement& m = measured.measurement;
        writeWholeFiles({{request.output, measuredCsv(m)}, {classesPath, classesCsv(m)}});
        return CommandResult{0, measured.summary + "written        " + visible(request.output) + ", " +
                                    visible(classesPath) + "\n", ""};
    });
}

}  // namespace reduz::fit
