#include "fit/measured_curves.hpp"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

#include "fit/csv_columns.hpp"
#include "fit/failures.hpp"
#include "fit/number_text.hpp"

namespace reduz::fit {

namespace {

constexpr int largestLag = 1000;  // the most reduzmodel tabulates

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

struct Reading {
    std::string_view file;
    std::vector<std::string> header;
    std::vector<std::size_t> index;
    std::unordered_map<std::string, int> classCodes;
    std::vector<std::string> classes;
    std::vector<Row> rows;
};

[[noreturn]] void failAt(const Reading& r, const CsvRecord& row, Column column, const std::string& message) {
    failInput(r.file, row.line, static_cast<long>(r.index[column]) + 1, message);
}

const std::string& field(const Reading& r, const CsvRecord& row, Column column) { return row.fields[r.index[column]]; }

std::string quotedName(const Reading& r, Column column, const std::string& text) {
    return r.header[r.index[column]] + " \"" + text + "\"";
}

double number(const Reading& r, const CsvRecord& row, Column column) {
    const std::string& text = field(r, row, column);
    const std::optional<double> value = parseNumber(text);
    if (!value) failAt(r, row, column, quotedName(r, column, text) + " is not a number");
    return *value;
}

int classCode(Reading& r, const CsvRecord& row, Column column) {
    const std::string& name = field(r, row, column);
    if (name.empty()) failAt(r, row, column, "empty " + r.header[r.index[column]]);
    const auto [code, added] = r.classCodes.try_emplace(name, static_cast<int>(r.classes.size()));
    if (added) r.classes.push_back(name);
    return code->second;
}

void readRow(Reading& r, const CsvRecord& record) {
    if (isBlankRow(record)) return;
    checkRowWidth(record, r.header.size(), r.file);
    Row row;
    row.line = record.line;
    const std::string& lagText = field(r, record, lagColumn);
    const std::optional<long long> lag = parseWhole(lagText);
    if (!lag || *lag < 0) failAt(r, record, lagColumn, quotedName(r, lagColumn, lagText) + " is not a whole number from 0 on");
    row.lag = *lag;
    row.distance = number(r, record, distanceColumn);
    row.from = classCode(r, record, fromColumn);
    row.to = classCode(r, record, toColumn);
    row.probability = number(r, record, probabilityColumn);
    if (row.probability < 0 || row.probability > 1) {
        failAt(r, record, probabilityColumn,
               r.header[r.index[probabilityColumn]] + " " + shortest(row.probability) + " is outside 0 to 1");
    }
    if (r.index[supportColumn] != noColumn) {
        row.support = number(r, record, supportColumn);
        if (row.support < 0) {
            failAt(r, record, supportColumn, r.header[r.index[supportColumn]] + " " + shortest(row.support) + " is below 0");
        }
    }
    r.rows.push_back(row);
}

}  // namespace

const std::vector<MeasuredPoint>& curveOf(const MeasuredCurves& curves, int from, int to) {
    return curves.pairs[static_cast<std::size_t>(from) * curves.classes.size() + static_cast<std::size_t>(to)];
}

MeasuredCurves readMeasuredCsv(std::string_view text, std::string_view file, std::optional<int> maxLag) {
    static const WantedColumn wanted[] = {{"lag"}, {"distance"}, {"from"}, {"to"}, {"probability"}, {"support", false}};
    Reading r;
    r.file = file;
    bool headerRead = false;
    forEachCsvRecord(text, file, [&](const CsvRecord& record) {
        if (headerRead) {
            readRow(r, record);
        } else {
            r.header = record.fields;
            r.index = findColumns(record, wanted, file);
            headerRead = true;
        }
    });
    if (!headerRead) failInput(file, 0, 0, "no header row: the file is empty");

    // The tabulated lags: as asked, or up to the largest given.
    const Row* step = nullptr;   // the first row above lag 0, which gives the step
    const Row* largest = nullptr;
    for (const Row& row : r.rows) {
        if (maxLag && row.lag > *maxLag) continue;
        if (row.lag > 0 && step == nullptr) step = &row;
        if (largest == nullptr || row.lag > largest->lag) largest = &row;
    }
    if (step == nullptr) failInput(file, 0, 0, maxLag ? "no lag from 1 to " + std::to_string(*maxLag) : "no lag above 0");
    if (!maxLag && largest->lag > largestLag) {
        failInput(file, largest->line, static_cast<long>(r.index[lagColumn]) + 1,
                  "lag " + std::to_string(largest->lag) + " is beyond " + std::to_string(largestLag) +
                      ", the most reduzmodel tabulates (--max-lag fits fewer)");
    }

    MeasuredCurves curves;
    curves.classes = std::move(r.classes);
    curves.maxLag = maxLag.value_or(static_cast<int>(largest->lag));
    const std::size_t n = curves.classes.size();
    curves.pairs.resize(n * n);
    std::vector<const Row*> byLag(static_cast<std::size_t>(curves.maxLag) + 1, nullptr);
    std::map<std::tuple<long long, int, int>, long> seen;
    for (const Row& row : r.rows) {
        if (row.lag > curves.maxLag) continue;
        const auto [earlier, added] = seen.try_emplace({row.lag, row.from, row.to}, row.line);
        if (!added) {
            failInput(file, row.line, static_cast<long>(r.index[lagColumn]) + 1,
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
        curves.distances.push_back(row != nullptr ? row->distance : lag * stepLength);
    }
    return curves;
}

void readProportions(MeasuredCurves& curves, std::string_view text, std::string_view file) {
    static const WantedColumn wanted[] = {{"class"}, {"proportion"}};
    std::vector<std::size_t> index;
    std::size_t width = 0;
    std::unordered_map<std::string, double> proportions;
    forEachCsvRecord(text, file, [&](const CsvRecord& record) {
        if (index.empty()) {
            index = findColumns(record, wanted, file);
            width = record.fields.size();
            return;
        }
        if (isBlankRow(record)) return;
        checkRowWidth(record, width, file);
        const std::string& proportion = record.fields[index[1]];
        const std::optional<double> value = parseNumber(proportion);
        if (!value || *value < 0 || *value > 1) {
            failInput(file, record.line, static_cast<long>(index[1]) + 1,
                      "proportion \"" + proportion + "\" is not a number from 0 to 1");
        }
        proportions.emplace(record.fields[index[0]], *value);
    });
    if (index.empty()) failInput(file, 0, 0, "no header row: the file is empty");
    curves.proportions.clear();
    for (const std::string& name : curves.classes) {
        const auto found = proportions.find(name);
        if (found == proportions.end()) failInput(file, 0, 0, "no class \"" + name + "\"");
        curves.proportions.push_back(found->second);
    }
}

MeasuredCurves curvesOf(const Measurement& m) {
    MeasuredCurves curves;
    const int n = static_cast<int>(m.classes.size());
    for (const ClassSummary& c : m.classes) {
        curves.classes.push_back(c.name);
        curves.proportions.push_back(c.proportion);
    }
    curves.maxLag = m.lags;
    curves.pairs.resize(static_cast<std::size_t>(n * n));
    for (int lag = 0; lag <= m.lags; ++lag) {
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

}  // namespace reduz::fit
