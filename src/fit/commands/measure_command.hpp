#pragma once
// `reduzfit measure`: reads interval logs, a map or scattered points, measures their
// transiograms, writes measured.csv and classes.csv whole, and returns the summary of the input
// for standard output.
//
//   runMeasure({"logs.csv", step 0.5, maxLag 40})  -> 0, measured.csv and classes.csv written,
//                                                     out "input          logs.csv\nholes          4\n..."
//   runMeasure({"points.csv", step 1, maxLag 3})   -> 0, out "input          points.csv\npoints         5 (x, y)\n..."
//   a row it cannot use                            -> 2, err "reduzfit: logs.csv:7:2: ...\n",
//                                                     nothing written
//   output that cannot be written                  -> 1, err "reduzfit: cannot write ...\n",
//                                                     older files kept

#include <optional>
#include <string>
#include <string_view>

#include "fit/commands/command_result.hpp"
#include "fit/measuring/directions.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/measurement.hpp"
#include "fit/measuring/point_csv.hpp"
#include "fit/measuring/points.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {

// Which a CSV input is: logs or points as its header says (headerNamesPoints), or as --columns
// names its columns.
enum class CsvForm { byHeader, logs, points };

// What scattered points take beyond the lags, and what tells them from logs.
struct PointOptions {
    CsvForm form = CsvForm::byHeader;
    PointColumns columns;
    std::optional<Cone> cone;     // --azimuth, --tolerance, --dip; none: every direction
    bool directionNamed = false;  // --direction was given, which points do not take
};

struct MeasureRequest {
    std::string input;
    double step = 1;
    int maxLag = 100;  // lags 0..maxLag
    Direction direction = Direction::down;
    ColumnNames columns;
    std::string output = "measured.csv";
    PointOptions points;  // its cone is a lateral measurement's too
    std::string collars;  // --collars FILE, for lateral curves; empty: the logs' x and y columns
};

// A raster GDAL reads: a name ending in .tif, .tiff, .vrt or .img (any case). Maps of ESRI
// ASCII (.asc) are read by this program's own reader, which names the line of a fault.
bool namesRaster(std::string_view path);

struct MeasuredInput {
    Measurement measurement;
    std::string summary;  // the console's account of it, every line but the files written
};

// Reads the input and measures it, writing nothing. Throws InputError for input it cannot use.
// Points are told as
//   "input          points.csv\npoints         5 (x, y)\nclasses        2\n"
//   "lags           0 to 3 by 1, every direction\ntoo close      1 pair under 0.5 apart, in no lag\n"
// and along a cone "..., azimuth 45, tolerance 22.5" ("azimuth 45, dip 30, tolerance 22.5").
MeasuredInput measureInput(const MeasureRequest& request, const ProgressFn& progress = {});

// The input's holes as read, with their collars for lateral curves, for a measurement by
// measureLogs; points, which have none, are refused.
Logs readInputLogs(const MeasureRequest& request);

// The holes measured down, up or lateral, and told as
//   "input          logs.csv\nholes          4\n...lags           0 to 40 by 0.5, down\n";
// lateral: "...lags           0 to 10 by 50, lateral, azimuth 90, tolerance 22.5\n"
//          "too close      0 pairs of holes under 25 apart, in no lag\n"
MeasuredInput measureLogs(const MeasureRequest& request, const Logs& logs, const ProgressFn& progress = {});

// The whole command; its status is 0, 1 (output not written) or 2 (bad input).
CommandResult runMeasure(const MeasureRequest& request);

}  // namespace reduz::fit
