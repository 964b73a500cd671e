#include "fit/csv_columns.hpp"

#include <algorithm>
#include <optional>

#include "fit/failures.hpp"
#include "fit/text_case.hpp"

namespace reduz::fit {

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

}  // namespace reduz::fit
