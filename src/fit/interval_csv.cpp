#include "fit/interval_csv.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

#include "fit/csv_columns.hpp"
#include "fit/failures.hpp"
#include "fit/number_text.hpp"

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
    std::string_view file;
    std::vector<std::string> header;
    std::array<std::size_t, 4> index{};  // position of each wanted column in a record
    std::vector<HoleRows> holes;
    std::unordered_map<std::string, std::size_t> holeIndex;
    std::unordered_map<std::string, int> classCodes;
    std::vector<std::string> classes;
    long long intervals = 0;
};

void findColumns(Reading& r, const CsvRecord& header, const ColumnNames& names) {
    r.header = header.fields;
    const WantedColumn wanted[] = {{names.hole}, {names.from}, {names.to}, {names.classes}};
    const std::vector<std::size_t> positions = findColumns(header, wanted, r.file);
    std::copy(positions.begin(), positions.end(), r.index.begin());
}

[[noreturn]] void failAt(const Reading& r, const CsvRecord& row, Column column, const std::string& message) {
    failInput(r.file, row.line, static_cast<long>(r.index[column]) + 1, message);
}

double depth(const Reading& r, const CsvRecord& row, Column column) {
    const std::string& text = row.fields[r.index[column]];
    const std::optional<double> value = parseNumber(text);
    if (!value) failAt(r, row, column, r.header[r.index[column]] + " \"" + text + "\" is not a number");
    return *value;
}

void readInterval(Reading& r, const CsvRecord& row) {
    if (isBlankRow(row)) return;
    checkRowWidth(row, r.header.size(), r.file);
    const std::string& hole = row.fields[r.index[holeColumn]];
    if (hole.empty()) failAt(r, row, holeColumn, "empty " + r.header[r.index[holeColumn]]);
    const double from = depth(r, row, fromColumn);
    const double to = depth(r, row, toColumn);
    if (!(to > from)) {
        failAt(r, row, toColumn, r.header[r.index[toColumn]] + " " + shortest(to) + " is not above " +
                                     r.header[r.index[fromColumn]] + " " + shortest(from));
    }
    const std::string& name = row.fields[r.index[classColumn]];
    if (name.empty()) failAt(r, row, classColumn, "empty " + r.header[r.index[classColumn]]);

    const auto [code, newClass] = r.classCodes.try_emplace(name, static_cast<int>(r.classes.size()));
    if (newClass) r.classes.push_back(name);
    const auto [slot, newHole] = r.holeIndex.try_emplace(hole, r.holes.size());
    if (newHole) r.holes.push_back(HoleRows{hole, {}});
    r.holes[slot->second].intervals.push_back(Interval{from, to, code->second, row.line});
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
    Reading r;
    r.file = file;
    bool headerRead = false;
    forEachCsvRecord(text, file, [&](const CsvRecord& record) {
        if (headerRead) {
            readInterval(r, record);
        } else {
            findColumns(r, record, names);
            headerRead = true;
        }
    });
    if (!headerRead) failInput(file, 0, 0, "no header row: the file is empty");
    if (r.intervals == 0) failInput(file, 0, 0, "no intervals after the header");

    std::optional<Overlap> overlap;
    for (HoleRows& hole : r.holes) orderAlongHole(hole, overlap);
    if (overlap) {
        const Interval& a = overlap->later;
        const Interval& b = overlap->earlier;
        failInput(file, a.line, static_cast<long>(r.index[fromColumn]) + 1,
                  "hole " + overlap->hole->name + ": from " + shortest(a.from) + " to " + shortest(a.to) +
                      " overlaps from " + shortest(b.from) + " to " + shortest(b.to) + " on line " +
                      std::to_string(b.line));
    }

    Logs logs;
    logs.classes = std::move(r.classes);
    logs.intervals = r.intervals;
    logs.holes.resize(r.holes.size());
    for (std::size_t h = 0; h < r.holes.size(); ++h) {
        for (const Interval& interval : r.holes[h].intervals) {
            appendInterval(logs.holes[h], interval.from, interval.to, interval.code);
        }
    }
    return logs;
}

}  // namespace reduz::fit
