#pragma once
// Interval logs in CSV: a header row, then one interval a row with its hole, top, bottom and
// class. Columns are found by name without regard to case; other columns are ignored. Rows may
// come in any order; a hole's intervals may leave gaps but never overlap. Classes are listed in
// the order they first appear.
//
//   hole,from,to,class
//   BH1,2,5,clay          -> hole BH1: runs [0, 2) sand, [2, 5) clay; classes clay, sand
//   BH1,0,2,sand
//
//   BH1,0,2,sand / BH1,1,3,clay  -> InputError "FILE:3:2: hole BH1: from 1 to 3 overlaps from 0 to 2 on line 2"
//
// With collars asked for, the columns x and y, and elevation where there is one, give each
// hole's collar; every row of a hole gives the same:
//   hole,x,y,from,to,class / BH1,0,0,0,2,sand / BH1,0,5,2,3,clay
//     -> InputError "FILE:3:3: hole BH1: y 5 where line 2 gives 0"

#include <string>
#include <string_view>

#include "fit/measuring/logs.hpp"

namespace reduz::fit {

struct ColumnNames {
    std::string hole = "hole";
    std::string from = "from";
    std::string to = "to";
    std::string classes = "class";
};

// Throws InputError (naming `file`, the line and the column) at the first row it cannot use.
Logs readIntervalLogs(std::string_view text, std::string_view file, const ColumnNames& names, bool collars = false);

}  // namespace reduz::fit
