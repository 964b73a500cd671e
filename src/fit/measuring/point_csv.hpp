#pragma once
// Scattered points in CSV: a header row, then one point a row with its x, y, optionally z, and
// class. Columns are found by name without regard to case; other columns are ignored. Classes
// are listed in the order they first appear; two points may stand at one place, of one class
// or of two.
//
//   x,y,class             -> points (0, 0) sand, (3, 1.5) clay in a plane; classes sand, clay
//   0,0,sand
//   3,1.5,clay
//
//   X,Y,Z,Class / 1,2,-3.5,clay   -> a point in space (z grows upward)
//   x,y,class / 1,north,clay      -> InputError "FILE:2:2: y \"north\" is not a number"
//
// A file holds points rather than interval logs when its header has x, y and class and neither
// from nor to:
//   headerNamesPoints("X,Y,class,note\n...")          -> true
//   headerNamesPoints("hole,x,y,from,to,class\n...")  -> false (logs, with collar coordinates)

#include <string>
#include <string_view>

#include "fit/measuring/points.hpp"

namespace reduz::fit {

struct PointColumns {
    std::string x = "x";
    std::string y = "y";
    std::string z = "z";
    std::string classes = "class";
    bool zNeeded = false;  // z was named: a header without it is refused, rather than read in a plane
};

bool headerNamesPoints(std::string_view text);

// Throws InputError (naming `file`, the line and the column) at the first row it cannot use,
// and for a file without points.
Points readPointCsv(std::string_view text, std::string_view file, const PointColumns& names);

}  // namespace reduz::fit
