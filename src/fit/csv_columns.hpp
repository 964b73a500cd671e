#pragma once
// A CSV file's columns found by name in its header row, without regard to case, and the checks
// every data row of such a file passes first.
//
//   header "Hole,FROM,to,class,depth", wanted hole, from, to, class   -> positions 0, 1, 2, 3
//   wanted "support", not required, absent                            -> noColumn
//   wanted "class", absent      -> InputError "FILE:1: no column \"class\" in the header"
//   header "hole,from,HOLE"     -> InputError "FILE:1:3: column \"hole\" appears twice (columns 1 and 3)"
//   row "A,0,1" under a header of 4   -> InputError "FILE:7:4: 3 values where the header has 4"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fit/csv_records.hpp"

namespace reduz::fit {

struct WantedColumn {
    std::string name;
    bool required = true;
};

inline constexpr std::size_t noColumn = static_cast<std::size_t>(-1);

// The position of each wanted column in the header's records, noColumn for one not required
// and absent. Throws InputError naming `file` and the header's line.
std::vector<std::size_t> findColumns(const CsvRecord& header, std::span<const WantedColumn> wanted,
                                     std::string_view file);

// A spreadsheet's empty row: every value empty. Such rows are passed over.
bool isBlankRow(const CsvRecord& row);

// Throws InputError unless the row has as many values as the header.
void checkRowWidth(const CsvRecord& row, std::size_t headerWidth, std::string_view file);

}  // namespace reduz::fit
