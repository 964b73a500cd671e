#include "fit/measuring/point_csv.hpp"

#include <algorithm>
#include <optional>

#include "fit/base/csv_records.hpp"
#include "fit/base/csv_table.hpp"
#include "fit/base/failures.hpp"
#include "fit/base/text_case.hpp"

namespace reduz::fit {

namespace {

enum Column { xColumn, yColumn, zColumn, classColumn };

// Ends the reading of a text at its first record.
struct FirstRecord {
    CsvRecord record;
};

// The header row; none for a text without one, or one that does not read as CSV (the logs'
// reader then tells why).
std::optional<CsvRecord> headerOf(std::string_view text) {
    try {
        forEachCsvRecord(text, "", [](const CsvRecord& record) { throw FirstRecord{record}; });
    } catch (const FirstRecord& first) {
        return first.record;
    } catch (const InputError&) {
    }
    return std::nullopt;
}

}  // namespace

bool headerNamesPoints(std::string_view text) {
    const std::optional<CsvRecord> header = headerOf(text);
    if (!header) return false;
    const auto has = [&](std::string_view name) {
        return std::any_of(header->fields.begin(), header->fields.end(),
                           [&](const std::string& field) { return sameIgnoringCase(field, name); });
    };
    return has("x") && has("y") && has("class") && !has("from") && !has("to");
}

Points readPointCsv(std::string_view text, std::string_view file, const PointColumns& names) {
    const WantedColumn wanted[] = {{names.x}, {names.y}, {names.z, names.zNeeded}, {names.classes}};
    Points points;
    ClassNames classes;
    const CsvTable table = readCsvTable(text, file, wanted, [&](const CsvTable& t, const CsvRecord& row) {
        Point p;
        p.x = numberAt(t, row, xColumn);
        p.y = numberAt(t, row, yColumn);
        if (hasColumn(t, zColumn)) p.z = numberAt(t, row, zColumn);
        p.code = classAt(t, row, classColumn, classes);
        points.points.push_back(p);
    });
    if (points.points.empty()) failInput(file, 0, 0, "no points after the header");
    points.classes = std::move(classes.names);
    points.hasZ = hasColumn(table, zColumn);
    return points;
}

}  // namespace reduz::fit
