#pragma once
// `reduzfit measure`: reads interval logs or a map, measures their transiograms, writes
// measured.csv and classes.csv whole, and returns the summary of the input for standard output.
//
//   runMeasure({"logs.csv", step 0.5, maxLag 40})  -> 0, measured.csv and classes.csv written,
//                                                     out "input          logs.csv\nholes          4\n..."
//   a row it cannot use                            -> 2, err "reduzfit: logs.csv:7:2: ...\n",
//                                                     nothing written
//   output that cannot be written                  -> 1, err "reduzfit: cannot write ...\n",
//                                                     older files kept

#include <string>
#include <string_view>

#include "fit/commands/command_result.hpp"
#include "fit/measuring/directions.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/measurement.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {

struct MeasureRequest {
    std::string input;
    double step = 1;
    int maxLag = 100;  // lags 0..maxLag
    Direction direction = Direction::down;
    ColumnNames columns;
    std::string output = "measured.csv";
};

// A raster GDAL reads: a name ending in .tif, .tiff, .vrt or .img (any case). Maps of ESRI
// ASCII (.asc) are read by this program's own reader, which names the line of a fault.
bool namesRaster(std::string_view path);

// Reads the input and measures it, writing nothing: the in-memory result a fit starts from.
// Throws InputError for input it cannot use.
Measurement measureInput(const MeasureRequest& request, const ProgressFn& progress = {});

// The two halves of measureInput: the input's holes as read, and their measurement.
Logs readInputLogs(const MeasureRequest& request);
Measurement measureLogs(const MeasureRequest& request, const Logs& logs, const ProgressFn& progress = {});

// The console's account of a measurement, every line but the files written:
//   "input          logs.csv\nholes          4\n...lags           0 to 40 by 0.5, down\n"
std::string measureSummary(const MeasureRequest& request, const Measurement& m);

// The whole command; its status is 0, 1 (output not written) or 2 (bad input).
CommandResult runMeasure(const MeasureRequest& request);

}  // namespace reduz::fit
