#include "fit/fitting/measured_curves.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>

#include "fit/base/csv_table.hpp"
#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"
#include "models/model_parameters.hpp"

namespace reduz::fit {

namespace {

enum Column { lagColumn, distanceColumn, fromColumn, toColumn, probabilityColumn, supportColumn };

struct Row {
    long long lag = 0;
    double distance = 0;
    int from = 0;
    int to = 0;
    double probability = 0;
    double support = 1;
    long line = 0;
};

void readRow(const CsvTable& table, const CsvRecord& record, ClassNames& classes, std::vector<Row>& rows) {
    Row row;
    row.line = record.line;
    const std::string& lagText = valueAt(table, record, lagColumn);
    const std::optional<long long> lag = parseWhole(lagText);
    if (!lag || *lag < 0) {
        failAt(table, record.line, lagColumn,
               nameOf(table, lagColumn) + " \"" + lagText + "\" is not a whole number from 0 on");
    }
    row.lag = *lag;
    row.distance = numberAt(table, record, distanceColumn);
    for (const Column column : {fromColumn, toColumn}) {
        (column == fromColumn ? row.from : row.to) = classAt(table, record, column, classes);
        if (classes.names.size() > mostFitClasses) {
            failAt(table, record.line, column,
                   "class \"" + classes.names.back() + "\" is one more than the " + std::to_string(mostFitClasses) +
                       " classes (" + std::to_string(mostFitClasses * mostFitClasses) + " pairs) a fit takes");
        }
    }
    row.probability = numberAt(table, record, probabilityColumn);
    if (row.probability < 0 || row.probability > 1) {
        failAt(table, record.line, probabilityColumn,
               nameOf(table, probabilityColumn) + " " + shortest(row.probability) + " is outside 0 to 1");
    }
    if (hasColumn(table, supportColumn)) {
        row.support = numberAt(table, record, supportColumn);
        if (row.support < 0) {
            failAt(table, record.line, supportColumn,
                   nameOf(table, supportColumn) + " " + shortest(row.support) + " is below 0");
        }
    }
    rows.push_back(row);
}

}  // namespace

const std::vector<MeasuredPoint>& curveOf(const MeasuredCurves& curves, int from, int to) {
    return curves.pairs[static_cast<std::size_t>(from) * curves.classes.size() + static_cast<std::size_t>(to)];
}

MeasuredCurves readMeasuredCsv(std::string_view text, std::string_view file, std::optional<int> maxLag) {
    static const WantedColumn wanted[] = {{"lag"}, {"distance"}, {"from"}, {"to"}, {"probability"}, {"support", false}};
    ClassNames classes;
    std::vector<Row> rows;
    const CsvTable table = readCsvTable(text, file, wanted, [&](const CsvTable& t, const CsvRecord& record) {
        readRow(t, record, classes, rows);
    });

    // The tabulated lags: as asked, or up to the largest given.
    const Row* step = nullptr;   // the first row above lag 0, which gives the step
    const Row* largest = nullptr;
    for (const Row& row : rows) {
        if (maxLag && row.lag > *maxLag) continue;
        if (row.lag > 0 && step == nullptr) step = &row;
        if (largest == nullptr || row.lag > largest->lag) largest = &row;
    }
    if (step == nullptr) failInput(file, 0, 0, maxLag ? "no lag from 1 to " + std::to_string(*maxLag) : "no lag above 0");
    if (!maxLag && largest->lag > maxTableLag) {
        failAt(table, largest->line, lagColumn,
               "lag " + std::to_string(largest->lag) + " is beyond " + std::to_string(maxTableLag) +
                   ", the most reduzmodel tabulates (--max-lag fits fewer)");
    }

    MeasuredCurves curves;
    curves.classes = std::move(classes.names);
    curves.maxLag = maxLag.value_or(static_cast<int>(largest->lag));
    const std::size_t n = curves.classes.size();
    curves.pairs.resize(n * n);
    std::vector<const Row*> byLag(static_cast<std::size_t>(curves.maxLag) + 1, nullptr);
    std::map<std::tuple<long long, int, int>, long> seen;
    for (const Row& row : rows) {
        if (row.lag > curves.maxLag) continue;
        const auto [earlier, added] = seen.try_emplace({row.lag, row.from, row.to}, row.line);
        if (!added) {
            failAt(table, row.line, lagColumn,
                   "lag " + std::to_string(row.lag) + " from " + curves.classes[static_cast<std::size_t>(row.from)] +
                       " to " + curves.classes[static_cast<std::size_t>(row.to)] + " is given on line " +
                       std::to_string(earlier->second) + " already");
        }
        if (byLag[static_cast<std::size_t>(row.lag)] == nullptr) byLag[static_cast<std::size_t>(row.lag)] = &row;
        curves.pairs[static_cast<std::size_t>(row.from) * n + static_cast<std::size_t>(row.to)].push_back(
            MeasuredPoint{static_cast<int>(row.lag), row.probability, row.support});
    }
    for (std::vector<MeasuredPoint>& curve : curves.pairs) {
        std::sort(curve.begin(), curve.end(), [](const MeasuredPoint& a, const MeasuredPoint& b) { return a.lag < b.lag; });
    }
    const double stepLength = step->distance / static_cast<double>(step->lag);
    for (int lag = 0; lag <= curves.maxLag; ++lag) {
        const Row* row = byLag[static_cast<std::size_t>(lag)];
        const double distance = row != nullptr ? row->distance : lag * stepLength;
        // A lag no row gives takes its distance from the step; the curves and the panel show it.
        if (!std::isfinite(distance)) {
            failAt(table, step->line, distanceColumn,
                   nameOf(table, distanceColumn) + " " + shortest(step->distance) + " at lag " +
                       std::to_string(step->lag) + " is a step too large for lag " + std::to_string(lag) +
                       ", which no row gives");
        }
        curves.distances.push_back(distance);
    }
    return curves;
}

void readProportions(MeasuredCurves& curves, std::string_view text, std::string_view file) {
    enum { classColumn, proportionColumn };
    static const WantedColumn wanted[] = {{"class"}, {"proportion"}};
    struct Given {
        double proportion = 0;
        long line = 0;
    };
    std::unordered_map<std::string, Given> proportions;
    readCsvTable(text, file, wanted, [&](const CsvTable& table, const CsvRecord& record) {
        const std::string& proportion = valueAt(table, record, proportionColumn);
        const std::optional<double> value = parseNumber(proportion);
        if (!value || *value < 0 || *value > 1) {
            failAt(table, record.line, proportionColumn, "proportion \"" + proportion + "\" is not a number from 0 to 1");
        }
        const std::string& name = valueAt(table, record, classColumn);
        const auto [earlier, added] = proportions.try_emplace(name, Given{*value, record.line});
        if (!added) {
            failAt(table, record.line, classColumn,
                   "class \"" + name + "\" is given on line " + std::to_string(earlier->second.line) + " already");
        }
    });
    curves.proportions.clear();
    for (const std::string& name : curves.classes) {
        const auto found = proportions.find(name);
        if (found == proportions.end()) failInput(file, 0, 0, "no class \"" + name + "\"");
        curves.proportions.push_back(found->second.proportion);
    }
}

std::vector<double> sharesOf(const MeasuredCurves& curves) {
    const int n = static_cast<int>(curves.classes.size());
    if (curves.proportions.size() == static_cast<std::size_t>(n)) return curves.proportions;
    std::vector<double> shares(static_cast<std::size_t>(n), 0.0);
    double total = 0;
    for (int i = 0; i < n; ++i) {
        for (const MeasuredPoint& point : curveOf(curves, i, i)) {
            if (point.lag == 0) shares[static_cast<std::size_t>(i)] = point.support;
        }
        total += shares[static_cast<std::size_t>(i)];
    }
    for (double& share : shares) share = total > 0 ? share / total : 1.0 / n;
    return shares;
}

}  // namespace reduz::fit
