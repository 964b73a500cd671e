#include "fit/commands/simulate_command.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <cctype>
#include <cstdio>
#include <functional>
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
#include "fit/simulating/conditioning.hpp"
#include "fit/simulating/geotiff_out.hpp"
#include "fit/simulating/mcrf.hpp"
#include "fit/simulating/quench.hpp"
#include "fit/simulating/realization_check.hpp"
#include "fit/simulating/sim_plot.hpp"
#include "fit/simulating/vtk_image.hpp"

namespace reduz::fit {

namespace {

std::string modelPath(const std::string& directory) { return withoutTrailingSlash(directory) + "/model.csv"; }

StoredModel readModelOf(const std::string& directory) {
    const std::string path = modelPath(directory);
    return readModelCsv(readInputFile(path), path);
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

// A block's vertical section along x through its middle row, its layers as a map's rows: what
// the picture shows of a block.
template <typename Cell>
std::vector<Cell> sectionOf(const SimGrid& grid, const std::vector<Cell>& cells) {
    std::vector<Cell> section;
    for (long long l = 0; l < grid.layers; ++l) {
        const auto row = cells.begin() + cellIndex(grid, 0, grid.rows / 2, l);
        section.insert(section.end(), row, row + grid.columns);
    }
    return section;
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
        const bool block = !request.modelZ.empty();
        std::vector<std::string> inputs = {modelPath(request.modelX), modelPath(request.modelY)};
        if (block) inputs.push_back(modelPath(request.modelZ));
        if (!request.grid.empty()) inputs.push_back(request.grid);
        if (!request.condition.empty()) inputs.push_back(request.condition);
        if (!request.collars.empty()) inputs.push_back(request.collars);
        checkReplaceable(out, inputs, "check.csv", "simulation");

        // each directory read once; every axis's classes those of the first, in its order
        std::map<std::string, StoredModel> read;
        const auto modelOf = [&](const std::string& directory) -> const StoredModel& {
            auto [slot, added] = read.try_emplace(directory);
            if (added) slot->second = readModelOf(directory);
            if (slot->second.classes != read.at(request.modelX).classes) {
                failInput(modelPath(directory), 0, 0, "its classes are not those of " + modelPath(request.modelX) + ", in that order");
            }
            return slot->second;
        };
        const StoredModel& x = modelOf(request.modelX);
        const StoredModel& y = modelOf(request.modelY);
        const StoredModel& z = block ? modelOf(request.modelZ) : x;
        const std::vector<std::string>& classes = x.classes;

        SimGrid grid;
        if (!request.grid.empty()) {
            const RasterInfo info = openRaster(request.grid);
            grid = SimGrid{info.columns, info.rows, 1, info.cellWidth, info.cellHeight, 1, info.originX,
                           info.originY - static_cast<double>(info.rows) * info.cellHeight, 0, info.projection};
        } else {
            grid = SimGrid{request.columns, request.rows, request.layers, request.cellX, request.cellY, request.cellZ,
                           request.west, request.south, request.bottom, ""};
        }
        const long long cells = cellCount(grid);
        if (cells > mostGridCells || cells * request.realizations > (1LL << 31)) {
            failInput(request.grid.empty() ? request.output : request.grid, 0, 0,
                      std::to_string(cells) + " cells and " + std::to_string(request.realizations) +
                          " realizations: more than the " + std::to_string(mostGridCells) +
                          " cells and 2^31 cells over all the realizations a simulation holds");
        }
        KnownCells known(static_cast<std::size_t>(cells), -1);
        if (!request.grid.empty()) addRasterData(request.grid, grid, classes, known);
        if (!request.condition.empty()) {
            const bool raster = namesRaster(request.condition) || namesMap(request.condition);
            if (raster && block) failInput(request.condition, 0, 0, "a raster is a plane: a block's data are points with z or logs with collars");
            if (raster) {
                addRasterData(request.condition, grid, classes, known);
            } else {
                const std::string text = readInputFile(request.condition);
                if (block && !headerNamesPoints(text)) {
                    addLogData(text, request.condition, request.collars, grid, classes, known);
                } else {
                    addPointData(text, request.condition, grid, block, classes, known);
                }
            }
        }

        // a lateral axis stretched R times is z's model at 1/R of the distance
        const double stretch = request.lateralRatio > 0 ? request.lateralRatio : 1;
        const SimModel model = block ? simModel(x.model, y.model, z.model, grid.cellX / stretch, grid.cellY / stretch, grid.cellZ)
                                     : simModel(x.model, y.model, grid.cellX, grid.cellY);
        const Quenching quenching = block ? blockQuenching : mapQuenching;
        std::vector<std::vector<std::uint8_t>> realizations(static_cast<std::size_t>(request.realizations));
        std::vector<QuenchSummary> quenched(realizations.size());
        runTasks(request.realizations, request.threads, [&](int r) {
            std::vector<std::uint8_t> cells = simulateRealization(grid, model, known, realizationSeed(request.seed, r));
            quenched[static_cast<std::size_t>(r)] =
                quenchRealization(grid, model, known, cells, realizationSeed(request.seed, r), quenching.lags, quenching.sweeps);
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
        // a map's files are ESRI grids; a block's VTK image data
        const std::string extension = block ? ".vti" : ".asc";
        const auto mapText = [&](const char* name, const char* type, const std::function<std::string(std::size_t)>& cell) {
            return block ? vtkImage(grid, name, type, cell) : gridText(grid, cell);
        };
        std::vector<FileText> files;
        std::vector<std::int64_t> counts(static_cast<std::size_t>(cells) * n, 0), total(n, 0);
        for (std::size_t r = 0; r < realizations.size(); ++r) {
            const std::vector<std::uint8_t>& cellsOf = realizations[r];
            for (std::size_t c = 0; c < cellsOf.size(); ++c) {
                ++counts[c * n + cellsOf[c]];
                ++total[cellsOf[c]];
            }
            char name[40];
            std::snprintf(name, sizeof name, "realization-%03zu", r + 1);
            files.push_back({name + extension, mapText("class", "Int64", [&](std::size_t c) { return std::to_string(codes[cellsOf[c]]); })});
            if (geoTiffs) files.push_back({std::string(name) + ".tif", geoTiff(grid, codesOfCells(cellsOf))});
        }
        std::string classesText = "code,class,model,simulated\n";
        const double all = static_cast<double>(cells) * request.realizations;
        for (std::size_t k = 0; k < n; ++k) {
            classesText += std::to_string(codes[k]) + "," + csvField(classes[k]) + "," + shortest(model.proportions[k]) + "," +
                           shortest(static_cast<double>(total[k]) / all) + "\n";
            std::string name = "probability-";
            name += safeName(classes[k]);
            name += extension;
            files.push_back({name, mapText("probability", "Float64", [&](std::size_t c) {
                                 return shortest(static_cast<double>(counts[c * n + k]) / request.realizations);
                             })});
        }
        std::vector<std::uint8_t> mostProbable(static_cast<std::size_t>(cells));
        for (std::size_t c = 0; c < mostProbable.size(); ++c) {
            const auto first = counts.begin() + static_cast<std::ptrdiff_t>(c * n);
            mostProbable[c] = static_cast<std::uint8_t>(std::max_element(first, first + static_cast<std::ptrdiff_t>(n)) - first);
        }
        files.push_back({"most-probable" + extension, mapText("class", "Int64", [&](std::size_t c) { return std::to_string(codes[mostProbable[c]]); })});
        if (geoTiffs) files.push_back({"most-probable.tif", geoTiff(grid, codesOfCells(mostProbable))});
        std::string script;
        if (block) {
            const SimGrid section{grid.columns, grid.layers, 1, grid.cellX, grid.cellZ, 1, grid.west, grid.bottom, 0, ""};
            std::vector<std::vector<std::uint8_t>> shown;
            for (std::size_t r = 0; r < std::min<std::size_t>(4, realizations.size()); ++r) shown.push_back(sectionOf(grid, realizations[r]));
            script = realizationsScript(section, classes, sectionOf(grid, known), shown, sectionOf(grid, mostProbable));
        } else {
            script = realizationsScript(grid, classes, known, realizations, mostProbable);
        }
        files.push_back({"realizations.gp", script});
        const Drawing drawing = drawScript(script);
        if (drawing.drawn) files.push_back({"realizations.png", drawing.png});
        files.push_back({"classes.csv", classesText});
        const std::vector<CheckRow> check = checkRealizations(grid, model, realizations, request.checkLags);
        files.push_back({"check.csv", realizationCheckCsv(classes, grid, check)});

        std::string summary = "models         ";
        if (request.lateralRatio > 0) {
            summary += "z " + visible(modelPath(request.modelZ)) + "; x and y: z's stretched " + shortest(request.lateralRatio) + " times\n";
        } else {
            summary += "x " + visible(modelPath(request.modelX)) + ", y " + visible(modelPath(request.modelY)) +
                       (block ? ", z " + visible(modelPath(request.modelZ)) : "") + "\n";
        }
        summary += "classes        " + std::to_string(n) + "\n";
        summary += "grid           " + std::to_string(grid.columns) + " x " + std::to_string(grid.rows) +
                   (block ? " x " + std::to_string(grid.layers) : "") + " cells of " + shortest(grid.cellX) + " x " + shortest(grid.cellY) +
                   (block ? " x " + shortest(grid.cellZ) : "") + "\n";
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
        for (const char axis : {'x', 'y', 'z'}) {
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
                   " realizations, probability of each class, most-probable" + extension + ", classes.csv, check.csv, realizations.gp" +
                   (drawing.drawn ? ", realizations.png" : "") + "\n";
        return CommandResult{0, summary, left.empty() ? "" : "reduzfit: " + left + "\n"};
    });
}

}  // namespace reduz::fit
