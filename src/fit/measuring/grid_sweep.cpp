#include "fit/measuring/grid_sweep.hpp"

#include <algorithm>
#include <numeric>

#include "fit/base/parallel_tasks.hpp"

#include "fit/measuring/sweep.hpp"

namespace reduz::fit {

namespace {

// Codes below this are looked up in a table rather than the map: land-cover codes mostly are.
constexpr std::int64_t smallCodes = 1024;

int indexOf(GridSweep& s, std::int64_t code) {
    const bool small = code >= 0 && code < smallCodes;
    if (small && s.smallIndex.empty()) s.smallIndex.assign(static_cast<std::size_t>(smallCodes), -1);
    if (small && s.smallIndex[static_cast<std::size_t>(code)] >= 0) return s.smallIndex[static_cast<std::size_t>(code)];
    const auto [slot, added] = s.indexOf.try_emplace(code, static_cast<int>(s.codes.size()));
    if (added) {
        s.codes.push_back(code);
        s.classTicks.push_back(0);
        s.classRuns.push_back(0);
        growClasses(s.tally, static_cast<int>(s.codes.size()));
    }
    if (small) s.smallIndex[static_cast<std::size_t>(code)] = slot->second;
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

namespace {

// Whether the cells along the way lie at whole multiples of one cell's ticks.
bool wholeCells(long long count, double cell, int tick, std::int64_t& cellTicks) {
    cellTicks = tickOf(cell, tick);
    if (cellTicks <= 0) return false;
    for (long long p = 0; p <= count; ++p) {
        if (tickOf(static_cast<double>(p) * cell, tick) != p * cellTicks) return false;
    }
    return true;
}

// The most bytes the table of ends by kind may take; above it the ends are counted one by one.
constexpr std::size_t mostEndKindBytes = std::size_t{16} << 20;

std::size_t kindsOf(std::size_t capacity) { return (capacity + 1) * (capacity + 1); }

// The ends counted by kind, added into the changes they make.
void addEndKinds(GridSweep& s) {
    if (s.endKinds.empty()) return;
    const std::size_t capacity = static_cast<std::size_t>(s.capacity), kinds = kindsOf(capacity);
    for (std::size_t d = 1; d <= static_cast<std::size_t>(s.offsets); ++d) {
        for (std::size_t i = 0; i < capacity; ++i) {
            std::int64_t* counts = s.endKinds.data() + (d * capacity + i) * kinds;
            std::int64_t* changes = s.changes.data() + (d * capacity + i) * capacity;
            for (std::size_t kind = 0; kind < kinds; ++kind) {
                if (counts[kind] == 0) continue;
                const std::size_t before = kind / (capacity + 1), after = kind % (capacity + 1);
                if (after > 0) changes[after - 1] += counts[kind];
                if (before > 0) changes[before - 1] -= counts[kind];
                counts[kind] = 0;
            }
        }
    }
}

void makeRoom(GridSweep& s, int classes) {
    if (classes <= s.capacity) return;
    addEndKinds(s);
    const int capacity = std::max(classes, 2 * s.capacity);
    const std::size_t d = static_cast<std::size_t>(s.offsets) + 1;
    std::vector<std::int64_t> grown(d * static_cast<std::size_t>(capacity) * static_cast<std::size_t>(capacity), 0);
    for (std::size_t k = 0; k < d; ++k) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(s.capacity); ++i) {
            for (std::size_t j = 0; j < static_cast<std::size_t>(s.capacity); ++j) {
                grown[(k * static_cast<std::size_t>(capacity) + i) * static_cast<std::size_t>(capacity) + j] =
                    s.changes[(k * static_cast<std::size_t>(s.capacity) + i) * static_cast<std::size_t>(s.capacity) + j];
            }
        }
    }
    s.changes = std::move(grown);
    s.capacity = capacity;
    const std::size_t kinds = d * static_cast<std::size_t>(capacity) * kindsOf(static_cast<std::size_t>(capacity));
    if (kinds <= mostEndKindBytes / sizeof(std::int64_t)) {
        s.endKinds.assign(kinds, 0);
    } else {
        s.endKinds.clear();
    }
}

// Rows whose ends are counted together, the offsets shared out among the cores.
constexpr long long batchRows = 16;

// The rows of cells kept: along columns, those within the farthest offset of the rows waiting.
long long windowRows(const GridSweep& s) { return (alongColumns(s.direction) ? s.offsets : 0) + batchRows; }

const int* cellsOfRow(const GridSweep& s, long long row) {
    return s.cellRows.data() + static_cast<std::size_t>(row % windowRows(s)) * static_cast<std::size_t>(s.columns);
}

// The cells d before the ends of row `row`: along rows, the row itself; along columns, the row
// d to the north, none above the first.
template <bool Down>
const int* cellsBefore(const GridSweep& s, int d, long long row) {
    if constexpr (Down) return d > row ? nullptr : cellsOfRow(s, row - d);
    return cellsOfRow(s, row);
}

// The class of the cell d before the end at `at`, of `cells` above: -1 for none.
template <bool Down>
int classBefore(const int* cells, int d, int at) {
    if constexpr (Down) return cells != nullptr ? cells[at] : -1;
    return at >= d ? cells[at - d] : -1;
}

// For each offset d, the run ends of the waiting rows seen from the cells d before them: at an
// end where class b gives way to class a, a cell of class i d before gains a partner of a and
// loses one of b. By kind, each end met costs one count rather than two, in a table of the
// offset's few hundred counts. Each core takes offsets of its own, so the counts are the same
// whatever the cores.
template <bool Down>
void countWaitingEnds(GridSweep& s) {
    const std::size_t capacity = static_cast<std::size_t>(s.capacity), kinds = kindsOf(capacity);
    const std::size_t rows = s.endsFrom.size();
    s.endsFrom.push_back(s.ends.size());
    const auto countOffset = [&](int d) {
        for (std::size_t r = 0; r < rows; ++r) {
            const long long row = s.waitingFrom + static_cast<long long>(r);
            const auto first = s.ends.begin() + static_cast<std::ptrdiff_t>(s.endsFrom[r]);
            const auto last = s.ends.begin() + static_cast<std::ptrdiff_t>(s.endsFrom[r + 1]);
            const int* cells = cellsBefore<Down>(s, d, row);
            if (!s.endKinds.empty()) {
                std::int64_t* counts = s.endKinds.data() + static_cast<std::size_t>(d) * capacity * kinds;
                for (auto end = first; end != last; ++end) {
                    const int i = classBefore<Down>(cells, d, end->at);
                    if (i >= 0) ++counts[static_cast<std::size_t>(i) * kinds + static_cast<std::size_t>(end->kind)];
                }
                continue;
            }
            std::int64_t* changes = s.changes.data() + static_cast<std::size_t>(d) * capacity * capacity;
            for (auto end = first; end != last; ++end) {
                const int i = classBefore<Down>(cells, d, end->at);
                if (i < 0) continue;
                std::int64_t* counts = changes + static_cast<std::size_t>(i) * capacity;
                if (end->after >= 0) ++counts[end->after];
                if (end->before >= 0) --counts[end->before];
            }
        }
    };
    const int chunks = std::min(s.offsets, 32);
    runTasks(chunks, 0, [&](int chunk) {
        const int first = 1 + chunk * s.offsets / chunks, last = (chunk + 1) * s.offsets / chunks;
        for (int d = first; d <= last; ++d) countOffset(d);
    });
    s.ends.clear();
    s.endsFrom.clear();
}

void countWaiting(GridSweep& s) {
    if (s.endsFrom.empty()) return;
    if (alongColumns(s.direction)) {
        countWaitingEnds<true>(s);
    } else {
        countWaitingEnds<false>(s);
    }
}

GridSweep::End endOf(const GridSweep& s, int at, int before, int after) {
    return GridSweep::End{at, before, after, (before + 1) * (s.capacity + 1) + after + 1};
}

}  // namespace

GridSweep gridSweep(Direction direction, double step, int maxLag, long long columns, long long rows, double cellWidth,
                    double cellHeight) {
    GridSweep s;
    s.direction = direction;
    s.tick = tickExponent(step);
    s.tally = pairTally(0, maxLag, step, s.tick);
    s.cellHeight = cellHeight;
    const bool down = alongColumns(direction);
    // By cells where the cells are whole ticks and a lag is whole cells.
    std::int64_t cellTicks = 0;
    if (maxLag > 0 && s.tally.perLag > 0 && wholeCells(down ? rows : columns, down ? cellHeight : cellWidth, s.tick, cellTicks) &&
        s.tally.perLag % cellTicks == 0 && s.tally.perLag / cellTicks <= 1 << 20 &&
        static_cast<long long>(maxLag) * (s.tally.perLag / cellTicks) <= 1 << 20) {
        s.cellTicks = cellTicks;
        s.cellsPerLag = static_cast<int>(s.tally.perLag / cellTicks);
        s.offsets = maxLag * s.cellsPerLag;
        s.columns = columns;
        s.cellRows.assign(static_cast<std::size_t>(windowRows(s)) * static_cast<std::size_t>(columns), -1);
        if (down) s.seen.assign(static_cast<std::size_t>(columns), 0);
        return s;
    }
    const std::size_t n = static_cast<std::size_t>(columns);
    if (down) {
        s.open.assign(n, TickRun{0, 0, -1});
        s.windows.resize(n);
        s.seen.assign(n, 0);
    } else {
        for (std::size_t c = 0; c <= n; ++c) s.edges.push_back(tickOf(static_cast<double>(c) * cellWidth, s.tick));
    }
    return s;
}

namespace {

// A row counted by cells: its ends found now, counted with the rows of its batch.
void countRow(GridSweep& s, std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData) {
    const std::size_t n = codes.size();
    const bool down = alongColumns(s.direction);
    if (s.endsFrom.empty()) s.waitingFrom = s.rows;
    int* row = s.cellRows.data() + static_cast<std::size_t>(s.rows % windowRows(s)) * n;
    for (std::size_t c = 0; c < n; ++c) {
        row[c] = isNoData[c] != 0 ? -1 : indexOf(s, codes[c]);
        if (row[c] >= 0) ++s.cells;
    }
    if (static_cast<int>(s.codes.size()) > s.capacity) {
        countWaiting(s);  // their ends are of the old capacity's kinds
        if (s.endsFrom.empty()) s.waitingFrom = s.rows;
        makeRoom(s, static_cast<int>(s.codes.size()));
    }
    s.sameCells.resize(s.codes.size(), 0);
    s.endsFrom.push_back(s.ends.size());
    if (down) {
        const int* previous = s.rows > 0 ? cellsOfRow(s, s.rows - 1) : nullptr;  // the row before
        for (std::size_t c = 0; c < n; ++c) {
            const int before = previous != nullptr ? previous[c] : -1;
            if (row[c] >= 0) {
                ++s.sameCells[static_cast<std::size_t>(row[c])];
                s.seen[c] = 1;
            }
            if (row[c] == before) continue;
            if (row[c] >= 0) ++s.classRuns[static_cast<std::size_t>(row[c])];
            s.ends.push_back(endOf(s, static_cast<int>(c), before, row[c]));
        }
    } else {
        bool any = false;
        for (std::size_t x = 0; x <= n; ++x) {
            const int before = x > 0 ? row[x - 1] : -1, after = x < n ? row[x] : -1;
            if (after >= 0) {
                ++s.sameCells[static_cast<std::size_t>(after)];
                any = true;
            }
            if (after == before) continue;
            if (after >= 0) ++s.classRuns[static_cast<std::size_t>(after)];
            s.ends.push_back(endOf(s, static_cast<int>(x), before, after));
        }
        if (any) ++s.holes;
    }
    if (static_cast<long long>(s.endsFrom.size()) == batchRows) countWaiting(s);
}

// Along columns, the ends below the last row, as a row of their own after it.
void countLastEnds(GridSweep& s) {
    countWaiting(s);
    if (!alongColumns(s.direction) || s.rows == 0) return;
    const int* last = cellsOfRow(s, s.rows - 1);
    s.waitingFrom = s.rows;
    s.endsFrom.push_back(0);
    for (std::size_t c = 0; c < static_cast<std::size_t>(s.columns); ++c) {
        if (last[c] >= 0) s.ends.push_back(endOf(s, static_cast<int>(c), last[c], -1));
    }
    countWaiting(s);
}

// L_ij at each lag in ticks, by first appearance, from the cells' counts.
std::vector<std::int64_t> countedTicks(const GridSweep& s, int maxLag, bool backward) {
    const std::size_t n = s.codes.size(), capacity = static_cast<std::size_t>(s.capacity);
    std::vector<std::int64_t> ticks((static_cast<std::size_t>(maxLag) + 1) * n * n, 0);
    std::vector<std::int64_t> at(n * n, 0);  // L(d) in cells
    for (std::size_t i = 0; i < n; ++i) at[i * n + i] = s.sameCells[i];
    for (int d = 0; d <= s.offsets; ++d) {
        if (d > 0) {
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t j = 0; j < n; ++j) at[i * n + j] += s.changes[(static_cast<std::size_t>(d) * capacity + i) * capacity + j];
            }
        }
        if (d % s.cellsPerLag != 0) continue;
        const std::size_t k = static_cast<std::size_t>(d / s.cellsPerLag);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                ticks[(k * n + (backward ? j : i)) * n + (backward ? i : j)] = at[i * n + j] * s.cellTicks;
            }
        }
    }
    return ticks;
}

}  // namespace

void addGridRow(GridSweep& s, std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData) {
    if (s.cellsPerLag > 0) {
        countRow(s, codes, isNoData);
        ++s.rows;
        return;
    }
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
    if (s.cellsPerLag > 0) {
        countLastEnds(s);
        addEndKinds(s);
        for (std::size_t c = 0; c < s.codes.size(); ++c) s.classTicks[c] = s.sameCells[c] * s.cellTicks;
    }
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
    std::vector<std::int64_t> classTicks;
    for (const std::size_t old : order) {
        ClassSummary c;
        const auto named = names.find(s.codes[old]);
        c.name = named != names.end() ? named->second : std::to_string(s.codes[old]);
        c.runs = s.classRuns[old];
        classTicks.push_back(s.classTicks[old]);
        m.classes.push_back(c);
    }
    fillClassLengths(m, classTicks, s.tick);
    const std::vector<std::int64_t> byFirst = s.cellsPerLag > 0 ? countedTicks(s, maxLag, m.backward) : tickLengthsOf(s.tally, m.backward);
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
