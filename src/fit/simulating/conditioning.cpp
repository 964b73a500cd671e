#include "fit/simulating/conditioning.hpp"

#include <algorithm>
#include <map>
#include <span>

#include "fit/base/failures.hpp"
#include "fit/base/input_file.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/text_case.hpp"
#include "fit/measuring/collars.hpp"
#include "fit/measuring/gdal_raster.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/point_csv.hpp"

namespace reduz::fit {

namespace {

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

}  // namespace

void addRasterData(const std::string& path, const SimGrid& grid, const std::vector<std::string>& classes, KnownCells& known) {
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

void addPointData(const std::string& text, const std::string& path, const SimGrid& grid, bool block,
               const std::vector<std::string>& classes, KnownCells& known) {
    const Points points = readPointCsv(text, path, PointColumns{});
    if (!block && points.hasZ) failInput(path, 0, 0, "has a z column: the grid is a plane (x, y)");
    if (block && !points.hasZ) failInput(path, 0, 0, "has no z column: the grid is a block (x, y, z)");
    std::vector<int> index;
    for (const std::string& name : points.classes) index.push_back(classNamed(classes, name, path));
    for (const Point& p : points.points) {
        const std::optional<std::size_t> cell = block ? cellAt(grid, p.x, p.y, p.z) : cellAt(grid, p.x, p.y);
        if (!cell) {
            failInput(path, 0, 0,
                      "the point (" + shortest(p.x) + ", " + shortest(p.y) + (block ? ", " + shortest(p.z) : "") + ") lies outside the grid");
        }
        setKnown(known, *cell, index[static_cast<std::size_t>(p.code)], classes, path);
    }
}

void addLogData(const std::string& text, const std::string& path, const std::string& collars, const SimGrid& grid,
             const std::vector<std::string>& classes, KnownCells& known) {
    Logs logs = readIntervalLogs(text, path, ColumnNames{}, collars.empty());
    if (!collars.empty()) readCollars(readInputFile(collars), collars, ColumnNames{}.hole, logs);
    std::vector<int> index;
    for (const std::string& name : logs.classes) index.push_back(classNamed(classes, name, path));
    const double top = grid.bottom + static_cast<double>(grid.layers) * grid.cellZ;
    for (const Hole& hole : logs.holes) {
        const Collar& collar = *hole.collar;
        const std::optional<std::size_t> topCell = cellAt(grid, collar.x, collar.y, top);
        if (!topCell) failInput(path, 0, 0, hole.name + ": its collar (" + shortest(collar.x) + ", " + shortest(collar.y) + ") lies outside the grid");
        const CellPlace column = placeOf(grid, *topCell);
        bool covers = false;
        for (long long l = 0; l < grid.layers; ++l) {
            const double depth = collar.elevation - (top - (static_cast<double>(l) + 0.5) * grid.cellZ);
            const auto run = std::find_if(hole.runs.begin(), hole.runs.end(), [&](const Run& r) { return r.from <= depth && depth < r.to; });
            if (run == hole.runs.end()) continue;
            setKnown(known, static_cast<std::size_t>(cellIndex(grid, column.column, column.row, l)), index[static_cast<std::size_t>(run->code)], classes, path);
            covers = true;
        }
        if (!covers) failInput(path, 0, 0, hole.name + ": no logged interval covers the centre of a cell of the grid");
    }
}

}  // namespace reduz::fit
