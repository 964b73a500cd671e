#pragma once
// `reduzfit measure`: reads interval logs or a map, measures their transiograms, writes
// measured.csv and classes.csv whole, and sums the input up on standard output.
//
//   runMeasure({"logs.csv", step 0.5, lags 40})  -> 0, measured.csv and classes.csv written,
//                                                   "input          logs.csv\nholes          4\n..."
//                                                   on stdout
//   a row it cannot use                          -> 2, "reduzfit: logs.csv:7:2: ..." on stderr,
//                                                   nothing written
//   output that cannot be written                -> 1, "reduzfit: cannot write ..." on stderr,
//                                                   older files kept

#include <string>
#include <string_view>

#include "fit/interval_csv.hpp"
#include "fit/measurement.hpp"
#include "fit/sweep.hpp"

namespace reduz::fit {

// Logs run down or up; a map's rows east or west, its columns north or south.
enum class Direction { down, up, east, west, north, south };

struct MeasureRequest {
    std::string input;
    double step = 1;
    int lags = 100;
    Direction direction = Direction::down;
    ColumnNames columns;
    std::string output = "measured.csv";
};

std::string_view directionName(Direction direction);
bool isMapDirection(Direction direction);  // east, west, north, south

// A map is a file whose name ends in ".asc" (any case); anything else is read as interval logs.
bool namesMap(std::string_view path);

// "measured.csv" -> "classes.csv", "out/m.csv" -> "out/classes.csv"
std::string classesPathBeside(std::string_view output);

// Reads the input and measures it, writing nothing: the in-memory result a fit starts from.
// Throws InputError for input it cannot use.
Measurement measureInput(const MeasureRequest& request, const ProgressFn& progress = {});

// The console's account of a measurement, every line but the files written:
//   "input          logs.csv\nholes          4\n...lags           0 to 40 by 0.5, down\n"
std::string measureSummary(const MeasureRequest& request, const Measurement& m);

// The whole command; returns the exit status: 0, 1 (output not written) or 2 (bad input).
int runMeasure(const MeasureRequest& request);

}  // namespace reduz::fit
