#pragma once
// The picture of a fit: a K x K panel, one cell a pair (row: from, column: to), with the measured
// points drawn larger where their support is larger, the fitted curve, and beside each row how
// far its fitted curves' sum strays from 1. panel.gp is a gnuplot script that holds its own data,
// so it draws the same picture wherever it is run:
//
//   gnuplot panel.gp                            -> panel.png
//   gnuplot -e "output='big.png'" panel.gp      -> big.png
//
// drawPanel runs gnuplot (found on the PATH) on the script and returns the PNG's bytes. It
// draws at most 40 classes (a picture 4,860 pixels square, drawn in seconds; 270 classes would
// take minutes and gigabytes), and gives gnuplot 60 s before it kills it.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "fit/fitting/fit_tables.hpp"
#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/pair_fits.hpp"

namespace reduz::fit {

std::string panelScript(const MeasuredCurves& curves, const FitSet& set, const std::vector<RowCheck>& rows);

constexpr std::size_t panelClassesAtMost = 40;
constexpr std::chrono::seconds panelTimeLimit{60};

struct Drawing {
    bool drawn = false;
    std::string png;
    // Why it was not drawn: "gnuplot is not installed", "gnuplot failed: ...", "gnuplot took
    // more than 60 s", "41 classes are too many to draw (at most 40)".
    std::string why;
};

Drawing drawPanel(const std::string& script, std::size_t classes, std::chrono::seconds limit = panelTimeLimit);

// gnuplot run on a script that writes a PNG to standard output when `output` is ''.
Drawing drawScript(const std::string& script, std::chrono::seconds limit = panelTimeLimit);

// A gnuplot string that shows the text as it is and is never run (backquotes and @ escaped):
//   gnuplotString("a`b") -> the 8 bytes "a\140b" with their double quotes
std::string gnuplotString(const std::string& text);

}  // namespace reduz::fit
