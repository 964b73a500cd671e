#include "fit/commands/fit_command.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

#include "fit/base/failures.hpp"
#include "fit/base/input_file.hpp"
#include "fit/base/whole_files.hpp"
#include "fit/commands/output_directory.hpp"
#include "fit/commands/progress.hpp"
#include "fit/fitting/fit_tables.hpp"
#include "fit/fitting/model_file.hpp"
#include "fit/fitting/model_files.hpp"
#include "fit/fitting/model_tables.hpp"
#include "fit/commands/held_out_folds.hpp"
#include "fit/fitting/panel_plot.hpp"
#include "fit/measuring/measured_csv.hpp"

namespace reduz::fit {

namespace {

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string fixed(double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The classes' names as the console shows them, and the width of their column.
struct ConsoleNames {
    std::vector<std::string> names;
    std::size_t width = 5;
};

ConsoleNames consoleNames(const MeasuredCurves& curves) {
    ConsoleNames console;
    for (const std::string& name : curves.classes) {
        console.names.push_back(visible(name));
        console.width = std::max(console.width, console.names.back().size());
    }
    return console;
}

// A folder whose name had to change tells which pair it holds: the names alone do not.
std::string folderNotes(const MeasuredCurves& curves, const FitSet& set) {
    std::string text;
    const std::vector<std::string> folders = writtenFolders(curves, set);
    for (std::size_t p = 0; p < set.pairs.size(); ++p) {
        const std::string& from = curves.classes[static_cast<std::size_t>(set.pairs[p].from)];
        const std::string& to = curves.classes[static_cast<std::size_t>(set.pairs[p].to)];
        const std::string base = folderBase(from, to);
        if (folders[p].empty() || folders[p] == base) continue;
        text += "folder         " + folders[p] + " holds " + visible(from) + " to " + visible(to) + " (" + base +
                " would clash with another pair's folder)\n";
    }
    return text;
}

// Each row's largest deviation from 1 over the lags, and its values outside [0, 1].
std::string rowSums(const std::vector<std::string>& names, std::size_t width, const std::vector<RowCheck>& rows) {
    const std::size_t n = names.size();
    std::string text;
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
    return text;
}

std::string fitSummary(const MeasuredCurves& curves, const FitSet& set, const std::vector<RowCheck>& rows,
                       const FitRequest& request) {
    const std::size_t n = curves.classes.size();
    const ConsoleNames console = consoleNames(curves);
    const std::vector<std::string>& names = console.names;
    const std::size_t width = console.width;
    std::string text = "pairs          " + std::to_string(n * n) + " of " + std::to_string(n) + " classes, lags 1 to " +
                       std::to_string(curves.maxLag) + ", sill " +
                       (request.options.sillProportion ? "the proportion" : "free") + "\n";
    if (request.independent) {
        text += "family         independent: each pair fitted alone; its rows need not sum to 1, and a simulator cannot use them\n";
    }
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
    text += folderNotes(curves, set);
    text += rowSums(names, width, rows);
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

// Writes DIR whole: the fit's files and `extra` beside them; the console's line of what was written.
struct Written {
    std::string line;
    std::string leftover;
};

Written writeFit(const FitRequest& request, std::vector<FileText> files, std::vector<FileText> extra) {
    std::size_t folders = 0;
    for (const FileText& file : files) folders += file.path.ends_with("/PARAMETER.TXT") || file.path.ends_with("/ReduzModel.txt");
    std::string written = std::to_string(folders) + " folders";
    for (FileText& file : extra) files.push_back(std::move(file));
    for (const FileText& file : files) {
        if (file.path.find('/') == std::string::npos) written += ", " + file.path;
    }
    const std::string directory = withoutTrailingSlash(request.output);
    Written result;
    result.leftover = writeWholeDirectory(directory, files);
    result.line = "written        " + visible(directory) + "/: " + written + "\n";
    return result;
}

// Each pair fitted alone, as the first versions did: writes DIR whole with `extra` files beside
// the fit's, and sums it up for the console.
CommandResult fitIndependentAndWrite(const MeasuredCurves& curves, const FitRequest& request, const std::string& input,
                                     std::string summary, std::vector<FileText> extra) {
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
    const Written written = writeFit(request, fitFiles(curves, set, rows, drawing), std::move(extra));
    summary += fitSummary(curves, set, rows, request);
    if (!drawing.drawn) summary += "panel.png      not drawn: " + drawing.why + "\n";
    summary += written.line;
    return CommandResult{allFitted(set) ? 0 : notEveryPairFitted, summary,
                         written.leftover.empty() ? "" : "reduzfit: " + written.leftover + "\n"};
}

std::string candidateName(const Candidate& candidate) {
    std::string name(familyName(candidate.family));
    name += candidate.method == Method::beds ? " from the beds" : " fitted to the curves";
    return name;
}

std::string validSummary(const MeasuredCurves& curves, const FamilyChoice& choice, const FitSet& set,
                         const std::vector<RowCheck>& rows) {
    const std::size_t n = curves.classes.size();
    const ConsoleNames console = consoleNames(curves);
    const std::vector<std::string>& names = console.names;
    const std::size_t width = console.width;
    std::string text = "pairs          " + std::to_string(n * n) + " of " + std::to_string(n) + " classes, lags 1 to " +
                       std::to_string(curves.maxLag) + ", one valid model\n";
    text += choice.folds > 0 ? "choice         the simplest within reach of the least error on held-out holes, " +
                                   std::to_string(choice.folds) + " folds\n"
                             : std::string("choice         the least AIC (no holes to hold out)\n");
    for (std::size_t c = 0; c < choice.candidates.size(); ++c) {
        const Candidate& candidate = choice.candidates[c];
        text += "  " + padded(candidateName(candidate), 34);
        if (candidate.heldOutError) text += "held-out " + fixed(*candidate.heldOutError, "%.4f") + "  ";
        text += "wrmse " + fixed(candidate.wrmse, "%.4f") + "  aic " + fixed(candidate.aic, "%.1f");
        text += static_cast<int>(c) == choice.chosen ? "  chosen\n" : candidate.withinReach ? "  within reach\n" : "\n";
    }
    for (const PairFit& pair : set.pairs) {
        const ShapeFit& fit = pair.candidates[0];
        const std::string how = fit.shape != nullptr ? std::string(shapeName(*fit.shape)) : pair.obtained;
        text += padded(names[static_cast<std::size_t>(pair.from)], width) + "  " +
                padded(names[static_cast<std::size_t>(pair.to)], width) + "  " + padded(how, 33) + "wrmse " +
                fixed(fit.wrmse, "%.4f") + "\n";
    }
    text += folderNotes(curves, set);
    text += rowSums(names, width, rows);
    text += "fitted         " + std::to_string(n * n) + " of " + std::to_string(n * n) + " pairs, every row valid at any distance\n";
    return text;
}

// Everything DIR receives of a valid model.
std::vector<FileText> validFiles(const MeasuredCurves& curves, const FamilyChoice& choice, const FitSet& set,
                                 const std::vector<RowCheck>& rows, Drawing& drawing) {
    std::vector<FileText> files;
    const Candidate& chosen = choice.candidates[static_cast<std::size_t>(choice.chosen)];
    const std::vector<std::string> folders = writtenFolders(curves, set);
    for (std::size_t p = 0; p < set.pairs.size(); ++p) {
        const PairFit& pair = set.pairs[p];
        const ShapeFit& fit = pair.candidates[0];
        if (fit.shape == nullptr) {
            files.push_back({folders[p] + "/ReduzModel.txt", curveReport(curves, chosen, pair.from, pair.to, fit.fitted)});
            continue;
        }
        files.push_back({folders[p] + "/PARAMETER.TXT", parameterFile(fit.parameters)});
        const std::string answer = keyboardFile(fit.parameters);
        if (!answer.empty()) files.push_back({folders[p] + "/keyboard.txt", answer});
    }
    const std::string script = panelScript(curves, set, rows);
    files.push_back({"fits.csv", familyFitsCsv(curves, choice)});
    files.push_back({"curves.csv", curvesCsv(curves, set)});
    files.push_back({"check.csv", checkCsv(curves, set)});
    files.push_back({"model.csv", modelCsv(curves.classes, chosen.model)});
    // The rates of the Markov candidate chosen, or else of the best one.
    const Candidate* markov = nullptr;
    for (const Candidate& candidate : choice.candidates) {
        if (candidate.family != Family::markov) continue;
        const auto score = [&](const Candidate& c) { return c.heldOutError ? *c.heldOutError : c.aic; };
        if (markov == nullptr || &candidate == &chosen || (markov != &chosen && score(candidate) < score(*markov))) {
            markov = &candidate;
        }
    }
    if (markov != nullptr) files.push_back({"rates.csv", ratesCsv(curves, markov->model.markov)});
    files.push_back({"panel.gp", script});
    drawing = drawPanel(script, curves.classes.size());
    if (drawing.drawn) files.push_back({"panel.png", drawing.png});
    return files;
}

// What the choice takes of the request; a background that is no class is refused, naming `input`.
ChoiceOptions choiceOptionsOf(const FitRequest& request, const MeasuredCurves& curves, const std::string& input) {
    ChoiceOptions options;
    options.family = request.family;
    options.models = request.options.models;
    options.threads = request.options.threads;
    if (!request.background.empty()) {
        const auto named = std::find(curves.classes.begin(), curves.classes.end(), request.background);
        if (named == curves.classes.end()) {
            failInput(input, 0, 0,
                      "--background " + visible(request.background) + " is not one of the classes");
        }
        options.background = static_cast<int>(named - curves.classes.begin());
    }
    // Said before the work, naming the input, rather than by the first row fitted.
    if (request.family == Family::shapes && (rowCandidatesOf(2, options.models).empty() ||
                                             (options.background && rowCandidatesOf(1, options.models).empty()))) {
        failInput(input, 0, 0,
                  std::string("--shapes names none of the shapes family's ") +
                      (rowCandidatesOf(2, options.models).empty() ? "cross shapes (1 to 4, 7, 9 to 11)" : "auto shapes (1 to 4, 7)"));
    }
    return options;
}

CommandResult fitValidAndWrite(const FitData& all, const std::vector<HeldOutFold>& folds, const ChoiceOptions& options,
                               std::string summary, std::vector<FileText> extra, const FitRequest& request) {
    ProgressBar bar;
    const std::size_t fits = candidatesFor(all, options).size() * (folds.size() + 1);
    bar.label = "fitting " + std::to_string(fits) + " models";
    std::optional<bool> barWanted;  // decided at the first fit done, when the work is known
    // A fit of the whole set costs about what fitting its pairs alone does: as many pairs a fit.
    const long long work = static_cast<long long>(all.curves.classes.size() * all.curves.classes.size() * fits);
    const FamilyChoice choice = chooseFamily(all, folds, options, [&](long long done, long long total) {
        if (!barWanted) barWanted = wantsFitProgress(bar.fd, work);
        if (*barWanted) showProgress(bar, done, total);
    });
    clearProgress(bar);
    const MeasuredCurves& curves = all.curves;
    const FitSet set = setOfModel(curves, choice.candidates[static_cast<std::size_t>(choice.chosen)].model);
    const std::vector<RowCheck> rows = checkRows(curves, set);
    Drawing drawing;
    const Written written = writeFit(request, validFiles(curves, choice, set, rows, drawing), std::move(extra));
    summary += validSummary(curves, choice, set, rows);
    if (!drawing.drawn) summary += "panel.png      not drawn: " + drawing.why + "\n";
    summary += written.line;
    return CommandResult{0, summary, written.leftover.empty() ? "" : "reduzfit: " + written.leftover + "\n"};
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
        checkReplaceable(withoutTrailingSlash(request.output), inputs, "fits.csv", "fit");
        MeasuredCurves curves = readMeasuredCsv(readInputFile(request.input), request.input, request.maxLag);
        if (proportions) readProportions(curves, readInputFile(classesPath), classesPath);
        const std::string summary = "input          " + visible(request.input) + "\n";
        if (request.independent) return fitIndependentAndWrite(curves, request, request.input, summary, {});
        checkModelSize(curves, request.input);
        const ChoiceOptions options = choiceOptionsOf(request, curves, request.input);
        return fitValidAndWrite(FitData{std::move(curves), std::nullopt}, {}, options, summary, {}, request);
    });
}

CommandResult runMeasureAndFit(const MeasureRequest& measure, const FitRequest& request) {
    return reportingFailures([&] {
        checkReplaceable(withoutTrailingSlash(request.output), {measure.input}, "fits.csv", "fit");
        const Logs logs = readInputLogs(measure);
        const MeasuredInput measuredLogs = measureLogs(measure, logs);
        const Measurement& m = measuredLogs.measurement;
        const MeasuredCurves curves = curvesOf(m);
        if (curves.pairs.empty() || std::all_of(curves.pairs.begin(), curves.pairs.end(), [](const auto& curve) {
                return std::none_of(curve.begin(), curve.end(), [](const MeasuredPoint& p) { return p.lag > 0; });
            })) {
            failInput(measure.input, 0, 0, "nothing measured at lags 1 to " + std::to_string(m.maxLag));
        }
        std::vector<FileText> measured = {{"measured.csv", measuredCsv(m)}, {"classes.csv", classesCsv(m)}};
        if (request.independent) {
            return fitIndependentAndWrite(curves, request, measure.input, measuredLogs.summary, std::move(measured));
        }
        checkModelSize(curves, measure.input);
        const ChoiceOptions options = choiceOptionsOf(request, curves, measure.input);
        return fitValidAndWrite(fitDataOf(measure, logs, m), heldOutFolds(measure, logs, request.folds), options,
                                measuredLogs.summary, std::move(measured), request);
    });
}

}  // namespace reduz::fit
