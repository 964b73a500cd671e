#include "fit/commands/fit_command.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

#include "fit/base/failures.hpp"
#include "fit/base/input_file.hpp"
#include "fit/base/whole_files.hpp"
#include "fit/commands/progress.hpp"
#include "fit/fitting/fit_tables.hpp"
#include "fit/fitting/model_files.hpp"
#include "fit/fitting/panel_plot.hpp"
#include "fit/measuring/measured_csv.hpp"

namespace reduz::fit {

namespace {

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// DIR is replaced whole: only an empty one or an earlier fit may be, and no input may lie in it.
void checkReplaceable(const std::string& directory, const std::vector<std::string>& inputs) {
    struct stat status {};
    if (::lstat(directory.c_str(), &status) != 0) return;  // new, or a fault the write will name
    // A link would be replaced by the directory, not followed: said now, not after the fit.
    if (S_ISLNK(status.st_mode)) {
        failInput(directory, 0, 0, "is a symbolic link, and is not replaced (name the directory itself)");
    }
    if (!S_ISDIR(status.st_mode)) failInput(directory, 0, 0, "is not a directory, and is not replaced");
    namespace fs = std::filesystem;
    std::error_code error;
    const bool empty = fs::is_empty(directory, error);
    if (!error && !empty && !fs::exists(directory + "/fits.csv", error)) {
        failInput(directory, 0, 0, "holds files but no fits.csv: it is no earlier fit, and is not replaced");
    }
    const fs::path inside = fs::weakly_canonical(directory, error);
    for (const std::string& input : inputs) {
        const fs::path file = fs::weakly_canonical(input, error);
        const auto [end, rest] = std::mismatch(inside.begin(), inside.end(), file.begin(), file.end());
        if (!error && end == inside.end()) failInput(input, 0, 0, "is inside " + directory + ", which would be replaced");
    }
}

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string fixed(double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string fitSummary(const MeasuredCurves& curves, const FitSet& set, const std::vector<RowCheck>& rows,
                       const FitRequest& request) {
    const std::size_t n = curves.classes.size();
    std::vector<std::string> names;  // as the console shows them
    std::size_t width = 5;
    for (const std::string& name : curves.classes) {
        names.push_back(visible(name));
        width = std::max(width, names.back().size());
    }
    std::string text = "pairs          " + std::to_string(n * n) + " of " + std::to_string(n) + " classes, lags 1 to " +
                       std::to_string(curves.maxLag) + ", sill " +
                       (request.options.sillProportion ? "the proportion" : "free") + "\n";
    std::size_t fitted = 0;
    for (const PairFit& pair : set.pairs) {
        text += padded(names[static_cast<std::size_t>(pair.from)], width) + "  " +
                padded(names[static_cast<std::size_t>(pair.to)], width) + "  ";
        if (pair.chosen < 0) {
            text += "not fitted: " + pair.failure + "\n";
            continue;
        }
        ++fitted;
        const ShapeFit& fit = pair.candidates[static_cast<std::size_t>(pair.chosen)];
        text += padded(std::string(shapeName(*fit.shape)), 33) + "wrmse " + fixed(fit.wrmse, "%.4f") + "\n";
    }
    // A folder whose name had to change tells which pair it holds: the names alone do not.
    const std::vector<std::string> folders = writtenFolders(curves, set);
    for (std::size_t p = 0; p < set.pairs.size(); ++p) {
        const std::string& from = curves.classes[static_cast<std::size_t>(set.pairs[p].from)];
        const std::string& to = curves.classes[static_cast<std::size_t>(set.pairs[p].to)];
        const std::string base = folderBase(from, to);
        if (folders[p].empty() || folders[p] == base) continue;
        text += "folder         " + folders[p] + " holds " + visible(from) + " to " + visible(to) + " (" + base +
                " would clash with another pair's folder)\n";
    }
    text += "row sums       the largest deviation from 1 of the fitted curves' sum\n";
    for (std::size_t i = 0; i < n; ++i) {
        const RowCheck& row = rows[i];
        text += padded(names[i], width) + "  ";
        if (!row.complete) {
            text += "not every pair fitted\n";
            continue;
        }
        text += fixed(row.deviation, "%+.4f") + " at lag " + std::to_string(row.deviationLag);
        if (row.outside > 0) {
            text += ", " + std::to_string(row.outside) + (row.outside == 1 ? " fitted value" : " fitted values") +
                    " outside [0, 1]";
        }
        text += "\n";
    }
    text += "fitted         " + std::to_string(fitted) + " of " + std::to_string(n * n) + " pairs\n";
    return text;
}

// Everything DIR receives from the fit.
std::vector<FileText> fitFiles(const MeasuredCurves& curves, const FitSet& set, const std::vector<RowCheck>& rows,
                               Drawing& drawing) {
    std::vector<FileText> files;
    const std::vector<std::string> folders = writtenFolders(curves, set);
    for (std::size_t p = 0; p < set.pairs.size(); ++p) {
        if (folders[p].empty()) continue;  // a pair not fitted
        const PairFit& pair = set.pairs[p];
        const ModelParameters& parameters = pair.candidates[static_cast<std::size_t>(pair.chosen)].parameters;
        files.push_back({folders[p] + "/PARAMETER.TXT", parameterFile(parameters)});
        const std::string answer = keyboardFile(parameters);
        if (!answer.empty()) files.push_back({folders[p] + "/keyboard.txt", answer});
    }
    const std::string script = panelScript(curves, set, rows);
    files.push_back({"fits.csv", fitsCsv(curves, set)});
    files.push_back({"curves.csv", curvesCsv(curves, set)});
    files.push_back({"check.csv", checkCsv(curves, set)});
    files.push_back({"panel.gp", script});
    drawing = drawPanel(script, curves.classes.size());
    if (drawing.drawn) files.push_back({"panel.png", drawing.png});
    return files;
}

// Fits, writes DIR whole with `extra` files beside the fit's, and sums it up for the console.
CommandResult fitAndWrite(const MeasuredCurves& curves, const FitRequest& request, const std::string& input, std::string summary,
                std::vector<FileText> extra) {
    checkFitSize(curves, request.options, input);
    ProgressBar bar;
    bar.label = "fitting " + std::to_string(curves.classes.size() * curves.classes.size()) + " pairs";
    std::optional<bool> barWanted;  // decided at the first pair done, when the work is known
    const FitSet set = fitPairs(curves, request.options, [&](long long done, long long total) {
        if (!barWanted) barWanted = wantsFitProgress(bar.fd, total);
        if (*barWanted) showProgress(bar, done, total);
    });
    clearProgress(bar);
    const std::vector<RowCheck> rows = checkRows(curves, set);
    Drawing drawing;
    std::vector<FileText> files = fitFiles(curves, set, rows, drawing);
    std::string written;
    std::size_t folders = 0;
    for (const FileText& file : files) folders += file.path.ends_with("/PARAMETER.TXT");
    written = std::to_string(folders) + " folders";
    for (FileText& file : extra) files.push_back(std::move(file));
    for (const FileText& file : files) {
        if (file.path.find('/') == std::string::npos) written += ", " + file.path;
    }
    const std::string directory = withoutTrailingSlash(request.output);
    const std::string leftover = writeWholeDirectory(directory, files);
    summary += fitSummary(curves, set, rows, request);
    if (!drawing.drawn) summary += "panel.png      not drawn: " + drawing.why + "\n";
    summary += "written        " + visible(directory) + "/: " + written + "\n";
    return CommandResult{allFitted(set) ? 0 : notEveryPairFitted, summary,
                         leftover.empty() ? "" : "reduzfit: " + leftover + "\n"};
}

}  // namespace

MeasuredCurves curvesOf(const Measurement& m) {
    MeasuredCurves curves;
    const int n = static_cast<int>(m.classes.size());
    for (const ClassSummary& c : m.classes) {
        curves.classes.push_back(c.name);
        curves.proportions.push_back(c.proportion);
    }
    curves.maxLag = m.maxLag;
    curves.pairs.resize(static_cast<std::size_t>(n * n));
    for (int lag = 0; lag <= m.maxLag; ++lag) {
        curves.distances.push_back(lagDistance(m, lag));
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const std::optional<double> p = probability(m, lag, i, j);
                if (p) curves.pairs[static_cast<std::size_t>(i * n + j)].push_back(MeasuredPoint{lag, *p, support(m, lag, i)});
            }
        }
    }
    return curves;
}


CommandResult runFit(const FitRequest& request) {
    return reportingFailures([&] {
        const bool proportions = request.options.sillProportion || !request.classes.empty();
        const std::string classesPath = request.classes.empty() ? classesPathBeside(request.input) : request.classes;
        std::vector<std::string> inputs = {request.input};
        if (proportions) inputs.push_back(classesPath);
        checkReplaceable(withoutTrailingSlash(request.output), inputs);
        MeasuredCurves curves = readMeasuredCsv(readInputFile(request.input), request.input, request.maxLag);
        if (proportions) readProportions(curves, readInputFile(classesPath), classesPath);
        return fitAndWrite(curves, request, request.input, "input          " + visible(request.input) + "\n", {});
    });
}

CommandResult runMeasureAndFit(const MeasureRequest& measure, const FitRequest& request) {
    return reportingFailures([&] {
        checkReplaceable(withoutTrailingSlash(request.output), {measure.input});
        const Measurement m = measureInput(measure);
        const MeasuredCurves curves = curvesOf(m);
        if (curves.pairs.empty() || std::all_of(curves.pairs.begin(), curves.pairs.end(), [](const auto& curve) {
                return std::none_of(curve.begin(), curve.end(), [](const MeasuredPoint& p) { return p.lag > 0; });
            })) {
            failInput(measure.input, 0, 0, "nothing measured at lags 1 to " + std::to_string(m.maxLag));
        }
        return fitAndWrite(curves, request, measure.input, measureSummary(measure, m),
                           {{"measured.csv", measuredCsv(m)}, {"classes.csv", classesCsv(m)}});
    });
}

}  // namespace reduz::fit
