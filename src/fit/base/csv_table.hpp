#pragma once
// A CSV table as the readers take it: a header row whose columns are found by name without
// regard to case, then data rows, each as wide as the header; a spreadsheet's empty rows are
// passed over. A failure names the file, the line and the column of the value.
//
//   header "Hole,FROM,to,class,depth", wanted hole, from, to, class   -> columns 0, 1, 2, 3
//   wanted "support", not required, absent                            -> noColumn
//   wanted "class", absent      -> InputError "FILE:1: no column \"class\" in the header"
//   header "hole,from,HOLE"     -> InputError "FILE:1:3: column \"hole\" appears twice (columns 1 and 3)"
//   row "A,0,1" under a header of 4   -> InputError "FILE:7:4: 3 values where the header has 4"
//   numberAt(table, row, from) on "1O" -> InputError "FILE:7:2: from \"1O\" is not a number"
//   classAt(table, row, class, names) on "sand" -> its code, "sand" added to names when new

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fit/base/csv_records.hpp"

namespace reduz::fit {

struct WantedColumn {
    std::string name;
    bool required = true;
};

inline constexpr std::size_t noColumn = static_cast<std::size_t>(-1);

// The header of a table being read; a wanted column is known by its place in the wanted list.
struct CsvTable {
    std::string_view file;
    std::vector<std::string> header;   // the names as the file writes them
    std::vector<std::size_t> columns;  // each wanted column's position, noColumn when absent
};

// Reads the header, then calls onRow for each data row. Throws InputError for a file without a
// header ("no header row: the file is empty"), a wanted column missing or given twice, and a
// row of another width than the header's.
CsvTable readCsvTable(std::string_view text, std::string_view file, std::span<const WantedColumn> wanted,
                      const std::function<void(const CsvTable&, const CsvRecord&)>& onRow);

bool hasColumn(const CsvTable& table, std::size_t wanted);
// The column's name in the header, as written there.
const std::string& nameOf(const CsvTable& table, std::size_t wanted);
const std::string& valueAt(const CsvTable& table, const CsvRecord& row, std::size_t wanted);

// Throws InputError at the column's value on that line.
[[noreturn]] void failAt(const CsvTable& table, long line, std::size_t wanted, std::string_view message);

// The value as a finite number: "NAME \"TEXT\" is not a number" otherwise.
double numberAt(const CsvTable& table, const CsvRecord& row, std::size_t wanted);
// The value, which must not be empty: "empty NAME" otherwise.
const std::string& nonEmptyAt(const CsvTable& table, const CsvRecord& row, std::size_t wanted);

// Class names by first appearance, each with its code: its place in `names`.
struct ClassNames {
    std::vector<std::string> names;
    std::unordered_map<std::string, int> codes;
};

// The code of the row's class in that column (not empty), the name added when it is new.
int classAt(const CsvTable& table, const CsvRecord& row, std::size_t wanted, ClassNames& classes);

}  // namespace reduz::fit
