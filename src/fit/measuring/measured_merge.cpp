#include "fit/measuring/measured_merge.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>

#include "fit/base/csv_table.hpp"
#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"
#include "fit/measuring/directions.hpp"
#include "fit/measuring/run_pairs.hpp"
#include "fit/measuring/sweep.hpp"
#include "models/model_parameters.hpp"

namespace reduz::fit {

namespace {

enum MeasuredColumn { lagColumn, distanceColumn, fromColumn, toColumn, lengthColumn, directionColumn, maxLagColumn };
enum ClassesColumn { classColumn, classLengthColumn, runsColumn };

long long wholeAt(const CsvTable& table, const CsvRecord& record, std::size_t column) {
    const std::string& text = valueAt(table, record, column);
    const std::optional<long long> value = parseWhole(text);
    if (!value || *value < 0) failAt(table, record.line, column, nameOf(table, column) + " \"" + text + "\" is not a whole number from 0 on");
    return *value;
}

double lengthAt(const CsvTable& table, const CsvRecord& record, std::size_t column) {
    const double length = numberAt(table, record, column);
    if (length < 0) failAt(table, record.line, column, nameOf(table, column) + " " + shortest(length) + " is below 0");
    return length;
}

// Whether every name is a whole code, as a map's classes are.
bool allCodes(const std::vector<std::string>& names) {
    return std::all_of(names.begin(), names.end(), [](const std::string& name) { return parseWhole(name).has_value(); });
}

// The ticks of a length as measure writes it, or none when it is not so written.
std::optional<std::int64_t> ticksOf(double length, int exponent) {
    const std::int64_t ticks = tickOf(length, exponent);
    if (lengthOfTicks(ticks, exponent) != length || ticks >= mostTicks) return std::nullopt;
    return ticks;
}

}  // namespace

MeasuredPart readMeasuredPart(std::string_view measured, std::string_view measuredFile, std::string_view classes,
                              std::string_view classesFile) {
    MeasuredPart part;
    part.file = std::string(measuredFile);
    ClassNames names;
    static const WantedColumn classesWanted[] = {{"class"}, {"length"}, {"runs"}};
    readCsvTable(classes, classesFile, classesWanted, [&](const CsvTable& t, const CsvRecord& record) {
        const std::size_t before = names.names.size();
        classAt(t, record, classColumn, names);
        if (names.names.size() == before) failAt(t, record.line, classColumn, "class \"" + names.names.back() + "\" is listed twice");
        ClassSummary summary;
        summary.name = names.names.back();
        summary.length = lengthAt(t, record, classLengthColumn);
        summary.runs = wholeAt(t, record, runsColumn);
        part.classes.push_back(summary);
    });

    static const WantedColumn measuredWanted[] = {{"lag"}, {"distance"}, {"from"}, {"to"}, {"length"}, {"direction"}, {"max_lag"}};
    std::map<std::tuple<int, int, int>, long> seen;
    std::map<int, double> distances;
    bool first = true;
    readCsvTable(measured, measuredFile, measuredWanted, [&](const CsvTable& t, const CsvRecord& record) {
        const std::string& direction = nonEmptyAt(t, record, directionColumn);
        const long long maxLag = wholeAt(t, record, maxLagColumn);
        if (maxLag > maxTableLag) {
            failAt(t, record.line, maxLagColumn, "max_lag " + std::to_string(maxLag) + " is beyond " + std::to_string(maxTableLag) + ", the most measure takes");
        }
        if (first) {
            part.direction = direction;
            part.maxLag = static_cast<int>(maxLag);
            first = false;
        } else if (direction != part.direction) {
            failAt(t, record.line, directionColumn, "direction " + direction + " where the rows before are " + part.direction);
        } else if (maxLag != part.maxLag) {
            failAt(t, record.line, maxLagColumn,
                   "max_lag " + std::to_string(maxLag) + " where the rows before have " + std::to_string(part.maxLag));
        }
        const long long lag = wholeAt(t, record, lagColumn);
        if (lag > maxLag) failAt(t, record.line, lagColumn, "lag " + std::to_string(lag) + " is beyond max_lag " + std::to_string(maxLag));
        PartValue value;
        value.lag = static_cast<int>(lag);
        for (const MeasuredColumn column : {fromColumn, toColumn}) {
            const std::string& name = nonEmptyAt(t, record, column);
            const auto code = names.codes.find(name);
            if (code == names.codes.end()) {
                failAt(t, record.line, column, "class \"" + name + "\" is not in " + std::string(classesFile));
            }
            (column == fromColumn ? value.from : value.to) = code->second;
        }
        value.length = lengthAt(t, record, lengthColumn);
        const auto [earlier, added] = seen.try_emplace({value.lag, value.from, value.to}, record.line);
        if (!added) {
            failAt(t, record.line, lagColumn,
                   "lag " + std::to_string(lag) + " from " + names.names[static_cast<std::size_t>(value.from)] + " to " +
                       names.names[static_cast<std::size_t>(value.to)] + " is given on line " + std::to_string(earlier->second) +
                       " already");
        }
        const double distance = numberAt(t, record, distanceColumn);
        const auto [kept, fresh] = distances.try_emplace(value.lag, distance);
        if (!fresh && kept->second != distance) {
            failAt(t, record.line, distanceColumn,
                   "distance " + shortest(distance) + " at lag " + std::to_string(lag) + ", where the rows before have " +
                       shortest(kept->second));
        }
        part.values.push_back(value);
    });
    if (first) failInput(measuredFile, 0, 0, "no rows: nothing was measured");
    // The step: lag 1's distance where it is written, which is the step itself.
    for (const auto& [lag, distance] : distances) {
        if (lag == 0) continue;
        part.step = lag == 1 ? distance : distance / lag;
        break;
    }
    for (const auto& [lag, distance] : distances) {
        if (part.step > 0 && distance != lag * part.step) {
            failInput(measuredFile, 0, 0,
                      "distance " + shortest(distance) + " at lag " + std::to_string(lag) + " is not " + std::to_string(lag) +
                          " steps of " + shortest(part.step));
        }
    }
    return part;
}

Measurement mergeParts(const std::vector<MeasuredPart>& parts) {
    const MeasuredPart& first = parts.front();
    double step = 0;
    const MeasuredPart* stepGiven = nullptr;
    for (const MeasuredPart& part : parts) {
        if (part.direction != first.direction) {
            failInput(part.file, 0, 0, "measured " + part.direction + ", where " + first.file + " is measured " + first.direction);
        }
        if (part.maxLag != first.maxLag) {
            failInput(part.file, 0, 0,
                      "measured to lag " + std::to_string(part.maxLag) + ", where " + first.file + " is measured to lag " +
                          std::to_string(first.maxLag));
        }
        if (part.step == 0) continue;
        if (stepGiven == nullptr) {
            step = part.step;
            stepGiven = &part;
        } else if (part.step != step) {
            failInput(part.file, 0, 0,
                      "measured at lags of " + shortest(part.step) + ", where " + stepGiven->file + " is measured at lags of " +
                          shortest(step));
        }
    }

    // Every part's classes: a map's codes ascending, else in the order the parts name them.
    std::vector<std::string> names;
    for (const MeasuredPart& part : parts) {
        for (const ClassSummary& c : part.classes) {
            if (std::find(names.begin(), names.end(), c.name) == names.end()) names.push_back(c.name);
        }
    }
    const std::optional<Direction> direction = directionNamed(first.direction);
    if (direction && isMapDirection(*direction) && allCodes(names)) {
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return *parseWhole(a) < *parseWhole(b); });
    }
    const std::size_t n = names.size();
    if (pairTableSize(n, first.maxLag) > largestPairTable) {
        failInput(first.file, 0, 0,
                  std::to_string(n) + " classes at " + std::to_string(first.maxLag + 1) + " lags are more than the " +
                      std::to_string(largestPairTable) + " values a measurement holds");
    }

    Measurement m;
    m.step = step;
    m.maxLag = first.maxLag;
    m.backward = direction && isBackward(*direction);
    m.direction = first.direction;
    m.classes.resize(n);
    for (std::size_t c = 0; c < n; ++c) m.classes[c].name = names[c];
    if (step == 0) {
        failInput(first.file, 0, 0, "no part has a lag above 0, which gives the step: the parts cannot be added exactly");
    }
    const int tick = tickExponent(step);
    std::vector<std::int64_t> ticks(pairTableSize(n, m.maxLag), 0), classTicks(n, 0);
    const auto add = [&](std::int64_t& sum, double length, const MeasuredPart& part, const std::string& what) {
        const std::optional<std::int64_t> t = ticksOf(length, tick);
        if (!t) {
            failInput(part.file, 0, 0,
                      what + " " + shortest(length) + " is not a whole number of ticks of " + shortest(lengthOfTicks(1, tick)) +
                          ", as measure writes lengths at lags of " + shortest(step));
        }
        sum += *t;
        if (sum >= mostTicks) failInput(part.file, 0, 0, "the parts' lengths add up to more than can be added exactly");
    };
    for (const MeasuredPart& part : parts) {
        std::vector<std::size_t> index;  // the part's class -> the whole's
        for (const ClassSummary& c : part.classes) {
            index.push_back(static_cast<std::size_t>(std::find(names.begin(), names.end(), c.name) - names.begin()));
        }
        for (std::size_t c = 0; c < part.classes.size(); ++c) {
            add(classTicks[index[c]], part.classes[c].length, part, "class " + part.classes[c].name + "'s length");
            m.classes[index[c]].runs += part.classes[c].runs;
        }
        for (const PartValue& v : part.values) {
            const std::size_t from = index[static_cast<std::size_t>(v.from)], to = index[static_cast<std::size_t>(v.to)];
            add(ticks[(static_cast<std::size_t>(v.lag) * n + from) * n + to], v.length, part, "length at lag " + std::to_string(v.lag));
        }
    }
    if (fillClassLengths(m, classTicks, tick) >= mostTicks) {
        failInput(first.file, 0, 0, "the parts' lengths add up to more than can be added exactly");
    }
    fillLengths(m, ticks, tick);
    return m;
}

}  // namespace reduz::fit
