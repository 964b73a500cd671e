#include "fit/base/csv_table.hpp"

#include <algorithm>
#include <optional>

#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/text_case.hpp"

namespace reduz::fit {

namespace {

std::vector<std::size_t> findColumns(const CsvRecord& header, std::span<const WantedColumn> wanted,
                                     std::string_view file) {
    std::vector<std::size_t> positions;
    for (const WantedColumn& column : wanted) {
        std::optional<std::size_t> found;
        for (std::size_t c = 0; c < header.fields.size(); ++c) {
            if (!sameIgnoringCase(header.fields[c], column.name)) continue;
            if (found) {
                failInput(file, header.line, static_cast<long>(c) + 1,
                          "column \"" + column.name + "\" appears twice (columns " + std::to_string(*found + 1) +
                              " and " + std::to_string(c + 1) + ")");
            }
            found = c;
        }
        if (!found && column.required) failInput(file, header.line, 0, "no column \"" + column.name + "\" in the header");
        positions.push_back(found.value_or(noColumn));
    }
    return positions;
}

bool isBlankRow(const CsvRecord& row) {
    return std::all_of(row.fields.begin(), row.fields.end(), [](const std::string& f) { return f.empty(); });
}

void checkRowWidth(const CsvRecord& row, std::size_t headerWidth, std::string_view file) {
    if (row.fields.size() == headerWidth) return;
    failInput(file, row.line, static_cast<long>(std::min(row.fields.size(), headerWidth)) + 1,
              std::to_string(row.fields.size()) + " values where the header has " + std::to_string(headerWidth));
}

}  // namespace

CsvTable readCsvTable(std::string_view text, std::string_view file, std::span<const WantedColumn> wanted,
                      const std::function<void(const CsvTable&, const CsvRecord&)>& onRow) {
    CsvTable table;
    table.file = file;
    bool headerRead = false;
    forEachCsvRecord(text, file, [&](const CsvRecord& record) {
        if (!headerRead) {
            table.columns = findColumns(record, wanted, file);
            table.header = record.fields;
            headerRead = true;
            return;
        }
        if (isBlankRow(record)) return;
        checkRowWidth(record, table.header.size(), file);
        onRow(table, record);
    });
    if (!headerRead) failInput(file, 0, 0, "no header row: the file is empty");
    return table;
}

bool hasColumn(const CsvTable& table, std::size_t wanted) { return table.columns[wanted] != noColumn; }

const std::string& nameOf(const CsvTable& table, std::size_t wanted) { return table.header[table.columns[wanted]]; }

const std::string& valueAt(const CsvTable& table, const CsvRecord& row, std::size_t wanted) {
    return row.fields[table.columns[wanted]];
}

void failAt(const CsvTable& table, long line, std::size_t wanted, std::string_view message) {
    failInput(table.file, line, static_cast<long>(table.columns[wanted]) + 1, message);
}

double numberAt(const CsvTable& table, const CsvRecord& row, std::size_t wanted) {
    const std::string& text = valueAt(table, row, wanted);
    const std::optional<double> value = parseNumber(text);
    if (!value) failAt(table, row.line, wanted, nameOf(table, wanted) + " \"" + text + "\" is not a number");
    return *value;
}

const std::string& nonEmptyAt(const CsvTable& table, const CsvRecord& row, std::size_t wanted) {
    const std::string& text = valueAt(table, row, wanted);
    if (text.empty()) failAt(table, row.line, wanted, "empty " + nameOf(table, wanted));
    return text;
}

int classAt(const CsvTable& table, const CsvRecord& row, std::size_t wanted, ClassNames& classes) {
    const std::string& name = nonEmptyAt(table, row, wanted);
    const auto [code, added] = classes.codes.try_emplace(name, static_cast<int>(classes.names.size()));
    if (added) classes.names.push_back(name);
    return code->second;
}

}  // namespace reduz::fit
