#include "fit/fitting/model_tables.hpp"

#include <cmath>
#include <string_view>

#include "fit/base/csv_text.hpp"
#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"
#include "fit/fitting/fit_plans.hpp"
#include "fit/fitting/fit_tables.hpp"
#include "fit/fitting/model_files.hpp"
#include "textio/report.hpp"

namespace reduz::fit {

namespace {

double weightedRms(const MeasuredCurves& curves, int from, int to, const std::vector<double>& values) {
    double squares = 0, weights = 0;
    for (const MeasuredPoint& point : curveOf(curves, from, to)) {
        if (point.lag < 1) continue;
        const double r = point.probability - values[static_cast<std::size_t>(point.lag)];
        squares += point.support * r * r;
        weights += point.support;
    }
    return weights > 0 ? std::sqrt(squares / weights) : 0.0;
}

// What the report's three lines say of a curve: "Cross-Transiogram of a Markov chain", how it
// was fitted, and the pair, cut to one record.
std::string obtainedLine(const Candidate& candidate, Obtained obtained) {
    switch (obtained) {
        case Obtained::inferred: return "Inferred: 1 - the row's other curves (catalogue shapes)";
        case Obtained::markov: return std::string("Continuous-lag Markov chain, fitted ") +
                                      (candidate.method == Method::beds ? "from the beds" : "to the curves");
        case Obtained::semiMarkov: return std::string("Semi-Markov chain of gamma beds, fitted ") +
                                          (candidate.method == Method::beds ? "from the beds" : "to the curves");
        case Obtained::shape: break;
    }
    return "";
}

}  // namespace

FitSet setOfModel(const MeasuredCurves& curves, const ValidModel& model) {
    const int n = model.classes;
    FitSet set;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            PairFit pair;
            pair.from = i;
            pair.to = j;
            const Obtained obtained = obtainedOf(model, i, j);
            // A shape's curve keeps its fit, parameters and all, for its folder and fits.csv.
            ShapeFit fit = obtained == Obtained::shape ? model.rows[static_cast<std::size_t>(i)].curves[static_cast<std::size_t>(j)]
                                                       : ShapeFit{};
            fit.fitted = tabulated(model, i, j);
            fit.parameters.kind = i == j ? 1 : 2;
            fit.wrmse = weightedRms(curves, i, j, fit.fitted);
            if (obtained != Obtained::shape) pair.obtained = std::string(obtainedName(obtained));
            pair.candidates.push_back(std::move(fit));
            pair.chosen = 0;
            set.pairs.push_back(std::move(pair));
        }
    }
    return set;
}

std::string familyFitsCsv(const MeasuredCurves& curves, const FamilyChoice& choice) {
    const std::vector<ParameterColumn> columns = parameterColumns();
    std::string text = "family,method,from,to,obtained,kind,model,shape" + parameterHeader() + ",wrmse,heldout,aic,chosen,folder\n";
    const std::vector<std::string> folders = folderNames(curves.classes);
    for (std::size_t c = 0; c < choice.candidates.size(); ++c) {
        const Candidate& candidate = choice.candidates[c];
        const bool chosen = static_cast<int>(c) == choice.chosen;
        const FitSet set = setOfModel(curves, candidate.model);
        for (const PairFit& pair : set.pairs) {
            const ShapeFit& fit = pair.candidates[0];
            std::string row = std::string(familyName(candidate.family)) + "," + std::string(methodName(candidate.method)) +
                              "," + csvField(curves.classes[static_cast<std::size_t>(pair.from)]) + "," +
                              csvField(curves.classes[static_cast<std::size_t>(pair.to)]) + "," +
                              (pair.obtained.empty() ? std::string(obtainedName(Obtained::shape)) : pair.obtained) + "," +
                              std::to_string(fit.parameters.kind) + ",";
            if (fit.shape != nullptr) {
                row += std::to_string(fit.parameters.model);
                row += ",";
                row += csvField(shapeName(*fit.shape));
            } else {
                row += ",";
            }
            for (const ParameterColumn& column : columns) {
                row += ",";
                if (fit.shape != nullptr && usesParameter(*fit.shape, column.parameter)) {
                    row += shortest(fit.parameters.*column.parameter);
                }
            }
            const std::size_t p = static_cast<std::size_t>(pair.from * candidate.model.classes + pair.to);
            appendCsvRow(text, {row, shortest(fit.wrmse), candidate.heldOutError ? shortest(*candidate.heldOutError) : "",
                                shortest(candidate.aic), chosen ? "yes" : "no", chosen ? folders[p] : ""});
        }
    }
    return text;
}

std::string ratesCsv(const MeasuredCurves& curves, const MarkovRates& chain) {
    std::string text = "from";
    for (const std::string& name : curves.classes) {
        text += ',';
        text += csvField(name);
    }
    text += '\n';
    for (int i = 0; i < chain.classes; ++i) {
        std::string row = csvField(curves.classes[static_cast<std::size_t>(i)]);
        for (int j = 0; j < chain.classes; ++j) {
            row += ',';
            row += shortest(chain.rates[static_cast<std::size_t>(i * chain.classes + j)]);
        }
        appendCsvRow(text, {row});
    }
    std::string row = "proportion";
    for (const double p : chain.proportions) {
        row += ',';
        row += shortest(p);
    }
    appendCsvRow(text, {row});
    return text;
}

std::string curveReport(const MeasuredCurves& curves, const Candidate& candidate, int from, int to,
                        const std::vector<double>& values) {
    const std::string kind = from == to ? "Auto-Transiogram" : "Cross-Transiogram";
    std::string what = kind;
    what += " tabulated by reduzfit: not a catalogue shape";
    const std::string how = obtainedLine(candidate, obtainedOf(candidate.model, from, to));
    std::string pair = "from ";
    pair += visible(curves.classes[static_cast<std::size_t>(from)]);
    pair += " to ";
    pair += visible(curves.classes[static_cast<std::size_t>(to)]);
    // One record a line, whatever the names, so that the rows stand where a report's stand.
    if (pair.size() > 78) pair = pair.substr(0, 75) + "...";
    const std::string_view lines[] = {what, how, pair};
    return reportText(lines, values);
}

}  // namespace reduz::fit
