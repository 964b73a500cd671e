#pragma once
// A simulated map as GeoTIFF bytes, for a grid that came from a GeoTIFF: one band of the class
// codes (Byte where every code lies in 0 to 255, else Int32), the grid's georeference and
// projection, DEFLATE. Built in GDAL's memory files, so that it is written whole with the rest.
//
//   geoTiff(grid of 3 x 2 from (500000, 4100000), cells of 30, codes {1, 1, 2, 2, 5, 2})
//     -> a 3 x 2 Byte GeoTIFF whose north-west corner is (500000, 4100060)

#include <cstdint>
#include <string>
#include <vector>

#include "fit/simulating/sim_grid.hpp"

namespace reduz::fit {

// Throws OutputError when GDAL cannot make it.
std::string geoTiff(const SimGrid& grid, const std::vector<long long>& codes);

}  // namespace reduz::fit
