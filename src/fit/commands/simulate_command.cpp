#include "fit/commands/simulate_command.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>

#include "fit/base/csv_text.hpp"
#include "fit/base/failures.hpp"
#include "fit/base/input_file.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/parallel_tasks.hpp"
#include "fit/base/text_case.hpp"
#include "fit/base/whole_files.hpp"
#include "fit/commands/measure_command.hpp"
#include "fit/commands/output_directory.hpp"
#include "fit/fitting/model_file.hpp"
#include "fit/fitting/model_files.hpp"
#include "fit/fitting/panel_plot.hpp"
#include "fit/measuring/ascii_grid.hpp"
#include "fit/measuring/gdal_raster.hpp"
#include "fit/measuring/point_csv.hpp"
#include "fit/simulating/geotiff_out.hpp"
#include "fit/simulating/mcrf.hpp"
#include "fit/simulating/quench.hpp"
#include "fit/simulating/realization_check.hpp"
#include "fit/simulating/sim_plot.hpp"

namespace reduz::fit {

namespace {

// Each realization is quenched towards the model at lags 1 to 10 of each axis, every cell
// visited once: on a two-class chain that brings every lag 1 to 20 within 0.007 of the model
// (0.055 off at lag 1 before), for 0.35 s a million cells.
constexpr int quenchLags = 10, quenchSweeps = 1;

std::string modelPath(const std::string& directory) { return withoutTrailingSlash(directory) + "/model.csv"; }

StoredModel readModelOf(const std::string& directory) {
    const std::string path = modelPath(directory);
    return readModelCsv(readInputFile(path), path);
}

// A raster's cells by class name: its table's names, else the codes' decimal text.
std::string nameOfCode(const RasterInfo& info, std::int64_t code) {
    const auto named = std::find(info.codes.begin(), info.codes.end(), code);
    return named != info.codes.end() ? info.names[static_cast<std::size_t>(named - info.codes.begin())] : std::to_string(code);
}

int classNamed(const std::vector<std::string>& classes, const std::string& name, const std::string& file) {
    const auto found = std::find(classes.begin(), classes.end(), name);
    if (found == classes.end()) failInput(file, 0, 0, "class \"" + visible(name) + "\" is not one of the model's classes");
    return static_cast<int>(found - classes.begin());
}

void setKnown(KnownCells& known, std::size_t cell, int code, const std::vector<std::string>& classes, const std::string& file) {
    if (known[cell] >= 0 && known[cell] != code) {
        failInput(file, 0, 0,
                  "two data of different classes (" + visible(classes[static_cast<std::size_t>(known[cell])]) + " and " +
                      visible(classes[static_cast<std::size_t>(code)]) + ") fall in one cell");
    }
    known[cell] = code;
}

// A raster's classed cells as data; its size must be the grid's.
void rasterData(const std::string& path, const SimGrid& grid, const std::vector<std::string>& classes, KnownCells& known) {
    const RasterInfo info = openRaster(path);
    if (info.columns != grid.columns || info.rows != grid.rows) {
        failInput(path, 0, 0,
                  std::to_string(info.columns) + " x " + std::to_string(info.rows) + " cells, where the grid has " +
                      std::to_string(grid.columns) + " x " + std::to_string(grid.rows));
    }
    std::map<std::int64_t, int> codeOf;
    readRasterRows(path, [&](long long row, std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData) {
        for (std::size_t c = 0; c < codes.size(); ++c) {
            if (isNoData[c] != 0) continue;
            auto [slot, added] = codeOf.try_emplace(codes[c], 0);
            if (added) slot->second = classNamed(classes, nameOfCode(info, codes[c]), path);
            setKnown(known, static_cast<std::size_t>(row) * codes.size() + c, slot->second, classes, path);
        }
    });
}

void pointData(const std::string& path, const SimGrid& grid, const std::vector<std::string>& classes, KnownCells& known) {
    const Points points = readPointCsv(readInputFile(path), path, PointColumns{});
    if (points.hasZ) failInput(path, 0, 0, "has a z column: the grid is a plane (x, y)");
    std::vector<int> index;
    for (const std::string& name : points.classes) index.push_back(classNamed(classes, name, path));
    for (const Point& p : points.points) {
        const std::optional<std::size_t> cell = cellAt(grid, p.x, p.y);
        if (!cell) failInput(path, 0, 0, "the point (" + shortest(p.x) + ", " + shortest(p.y) + ") lies outside the grid");
        setKnown(known, *cell, index[static_cast<std::size_t>(p.code)], classes, path);
    }
}

// The codes written for the classes: their own names where every one is a distinct whole
// number (a map's codes), else 1, 2, ... in the model's order.
std::vector<long long> codesOf(const std::vector<std::string>& classes) {
    std::vector<long long> codes;
    for (const std::string& name : classes) {
        const std::optional<long long> code = parseWhole(name);
        if (!code || std::to_string(*code) != name) break;
        codes.push_back(*code);
    }
    if (codes.size() == classes.size()) return codes;
    codes.clear();
    for (std::size_t c = 0; c < classes.size(); ++c) codes.push_back(static_cast<long long>(c) + 1);
    return codes;
}

// A number of the header in plain decimals, as every reader of ESRI grids takes it: 500000, not
// 5e+05; the shortest that reads back as the same double.
std::string plain(double value) {
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return error == std::errc() ? std::string(text, end) : shortest(value);
}

std::string gridHeader(const SimGrid& grid) {
    std::string text = "ncols ";
    text += std::to_string(grid.columns);
    text += "\nnrows ";
    text += std::to_string(grid.rows);
    text += "\nxllcorner ";
    text += plain(grid.west);
    text += "\nyllcorner ";
    text += plain(grid.south);
    text += "\n";
    // GDAL reads dx and dy for cells that are not square.
    text += grid.cellX == grid.cellY ? "cellsize " + plain(grid.cellX) + "\n"
                                     : "dx " + plain(grid.cellX) + "\ndy " + plain(grid.cellY) + "\n";
    return text;
}

template <typename Cell>
std::string gridText(const SimGrid& grid, Cell cell) {
    std::string text = gridHeader(grid);
    const std::size_t columns = static_cast<std::size_t>(grid.columns);
    for (std::size_t r = 0; r < static_cast<std::size_t>(grid.rows); ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) text += ' ';
            text += cell(r * columns + c);
        }
        text += '\n';
    }
    return text;
}

std::string fixed4(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

}  // namespace

CommandResult runSimulate(const SimulateRequest& request) {
    return reportingFailures([&] {
        const std::string out = withoutTrailingSlash(request.output);
        std::vector<std::string> inputs = {modelPath(request.modelX), modelPath(request.modelY)};
        if (!request.grid.empty()) inputs.push_back(request.grid);
        if (!request.condition.empty()) inputs.push_back(request.condition);
        checkReplaceable(out, inputs, "check.csv", "simulation");

        const StoredModel x = readModelOf(request.modelX);
        const StoredModel y = request.modelY == request.modelX ? x : readModelOf(request.modelY);
        if (y.classes != x.classes) {
            failInput(modelPath(request.modelY), 0, 0, "its classes are not those of " + modelPath(request.modelX) + ", in that order");
        }
        const std::vector<std::string>& classes = x.classes;

        SimGrid grid;
        if (!request.grid.empty()) {
            const RasterInfo info = openRaster(request.grid);
            grid = SimGrid{info.columns, info.rows, info.cellWidth, info.cellHeight, info.originX,
                           info.originY - static_cast<double>(info.rows) * info.cellHeight, info.projection};
        } else {
            grid = SimGrid{request.columns, request.rows, request.cellX, request.cellY, request.west, request.south, ""};
        }
        const long long cells = grid.columns * grid.rows;
        if (cells > mostGridCells || cells * request.realizations > (1LL << 31)) {
            failInput(request.grid.empty() ? request.output : request.grid, 0, 0,
                      std::to_string(cells) + " cells and " + std::to_string(request.realizations) +
                          " realizations: more than the " + std::to_string(mostGridCells) +
                          " cells and 2^31 cells over all the realizations a simulation holds");
        }
        KnownCells known(static_cast<std::size_t>(cells), -1);
        if (!request.grid.empty()) rasterData(request.grid, grid, classes, known);
        if (!request.condition.empty()) {
            if (namesRaster(request.condition) || namesMap(request.condition)) {
                rasterData(request.condition, grid, classes, known);
            } else {
                pointData(request.condition, grid, classes, known);
            }
        }

        const SimModel model = simModel(x.model, y.model, grid.cellX, grid.cellY);
        std::vector<std::vector<std::uint8_t>> realizations(static_cast<std::size_t>(request.realizations));
        std::vector<QuenchSummary> quenched(realizations.size());
        runTasks(request.realizations, request.threads, [&](int r) {
            std::vector<std::uint8_t> cells = simulateRealization(grid, model, known, realizationSeed(request.seed, r));
            quenched[static_cast<std::size_t>(r)] =
                quenchRealization(grid, model, known, cells, realizationSeed(request.seed, r), quenchLags, quenchSweeps);
            realizations[static_cast<std::size_t>(r)] = std::move(cells);
        });

        const std::vector<long long> codes = codesOf(classes);
        // A grid from a GeoTIFF gets its maps as GeoTIFF too, with its georeference.
        const bool geoTiffs = !request.grid.empty() && (endsIgnoringCase(request.grid, ".tif") || endsIgnoringCase(request.grid, ".tiff"));
        const auto codesOfCells = [&](const std::vector<std::uint8_t>& classOf) {
            std::vector<long long> written(classOf.size());
            for (std::size_t c = 0; c < classOf.size(); ++c) written[c] = codes[classOf[c]];
            return written;
        };
        const std::size_t n = classes.size();
        std::vector<FileText> files;
        std::vector<std::int64_t> counts(static_cast<std::size_t>(cells) * n, 0), total(n, 0);
        for (std::size_t r = 0; r < realizations.size(); ++r) {
            const std::vector<std::uint8_t>& cellsOf = realizations[r];
            for (std::size_t c = 0; c < cellsOf.size(); ++c) {
                ++counts[c * n + cellsOf[c]];
                ++total[cellsOf[c]];
            }
            char name[40];
            std::snprintf(name, sizeof name, "realization-%03zu.asc", r + 1);
            files.push_back({name, gridText(grid, [&](std::size_t c) { return std::to_string(codes[cellsOf[c]]); })});
            if (geoTiffs) files.push_back({std::string(name, std::strlen(name) - 3) + "tif", geoTiff(grid, codesOfCells(cellsOf))});
        }
        std::string classesText = "code,class,model,simulated\n";
        const double all = static_cast<double>(cells) * request.realizations;
        for (std::size_t k = 0; k < n; ++k) {
            classesText += std::to_string(codes[k]) + "," + csvField(classes[k]) + "," + shortest(model.proportions[k]) + "," +
                           shortest(static_cast<double>(total[k]) / all) + "\n";
            std::string name = "probability-";
            name += safeName(classes[k]);
            name += ".asc";
            files.push_back({name, gridText(grid, [&](std::size_t c) {
                                 return shortest(static_cast<double>(counts[c * n + k]) / request.realizations);
                             })});
        }
        std::vector<std::uint8_t> mostProbable(static_cast<std::size_t>(cells));
        for (std::size_t c = 0; c < mostProbable.size(); ++c) {
            const auto first = counts.begin() + static_cast<std::ptrdiff_t>(c * n);
            mostProbable[c] = static_cast<std::uint8_t>(std::max_element(first, first + static_cast<std::ptrdiff_t>(n)) - first);
        }
        files.push_back({"most-probable.asc", gridText(grid, [&](std::size_t c) { return std::to_string(codes[mostProbable[c]]); })});
        if (geoTiffs) files.push_back({"most-probable.tif", geoTiff(grid, codesOfCells(mostProbable))});
        const std::string script = realizationsScript(grid, classes, known, realizations, mostProbable);
        files.push_back({"realizations.gp", script});
        const Drawing drawing = drawScript(script);
        if (drawing.drawn) files.push_back({"realizations.png", drawing.png});
        files.push_back({"classes.csv", classesText});
        const std::vector<CheckRow> check = checkRealizations(grid, model, realizations, request.checkLags);
        files.push_back({"check.csv", realizationCheckCsv(classes, grid, check)});

        std::string summary = "models         x " + visible(modelPath(request.modelX)) + ", y " + visible(modelPath(request.modelY)) + "\n";
        summary += "classes        " + std::to_string(n) + "\n";
        summary += "grid           " + std::to_string(grid.columns) + " x " + std::to_string(grid.rows) + " cells of " +
                   shortest(grid.cellX) + " x " + shortest(grid.cellY) + "\n";
        summary += "data           " + std::to_string(std::count_if(known.begin(), known.end(), [](int k) { return k >= 0; })) + " cells\n";
        summary += "realizations   " + std::to_string(request.realizations) + ", seed " + std::to_string(request.seed) + "\n";
        double before = 0, after = 0;
        long long changes = 0;
        for (const QuenchSummary& q : quenched) {
            before += q.before / static_cast<double>(quenched.size());
            after += q.after / static_cast<double>(quenched.size());
            changes += q.changes;
        }
        summary += "quenched       " + std::to_string(changes) + " cells changed, the curves' squared error " + fixed4(before) +
                   " -> " + fixed4(after) + " (a realization's mean)\n";
        for (const char axis : {'x', 'y'}) {
            const CheckRow* worst = nullptr;
            for (const CheckRow& row : check) {
                if (row.axis != axis || std::isnan(row.simulated)) continue;
                if (worst == nullptr || std::fabs(row.simulated - row.model) > std::fabs(worst->simulated - worst->model)) worst = &row;
            }
            if (worst == nullptr) continue;
            summary += std::string("check ") + axis + "        largest difference " + fixed4(worst->simulated - worst->model) +
                       " at lag " + std::to_string(worst->lag) + ", " + visible(classes[static_cast<std::size_t>(worst->from)]) + " to " +
                       visible(classes[static_cast<std::size_t>(worst->to)]) + "\n";
        }
        const std::string left = writeWholeDirectory(out, files);
        if (!drawing.drawn) summary += "picture        not drawn: " + drawing.why + "\n";
        summary += "written        " + visible(out) + "/: " + std::to_string(realizations.size()) +
                   " realizations, probability of each class, most-probable.asc, classes.csv, check.csv, realizations.gp" +
                   (drawing.drawn ? ", realizations.png" : "") + "\n";
        return CommandResult{0, summary, left.empty() ? "" : "reduzfit: " + left + "\n"};
    });
}

}  // namespace reduz::fit
