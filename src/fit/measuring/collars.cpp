#include "fit/measuring/collars.hpp"

#include <string>
#include <unordered_map>

#include "fit/base/csv_table.hpp"
#include "fit/base/failures.hpp"

namespace reduz::fit {

namespace {

enum Column { holeColumn, xColumn, yColumn, elevationColumn };

struct GivenCollar {
    Collar collar;
    long line = 0;
};

}  // namespace

void readCollars(std::string_view text, std::string_view file, std::string_view holeName, Logs& logs) {
    const WantedColumn wanted[] = {{std::string(holeName)}, {"x"}, {"y"}, {"elevation", false}};
    std::unordered_map<std::string, GivenCollar> collars;
    readCsvTable(text, file, wanted, [&](const CsvTable& table, const CsvRecord& row) {
        // Holes are named "hole NAME" in the logs, as every message calls them.
        const std::string hole = "hole " + nonEmptyAt(table, row, holeColumn);
        const Collar collar{numberAt(table, row, xColumn), numberAt(table, row, yColumn),
                            hasColumn(table, elevationColumn) ? numberAt(table, row, elevationColumn) : 0.0};
        const auto [given, added] = collars.try_emplace(hole, GivenCollar{collar, row.line});
        if (!added) failAt(table, row.line, holeColumn, hole + " is given on line " + std::to_string(given->second.line) + " already");
    });
    for (Hole& hole : logs.holes) {
        const auto given = collars.find(hole.name);
        if (given == collars.end()) failInput(file, 0, 0, "no collar for " + hole.name);
        hole.collar = given->second.collar;
    }
}

}  // namespace reduz::fit
