#include "fit/measuring/interval_csv.hpp"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "fit/base/csv_table.hpp"
#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"

namespace reduz::fit {

namespace {

enum Column { holeColumn, fromColumn, toColumn, classColumn };

struct Interval {
    double from = 0;
    double to = 0;
    int code = 0;
    long line = 0;
};

struct HoleRows {
    std::string name;
    std::vector<Interval> intervals;
};

struct Reading {
    std::vector<HoleRows> holes;
    std::unordered_map<std::string, std::size_t> holeIndex;
    ClassNames classes;
    long long intervals = 0;
};

void readInterval(Reading& r, const CsvTable& table, const CsvRecord& row) {
    const std::string& hole = nonEmptyAt(table, row, holeColumn);
    const double from = numberAt(table, row, fromColumn);
    const double to = numberAt(table, row, toColumn);
    if (!(to > from)) {
        failAt(table, row.line, toColumn, nameOf(table, toColumn) + " " + shortest(to) + " is not above " +
                                              nameOf(table, fromColumn) + " " + shortest(from));
    }
    const int code = classAt(table, row, classColumn, r.classes);
    const auto [slot, newHole] = r.holeIndex.try_emplace(hole, r.holes.size());
    if (newHole) r.holes.push_back(HoleRows{hole, {}});
    r.holes[slot->second].intervals.push_back(Interval{from, to, code, row.line});
    ++r.intervals;
}

struct Overlap {
    const HoleRows* hole = nullptr;
    Interval later;    // of the two, the one further down the file
    Interval earlier;
};

// The hole's intervals in order along it; the overlap whose later line comes first, if any.
void orderAlongHole(HoleRows& hole, std::optional<Overlap>& first) {
    std::sort(hole.intervals.begin(), hole.intervals.end(), [](const Interval& a, const Interval& b) {
        return a.from < b.from || (a.from == b.from && a.line < b.line);
    });
    // Each interval is compared with the one reaching furthest down before it: any overlap
    // shows there.
    const Interval* reach = nullptr;
    for (const Interval& interval : hole.intervals) {
        if (reach != nullptr && interval.from < reach->to) {
            const bool laterIsThis = interval.line > reach->line;
            const Overlap overlap{&hole, laterIsThis ? interval : *reach, laterIsThis ? *reach : interval};
            if (!first || overlap.later.line < first->later.line) first = overlap;
        }
        if (reach == nullptr || interval.to > reach->to) reach = &interval;
    }
}

}  // namespace

Logs readIntervalLogs(std::string_view text, std::string_view file, const ColumnNames& names) {
    const WantedColumn wanted[] = {{names.hole}, {names.from}, {names.to}, {names.classes}};
    Reading r;
    const CsvTable table = readCsvTable(text, file, wanted,
                                        [&](const CsvTable& t, const CsvRecord& row) { readInterval(r, t, row); });
    if (r.intervals == 0) failInput(file, 0, 0, "no intervals after the header");

    std::optional<Overlap> overlap;
    for (HoleRows& hole : r.holes) orderAlongHole(hole, overlap);
    if (overlap) {
        const Interval& a = overlap->later;
        const Interval& b = overlap->earlier;
        failAt(table, a.line, fromColumn,
               "hole " + overlap->hole->name + ": from " + shortest(a.from) + " to " + shortest(a.to) +
                   " overlaps from " + shortest(b.from) + " to " + shortest(b.to) + " on line " +
                   std::to_string(b.line));
    }

    Logs logs;
    logs.classes = std::move(r.classes.names);
    logs.intervals = r.intervals;
    logs.holes.resize(r.holes.size());
    for (std::size_t h = 0; h < r.holes.size(); ++h) {
        logs.holes[h].name = "hole " + r.holes[h].name;
        for (const Interval& interval : r.holes[h].intervals) {
            appendInterval(logs.holes[h], interval.from, interval.to, interval.code);
        }
    }
    return logs;
}

}  // namespace reduz::fit
