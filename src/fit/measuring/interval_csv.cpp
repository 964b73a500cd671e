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

enum Column { holeColumn, fromColumn, toColumn, classColumn, xColumn, yColumn, elevationColumn };

struct Interval {
    double from = 0;
    double to = 0;
    int code = 0;
    long line = 0;
};

struct HoleRows {
    std::string name;
    std::vector<Interval> intervals;
    std::optional<Collar> collar;
    long collarLine = 0;  // the row that gave it
};

struct Reading {
    std::vector<HoleRows> holes;
    std::unordered_map<std::string, std::size_t> holeIndex;
    ClassNames classes;
    long long intervals = 0;
    bool collars = false;
};

// The row's collar, which must be the one the hole's first row gave.
void readCollar(HoleRows& hole, const CsvTable& table, const CsvRecord& row) {
    for (const std::size_t column : {xColumn, yColumn}) {
        if (!hasColumn(table, column)) {
            failInput(table.file, 1, 0,
                      std::string("no column \"") + (column == xColumn ? "x" : "y") +
                          "\" in the header: lateral curves need each hole's collar, in x and y columns or in --collars FILE");
        }
    }
    Collar collar{numberAt(table, row, xColumn), numberAt(table, row, yColumn),
                  hasColumn(table, elevationColumn) ? numberAt(table, row, elevationColumn) : 0.0};
    if (!hole.collar) {
        hole.collar = collar;
        hole.collarLine = row.line;
        return;
    }
    const double given[] = {collar.x, collar.y, collar.elevation};
    const double first[] = {hole.collar->x, hole.collar->y, hole.collar->elevation};
    for (const std::size_t column : {xColumn, yColumn, elevationColumn}) {
        const std::size_t c = column - xColumn;
        if (given[c] != first[c]) {
            failAt(table, row.line, column, "hole " + hole.name + ": " + nameOf(table, column) + " " + shortest(given[c]) +
                                                " where line " + std::to_string(hole.collarLine) + " gives " +
                                                shortest(first[c]));
        }
    }
}

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
    if (newHole) r.holes.push_back(HoleRows{hole, {}, {}, 0});
    r.holes[slot->second].intervals.push_back(Interval{from, to, code, row.line});
    if (r.collars) readCollar(r.holes[slot->second], table, row);
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

Logs readIntervalLogs(std::string_view text, std::string_view file, const ColumnNames& names, bool collars) {
    const WantedColumn wanted[] = {{names.hole},       {names.from},      {names.to},
                                   {names.classes},    {"x", false},      {"y", false},
                                   {"elevation", false}};
    Reading r;
    r.collars = collars;
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
        logs.holes[h].collar = r.holes[h].collar;
        for (const Interval& interval : r.holes[h].intervals) {
            appendInterval(logs.holes[h], interval.from, interval.to, interval.code);
        }
    }
    return logs;
}

}  // namespace reduz::fit
