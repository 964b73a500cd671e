#include "fit/fitting/fit_tables.hpp"

#include <cmath>

#include "fit/base/csv_text.hpp"
#include "fit/base/number_text.hpp"
#include "fit/fitting/fit_plans.hpp"
#include "fit/fitting/model_files.hpp"

namespace reduz::fit {

namespace {


std::vector<std::string> csvNames(const MeasuredCurves& curves) {
    std::vector<std::string> names;
    for (const std::string& name : curves.classes) names.push_back(csvField(name));
    return names;
}

void appendFitRow(std::string& text, const std::string& from, const std::string& to, const PairFit& pair,
                  std::size_t candidate, const std::vector<ParameterColumn>& columns, const std::string& folder) {
    const ShapeFit& fit = pair.candidates[candidate];
    const bool fitted = fit.failure.empty();
    std::string row = from + "," + to + "," + std::to_string(fit.parameters.kind) + "," +
                      std::to_string(fit.parameters.model) + "," + csvField(shapeName(*fit.shape));
    for (const ParameterColumn& column : columns) {
        row += ",";
        if (fitted && usesParameter(*fit.shape, column.parameter)) row += shortest(fit.parameters.*column.parameter);
    }
    appendCsvRow(text, {row, fitted ? shortest(fit.wrmse) : "", fitted ? shortest(fit.aic) : "",
                     static_cast<int>(candidate) == pair.chosen ? "yes" : "no", csvField(fit.failure), folder});
}

// The fitted curves of one from-class summed at one lag.
struct LagSum {
    double sum = 0;
    int outside = 0;
    bool complete = true;
};

LagSum lagSum(const MeasuredCurves& curves, const FitSet& set, std::size_t from, int lag) {
    const std::size_t n = curves.classes.size();
    LagSum total;
    for (std::size_t to = 0; to < n; ++to) {
        const std::vector<double>* fitted = fittedCurve(set.pairs[from * n + to]);
        if (fitted == nullptr) {
            total.complete = false;
            continue;
        }
        const double value = (*fitted)[static_cast<std::size_t>(lag)];
        total.sum += value;
        total.outside += value < 0 || value > 1;
    }
    return total;
}

}  // namespace

std::vector<std::string> writtenFolders(const MeasuredCurves& curves, const FitSet& set) {
    std::vector<std::string> folders = folderNames(curves.classes);
    for (std::size_t p = 0; p < set.pairs.size(); ++p) {
        if (set.pairs[p].chosen < 0) folders[p].clear();
    }
    return folders;
}

const std::vector<double>* fittedCurve(const PairFit& pair) {
    if (pair.chosen < 0) return nullptr;
    return &pair.candidates[static_cast<std::size_t>(pair.chosen)].fitted;
}

std::vector<RowCheck> checkRows(const MeasuredCurves& curves, const FitSet& set) {
    std::vector<RowCheck> rows(curves.classes.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        RowCheck& row = rows[i];
        for (int lag = 0; lag <= curves.maxLag; ++lag) {
            const LagSum total = lagSum(curves, set, i, lag);
            row.complete = row.complete && total.complete;
            row.outside += total.outside;
            if (std::fabs(total.sum - 1) > std::fabs(row.deviation)) {
                row.deviation = total.sum - 1;
                row.deviationLag = lag;
            }
        }
    }
    return rows;
}

std::string fitsCsv(const MeasuredCurves& curves, const FitSet& set) {
    const std::vector<std::string> names = csvNames(curves);
    const std::vector<ParameterColumn> columns = parameterColumns();
    std::string text = "from,to,kind,model,shape" + parameterHeader() + ",wrmse,aic,chosen,failure,folder\n";
    const std::vector<std::string> folders = writtenFolders(curves, set);
    const std::string noParameters(columns.size() - 1, ',');  // as many empty values as columns
    for (const PairFit& pair : set.pairs) {
        const std::string& from = names[static_cast<std::size_t>(pair.from)];
        const std::string& to = names[static_cast<std::size_t>(pair.to)];
        const std::string& folder = folders[static_cast<std::size_t>(pair.from) * names.size() + static_cast<std::size_t>(pair.to)];
        for (std::size_t c = 0; c < pair.candidates.size(); ++c) appendFitRow(text, from, to, pair, c, columns, folder);
        if (pair.candidates.empty()) {
            appendCsvRow(text, {from, to, pair.from == pair.to ? "1" : "2", "", "", noParameters, "", "", "no",
                                csvField(pair.failure), ""});
        }
    }
    return text;
}

std::string curvesCsv(const MeasuredCurves& curves, const FitSet& set) {
    const std::vector<std::string> names = csvNames(curves);
    std::string text = "from,to,lag,distance,measured,support,fitted,folder\n";
    const std::vector<std::string> folders = writtenFolders(curves, set);
    for (const PairFit& pair : set.pairs) {
        const std::string& folder = folders[static_cast<std::size_t>(pair.from) * names.size() + static_cast<std::size_t>(pair.to)];
        const std::vector<double>* fitted = fittedCurve(pair);
        const std::vector<MeasuredPoint>& measured = curveOf(curves, pair.from, pair.to);
        auto point = measured.begin();
        for (int lag = 0; lag <= curves.maxLag; ++lag) {
            while (point != measured.end() && point->lag < lag) ++point;
            const bool here = point != measured.end() && point->lag == lag;
            appendCsvRow(text, {names[static_cast<std::size_t>(pair.from)], names[static_cast<std::size_t>(pair.to)],
                             std::to_string(lag), shortest(curves.distances[static_cast<std::size_t>(lag)]),
                             here ? shortest(point->probability) : "", here ? shortest(point->support) : "",
                             fitted != nullptr ? shortest((*fitted)[static_cast<std::size_t>(lag)]) : "", folder});
        }
    }
    return text;
}

std::string checkCsv(const MeasuredCurves& curves, const FitSet& set) {
    const std::vector<std::string> names = csvNames(curves);
    std::string text = "from,lag,sum,deviation,outside\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (int lag = 0; lag <= curves.maxLag; ++lag) {
            const LagSum total = lagSum(curves, set, i, lag);
            appendCsvRow(text, {names[i], std::to_string(lag), total.complete ? shortest(total.sum) : "",
                                total.complete ? shortest(total.sum - 1) : "", std::to_string(total.outside)});
        }
    }
    return text;
}

}  // namespace reduz::fit
