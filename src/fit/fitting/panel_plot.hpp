#pragma once
// The picture of a fit: a K x K panel, one cell a pair (row: from, column: to), with the measured
// points drawn larger where their support is larger, the fitted curve, and beside each row how
// far its fitted curves' sum strays from 1. panel.gp is a gnuplot script that holds its own data,
// so it draws the same picture wherever it is run:
//
//   gnuplot panel.gp                            -> panel.png
//   gnuplot -e "output='big.png'" panel.gp      -> big.png
//
// drawPanel runs gnuplot (found on the PATH) on the script and returns the PNG's bytes.

#include <string>
#include <vector>

#include "fit/fitting/fit_tables.hpp"
#include "fit/fitting/measured_curves.hpp"
#include "fit/fitting/pair_fits.hpp"

namespace reduz::fit {

std::string panelScript(const MeasuredCurves& curves, const FitSet& set, const std::vector<RowCheck>& rows);

struct Drawing {
    bool drawn = false;
    std::string png;
    std::string why;  // why it was not drawn: "gnuplot is not installed", "gnuplot failed: ..."
};

Drawing drawPanel(const std::string& script);

}  // namespace reduz::fit
