#pragma once
// `reduzfit fit`: fits the catalogue's shapes to measured transiograms and writes, in DIR, one
// folder per fitted pair that reduzmodel runs as it is, with the tables and the panel of the
// fit; and the same in one go from logs or a map, measured first.
//
//   runFit({"measured.csv", -o fitted})   -> 0, fitted/ written whole, out the summary
//   a pair no candidate fits              -> 3, fitted/ written, the pair listed as not fitted
//   a row it cannot use                   -> 2, err "reduzfit: measured.csv:7:5: ...\n",
//                                            nothing written
//   a directory that cannot be written    -> 1, err "reduzfit: cannot ...\n", nothing written
//
// DIR holds:
//   FROM_TO/PARAMETER.TXT, FROM_TO/keyboard.txt (models 7 to 12)   each fitted pair
//   fits.csv, curves.csv, check.csv, panel.gp, panel.png (with gnuplot)
//   measured.csv, classes.csv                                      in one go only
// An existing DIR is replaced only when it is empty or holds an earlier fit (its fits.csv).

#include <optional>
#include <string>

#include "fit/commands/command_result.hpp"
#include "fit/commands/measure_command.hpp"
#include "fit/fitting/family_choice.hpp"
#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/pair_fits.hpp"
#include "fit/measuring/measurement.hpp"

namespace reduz::fit {

struct FitRequest {
    std::string input;              // measured.csv
    std::string classes;            // classes.csv for --sill proportion; empty: beside the input
    std::optional<int> maxLag;      // lags 1..N fitted; none: the largest measured
    FitOptions options;
    bool independent = false;       // each pair fitted alone, as the first versions did: may be invalid
    std::optional<Family> family;   // the valid family forced; none: chosen
    std::string background;         // the class whose column the shapes' rows infer; empty: each row's own
    int folds = 5;                  // one go: the folds of holes held out
    std::string output;             // DIR
};

// Exit statuses beyond measure's 0, 1 and 2.
inline constexpr int notEveryPairFitted = 3;

CommandResult runFit(const FitRequest& request);

// Measures as `reduzfit measure` does (its request's output is not used), then fits into
// request.output, which receives measured.csv and classes.csv too.
CommandResult runMeasureAndFit(const MeasureRequest& measure, const FitRequest& request);

// The curves of a measurement in memory, as a fit takes them: the doubles measured.csv would
// give back.
MeasuredCurves curvesOf(const Measurement& m);

}  // namespace reduz::fit
