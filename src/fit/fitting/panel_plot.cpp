#include "fit/fitting/panel_plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "fit/base/child_process.hpp"
#include "fit/base/number_text.hpp"

namespace reduz::fit {

namespace {

// A gnuplot string that shows the text as it is and is never run. gnuplot runs a backquoted
// command even inside double quotes, and finds @ macros by counting quote marks, so those two
// characters are written as octal escapes: no byte of the text can start either. (Single quotes
// would not serve: gnuplot 5.4 misreads '' at a string's start or twice in a row, and counts the
// quote marks of either kind inside the other.) A line break is \n; a carriage return or a NUL,
// which gnuplot cannot show, is a blank.
}  // namespace

std::string gnuplotString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '\n': out += "\\n"; break;
            case '`': out += "\\140"; break;
            case '@': out += "\\100"; break;
            case '"':
            case '\\': out += '\\'; out += c; break;
            case '\r':
            case '\0': out += ' '; break;
            default: out += c;
        }
    }
    return out + "\"";
}

namespace {

std::string quoted(const std::string& text) { return gnuplotString(text); }

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string rowLabel(const std::string& name, const RowCheck& row) {
    if (!row.complete) return name + "\nsum: a pair not fitted";
    return name + "\nsum off 1 by " + fixed(row.deviation, 4) +
           (row.outside > 0 ? "\n" + std::to_string(row.outside) + " outside [0, 1]" : "");
}

std::string dataBlock(const MeasuredCurves& curves, const PairFit& pair, const std::string& name) {
    const std::vector<double>* fitted = fittedCurve(pair);
    const std::vector<MeasuredPoint>& measured = curveOf(curves, pair.from, pair.to);
    std::string text = name + " << EOD\n";
    auto point = measured.begin();
    for (int lag = 0; lag <= curves.maxLag; ++lag) {
        while (point != measured.end() && point->lag < lag) ++point;
        const bool here = point != measured.end() && point->lag == lag;
        text += shortest(curves.distances[static_cast<std::size_t>(lag)]) + " " + (here ? shortest(point->probability) : "?") +
                " " + (here ? shortest(point->support) : "?") + " " +
                (fitted != nullptr ? shortest((*fitted)[static_cast<std::size_t>(lag)]) : "?") + "\n";
    }
    return text + "EOD\n";
}

double largestSupport(const MeasuredCurves& curves) {
    double largest = 0;
    for (const std::vector<MeasuredPoint>& curve : curves.pairs) {
        for (const MeasuredPoint& point : curve) largest = std::max(largest, point.support);
    }
    return largest > 0 ? largest : 1;
}

}  // namespace

std::string panelScript(const MeasuredCurves& curves, const FitSet& set, const std::vector<RowCheck>& rows) {
    const int n = static_cast<int>(curves.classes.size());
    const int cell = std::max(120, std::min(280, 2400 / std::max(n, 1)));
    std::string text =
        "# Measured transiograms (points, larger where the support is larger) and the fitted curves:\n"
        "# row FROM, column TO. Beside each row, how far the sum of its fitted curves strays from 1.\n"
        "#   gnuplot panel.gp                        writes panel.png\n"
        "#   gnuplot -e \"output='other.png'\" panel.gp\n";
    if (curves.classes.size() > panelClassesAtMost) {
        text += "# reduzfit draws at most " + std::to_string(panelClassesAtMost) + " classes; this picture of " +
                std::to_string(n) + " takes long and much memory.\n";
    }
    text +=
        "if (!exists(\"output\")) output = 'panel.png'\n"
        "set terminal pngcairo noenhanced font ',8' size " +
        std::to_string(cell * n + 60) + "," + std::to_string(cell * n + 40) +
        "\n"
        "if (output eq '') { set output } else { set output output }\n"
        "set datafile missing '?'\n"
        "set xrange [0:" + shortest(curves.distances.back()) + "]\n"
        "set yrange [-0.05:1.05]\n"
        "set ytics 0.25\n"
        "set key off\n"
        "set grid\n"
        "largest = " + shortest(largestSupport(curves)) + "\n";
    // A pair with no point and no curve has no data block: gnuplot warns of each empty one, and
    // its cell is drawn empty.
    for (const PairFit& pair : set.pairs) {
        if (!curveOf(curves, pair.from, pair.to).empty() || pair.chosen >= 0) {
            text += dataBlock(curves, pair, "$pair_" + std::to_string(pair.from) + "_" + std::to_string(pair.to));
        }
    }
    text += "set multiplot layout " + std::to_string(n) + "," + std::to_string(n) +
            " rowsfirst title 'Transiograms measured (points) and fitted (lines), by distance'\n";
    for (const PairFit& pair : set.pairs) {
        const std::string data = "$pair_" + std::to_string(pair.from) + "_" + std::to_string(pair.to);
        const std::string& from = curves.classes[static_cast<std::size_t>(pair.from)];
        const std::string& to = curves.classes[static_cast<std::size_t>(pair.to)];
        // A curve no shape of its own gave says what gave it: "inferred", "markov", ...
        const ShapeFit* chosen = pair.chosen >= 0 ? &pair.candidates[static_cast<std::size_t>(pair.chosen)] : nullptr;
        const std::string shape = chosen == nullptr        ? "not fitted"
                                  : chosen->shape == nullptr ? "(" + pair.obtained + ")"
                                  : pair.obtained.empty()  ? std::string(shapeName(*chosen->shape))
                                                           : std::string(shapeName(*chosen->shape)) + " (" + pair.obtained + ")";
        text += "set title " + quoted(from + " to " + to + ": " + shape) + "\n";
        text += pair.to == 0 ? "set ylabel " + quoted(rowLabel(from, rows[static_cast<std::size_t>(pair.from)])) + "\n"
                             : "unset ylabel\n";
        std::string layers;
        if (!curveOf(curves, pair.from, pair.to).empty()) {
            layers = data + " using 1:2:(0.3 + 1.2 * sqrt($3 / largest)) with points pt 7 ps variable lc rgb '#4477aa'";
        }
        if (pair.chosen >= 0) {
            layers += (layers.empty() ? "" : ", \\\n     ") + data + " using 1:4 with lines lw 2 lc rgb '#cc3311'";
        }
        text += "plot " + (layers.empty() ? std::string("NaN") : layers) + "\n";
    }
    return text + "unset multiplot\n";
}

Drawing drawPanel(const std::string& script, std::size_t classes, std::chrono::seconds limit) {
    if (classes > panelClassesAtMost) {
        Drawing drawing;
        drawing.why = std::to_string(classes) + " classes are too many to draw (at most " +
                      std::to_string(panelClassesAtMost) + ")";
        return drawing;
    }
    return drawScript(script, limit);
}

Drawing drawScript(const std::string& script, std::chrono::seconds limit) {
    Drawing drawing;
    const ChildRun run = runChild({"gnuplot"}, "output = ''\n" + script, limit);
    if (!run.started) {
        drawing.why = "gnuplot is not installed";
        return drawing;
    }
    if (run.timedOut) {
        drawing.why = "gnuplot took more than " + std::to_string(limit.count()) + " s";
        return drawing;
    }
    const bool png = run.out.rfind("\x89PNG", 0) == 0;
    if (run.status != 0 || !png) {
        const std::string said = run.err.substr(0, run.err.find('\n', run.err.find_first_not_of(" \n")));
        drawing.why = "gnuplot failed" + (said.empty() ? std::string() : ": " + said);
        return drawing;
    }
    drawing.drawn = true;
    drawing.png = run.out;
    return drawing;
}

}  // namespace reduz::fit
