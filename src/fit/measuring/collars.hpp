#pragma once
// Boreholes' collars in CSV: a header row, then one hole a row with its name, x, y and,
// optionally, elevation (columns found by name without regard to case; others ignored). Each
// hole of the logs takes its collar; collars of holes the logs do not hold are passed over.
//
//   hole,x,y,elevation / BH1,0,0,100 / BH2,50,0,98.5
//     -> BH1 at (0, 0), its depth d at elevation 100 - d; BH2 at (50, 0), 98.5 - d
//   a second row for BH1      -> InputError "FILE:4:1: hole BH1 is given on line 2 already"
//   no row for a hole BH3     -> InputError "FILE: no collar for hole BH3"

#include <string_view>

#include "fit/measuring/logs.hpp"

namespace reduz::fit {

// Sets the collar of every hole of `logs` from the file; its hole column is named `holeColumn`,
// as in the logs.
void readCollars(std::string_view text, std::string_view file, std::string_view holeColumn, Logs& logs);

}  // namespace reduz::fit
