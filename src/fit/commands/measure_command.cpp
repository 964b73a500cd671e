#include "fit/commands/measure_command.hpp"

#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <span>

#include "fit/base/failures.hpp"
#include "fit/base/input_file.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/whole_files.hpp"
#include "fit/commands/progress.hpp"
#include "fit/base/text_case.hpp"
#include "fit/measuring/ascii_grid.hpp"
#include "fit/measuring/gdal_raster.hpp"
#include "fit/measuring/collars.hpp"
#include "fit/measuring/grid_sweep.hpp"
#include "fit/measuring/lateral.hpp"
#include "fit/measuring/measured_csv.hpp"

namespace reduz::fit {

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

std::string measureSummary(const MeasureRequest& request, const Measurement& m) {
    return "input          " + visible(request.input) + "\nholes          " + std::to_string(m.holes) +
           "\nintervals      " + std::to_string(m.intervals) + "\nclasses        " + std::to_string(m.classes.size()) +
           "\nlogged length  " + shortest(m.loggedLength) + "\nlags           0 to " + std::to_string(m.maxLag) + " by " +
           shortest(m.step) + ", " + m.direction + "\n";
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
            sweep = gridSweep(request.direction, request.step, request.maxLag, size.columns, size.rows, size.cellsize, size.cellsize);
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

// The raster's class names by code.
std::map<std::int64_t, std::string> namesOf(const RasterInfo& info) {
    std::map<std::int64_t, std::string> names;
    for (std::size_t c = 0; c < info.codes.size(); ++c) names.emplace(info.codes[c], info.names[c]);
    return names;
}

// Two codes that occur, named alike, would be two classes of one name.
void checkNamesApart(const MeasureRequest& request, const std::vector<std::string>& classes) {
    for (std::size_t a = 0; a < classes.size(); ++a) {
        for (std::size_t b = a + 1; b < classes.size(); ++b) {
            if (classes[a] == classes[b]) {
                failInput(request.input, 0, 0, "two codes that occur are both named \"" + visible(classes[a]) + "\" in its table");
            }
        }
    }
}

// A raster read through GDAL a strip of blocks at a time, into the same sweep as a grid's.
Measurement measureRaster(const MeasureRequest& request, const ProgressFn& progress) {
    const RasterInfo info = openRaster(request.input);
    const bool columns = alongColumns(request.direction);
    checkGridPrecision(request, columns ? info.rows : info.columns, columns ? info.cellHeight : info.cellWidth);
    GridSweep sweep = gridSweep(request.direction, request.step, request.maxLag, info.columns, info.rows, info.cellWidth, info.cellHeight);
    readRasterRows(request.input, [&](long long, std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData) {
        addGridRow(sweep, codes, isNoData);
        checkTableSize(request, sweep.codes.size());
        if (progress) progress(sweep.rows * info.columns, info.rows * info.columns);
    });
    if (sweep.codes.empty()) failInput(request.input, 0, 0, "every cell is NoData");
    Measurement m = finishGrid(sweep, request.step, request.maxLag, namesOf(info));
    std::vector<std::string> classes;
    for (const ClassSummary& c : m.classes) classes.push_back(c.name);
    checkNamesApart(request, classes);
    return m;
}


bool holdsPoints(const MeasureRequest& request, const std::string& text) {
    if (namesMap(request.input) || namesRaster(request.input)) return false;
    const CsvForm form = request.points.form;
    return form == CsvForm::points || (form == CsvForm::byHeader && headerNamesPoints(text));
}

Logs logsOf(const MeasureRequest& request, const std::string& text) {
    if (namesMap(request.input)) return readAsciiGrid(text, request.input, alongColumns(request.direction));
    const bool collarsInLogs = request.direction == Direction::lateral && request.collars.empty();
    Logs logs = readIntervalLogs(text, request.input, request.columns, collarsInLogs);
    if (!request.collars.empty()) readCollars(readInputFile(request.collars), request.collars, request.columns.hole, logs);
    return logs;
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
    checkTableSize(request, points.classes.size());
    const PointLags lags{request.step, request.maxLag, cone};
    checkPointPrecision(points, lags, request.input);
    PointMeasurement pm = measurePoints(points, lags, progress);
    pm.measurement.direction = directionText(cone);
    return MeasuredInput{pm.measurement, pointsSummary(request, points, pm)};
}

MeasuredInput measureLateralLogs(const MeasureRequest& request, const Logs& logs, const ProgressFn& progress) {
    const PointLags lags{request.step, request.maxLag, request.points.cone};
    LateralMeasurement lateral = measureLateral(logs, lags, request.input, progress);
    Measurement& m = lateral.measurement;
    m.direction = "lateral";
    if (request.points.cone) m.direction += ", " + directionText(request.points.cone);
    std::string summary = measureSummary(request, m);
    summary += "too close      " + std::to_string(lateral.tooClose) + (lateral.tooClose == 1 ? " pair" : " pairs") +
               " of holes under " + shortest(m.step / 2) + " apart, in no lag\n";
    return MeasuredInput{std::move(m), std::move(summary)};
}

}  // namespace

Logs readInputLogs(const MeasureRequest& request) {
    if (namesRaster(request.input)) {
        const RasterInfo info = openRaster(request.input);
        std::vector<std::int64_t> codes;
        std::vector<std::uint8_t> isNoData;
        readRasterRows(request.input, [&](long long, std::span<const std::int64_t> row, std::span<const std::uint8_t> noData) {
            codes.insert(codes.end(), row.begin(), row.end());
            isNoData.insert(isNoData.end(), noData.begin(), noData.end());
        });
        Logs logs = holesOfGrid(codes, isNoData, info.columns, info.cellWidth, info.cellHeight, alongColumns(request.direction),
                                namesOf(info));
        if (logs.classes.empty()) failInput(request.input, 0, 0, "every cell is NoData");
        checkNamesApart(request, logs.classes);
        return logs;
    }
    const std::string text = readInputFile(request.input);
    // The one-go fit holds whole holes out; scattered points have none to hold out.
    if (holdsPoints(request, text)) {
        failInput(request.input, 0, 0,
                  "holds scattered points, which are measured alone: 'reduzfit measure', then 'reduzfit fit' of "
                  "its measured.csv");
    }
    return logsOf(request, text);
}

bool namesRaster(std::string_view path) {
    for (const std::string_view ending : {".tif", ".tiff", ".vrt", ".img"}) {
        if (endsIgnoringCase(path, ending)) return true;
    }
    return false;
}

MeasuredInput measureInput(const MeasureRequest& request, const ProgressFn& progress) {
    const bool map = namesMap(request.input), raster = namesRaster(request.input);
    std::string text;
    if (!map && !raster) {
        text = readInputFile(request.input);
        if (holdsPoints(request, text)) return measurePointsText(request, text, progress);
    }
    if (request.points.cone && request.direction != Direction::lateral) {
        failInput(request.input, 0, 0,
                  "--azimuth is for scattered points (a header of x, y and class, or --columns x=NAME,y=NAME,"
                  "class=NAME) and lateral curves between holes; logs run down or up, a map east, west, north or south");
    }
    if (!map && !raster) return measureLogs(request, logsOf(request, text), progress);
    const Measurement m = map ? measureAsciiGrid(request, progress) : measureRaster(request, progress);
    return MeasuredInput{m, measureSummary(request, m)};
}

MeasuredInput measureLogs(const MeasureRequest& request, const Logs& logs, const ProgressFn& progress) {
    checkTableSize(request, logs.classes.size());
    if (request.direction == Direction::lateral) return measureLateralLogs(request, logs, progress);
    checkLagPrecision(logs, request.step, request.input);
    const LagGrid grid{request.step, request.maxLag, isBackward(request.direction)};
    Measurement m = measureTransiograms(logs, grid, progress);
    m.direction = directionName(request.direction);
    // Every L_ij is at most the logged length: while that is finite, so is every value written.
    if (!std::isfinite(m.loggedLength)) failInput(request.input, 0, 0, "the logged length is too large to measure");
    return MeasuredInput{m, measureSummary(request, m)};
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
