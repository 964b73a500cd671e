#include "fit/measuring/grid_sweep.hpp"

#include <algorithm>
#include <numeric>

#include "fit/measuring/sweep.hpp"

namespace reduz::fit {

namespace {

int indexOf(GridSweep& s, std::int64_t code) {
    const auto [slot, added] = s.indexOf.try_emplace(code, static_cast<int>(s.codes.size()));
    if (added) {
        s.codes.push_back(code);
        s.classTicks.push_back(0);
        s.classRuns.push_back(0);
        growClasses(s.tally, static_cast<int>(s.codes.size()));
    }
    return slot->second;
}

void countRun(GridSweep& s, const TickRun& run) {
    s.classTicks[static_cast<std::size_t>(run.code)] += run.to - run.from;
    ++s.classRuns[static_cast<std::size_t>(run.code)];
}

// Along columns: the column's open run, ended and paired with its window.
void closeColumn(GridSweep& s, std::size_t c) {
    TickRun& run = s.open[c];
    if (run.code < 0) return;
    countRun(s, run);
    addRun(s.tally, s.windows[c], run);
    run.code = -1;
}

}  // namespace

GridSweep gridSweep(Direction direction, double step, int maxLag, long long columns, double cellWidth, double cellHeight) {
    GridSweep s;
    s.direction = direction;
    s.tick = tickExponent(step);
    s.tally = pairTally(0, maxLag, step, s.tick);
    s.cellHeight = cellHeight;
    const std::size_t n = static_cast<std::size_t>(columns);
    if (alongColumns(direction)) {
        s.open.assign(n, TickRun{0, 0, -1});
        s.windows.resize(n);
        s.seen.assign(n, 0);
    } else {
        for (std::size_t c = 0; c <= n; ++c) s.edges.push_back(tickOf(static_cast<double>(c) * cellWidth, s.tick));
    }
    return s;
}

void addGridRow(GridSweep& s, std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData) {
    const std::size_t n = codes.size();
    if (alongColumns(s.direction)) {
        const std::int64_t top = tickOf(static_cast<double>(s.rows) * s.cellHeight, s.tick);
        const std::int64_t bottom = tickOf(static_cast<double>(s.rows + 1) * s.cellHeight, s.tick);
        for (std::size_t c = 0; c < n; ++c) {
            if (isNoData[c] != 0) {
                closeColumn(s, c);
                continue;
            }
            ++s.cells;
            const int code = indexOf(s, codes[c]);
            TickRun& run = s.open[c];
            if (run.code == code) {
                run.to = bottom;
                continue;
            }
            closeColumn(s, c);
            run = TickRun{top, bottom, code};
            s.seen[c] = 1;
        }
    } else {
        s.rowRuns.clear();
        for (std::size_t c = 0; c < n; ++c) {
            if (isNoData[c] != 0) continue;
            ++s.cells;
            const int code = indexOf(s, codes[c]);
            // a cell that continues the run before it without a gap joins it
            if (!s.rowRuns.empty() && s.rowRuns.back().code == code && s.rowRuns.back().to == s.edges[c]) {
                s.rowRuns.back().to = s.edges[c + 1];
            } else {
                s.rowRuns.push_back(TickRun{s.edges[c], s.edges[c + 1], code});
            }
        }
        for (const TickRun& run : s.rowRuns) countRun(s, run);
        addHole(s.tally, s.rowRuns);
        if (!s.rowRuns.empty()) ++s.holes;
    }
    ++s.rows;
}

Measurement finishGrid(GridSweep& s, double step, int maxLag, const std::map<std::int64_t, std::string>& names) {
    for (std::size_t c = 0; c < s.open.size(); ++c) closeColumn(s, c);
    if (alongColumns(s.direction)) s.holes = std::count(s.seen.begin(), s.seen.end(), std::uint8_t{1});

    // Classes in ascending order of their codes.
    const std::size_t n = s.codes.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return s.codes[a] < s.codes[b]; });
    Measurement m;
    m.step = step;
    m.maxLag = maxLag;
    m.backward = isBackward(s.direction);
    m.direction = directionName(s.direction);
    m.holes = s.holes;
    m.intervals = s.cells;
    std::int64_t total = 0;
    for (const std::size_t old : order) {
        ClassSummary c;
        const auto named = names.find(s.codes[old]);
        c.name = named != names.end() ? named->second : std::to_string(s.codes[old]);
        c.length = lengthOfTicks(s.classTicks[old], s.tick);
        c.runs = s.classRuns[old];
        total += s.classTicks[old];
        m.classes.push_back(c);
    }
    m.loggedLength = lengthOfTicks(total, s.tick);
    for (ClassSummary& c : m.classes) {
        c.proportion = c.length / m.loggedLength;
        c.meanLength = c.length / static_cast<double>(c.runs);
    }
    const std::vector<std::int64_t> byFirst = tickLengthsOf(s.tally, m.backward);
    std::vector<std::int64_t> ticks(byFirst.size());
    for (std::size_t k = 0; k <= static_cast<std::size_t>(maxLag); ++k) {
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) ticks[(k * n + i) * n + j] = byFirst[(k * n + order[i]) * n + order[j]];
        }
    }
    fillLengths(m, ticks, s.tick);
    return m;
}

Logs holesOfGrid(std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData, long long columns,
                 double cellWidth, double cellHeight, bool alongColumns, const std::map<std::int64_t, std::string>& names) {
    std::map<std::int64_t, int> rank;  // code -> index, ascending
    for (std::size_t c = 0; c < codes.size(); ++c) {
        if (isNoData[c] == 0) rank.emplace(codes[c], 0);
    }
    Logs logs;
    for (auto& [code, index] : rank) {
        index = static_cast<int>(logs.classes.size());
        const auto named = names.find(code);
        logs.classes.push_back(named != names.end() ? named->second : std::to_string(code));
    }
    const long long rows = columns > 0 ? static_cast<long long>(codes.size()) / columns : 0;
    const long long holes = alongColumns ? columns : rows;
    const long long length = alongColumns ? rows : columns;
    const double cell = alongColumns ? cellHeight : cellWidth;
    for (long long h = 0; h < holes; ++h) {
        Hole hole;
        hole.name = (alongColumns ? "column " : "row ") + std::to_string(h + 1);
        for (long long p = 0; p < length; ++p) {
            const std::size_t at = static_cast<std::size_t>(alongColumns ? p * columns + h : h * columns + p);
            if (isNoData[at] != 0) continue;
            appendInterval(hole, static_cast<double>(p) * cell, static_cast<double>(p + 1) * cell, rank[codes[at]]);
            ++logs.intervals;
        }
        if (!hole.runs.empty()) logs.holes.push_back(std::move(hole));
    }
    return logs;
}

}  // namespace reduz::fit
