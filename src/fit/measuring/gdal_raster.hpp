#pragma once
// A categorical map as a raster that GDAL reads (GeoTIFF, GDAL's own reading of ESRI ASCII
// grids, and its other raster formats): one band of whole class codes, streamed north to south
// a strip of GDAL's blocks at a time, so that a map larger than memory passes through in the
// room of a few block rows.
//
//   a 3 x 2 Byte GeoTIFF, top-left corner (500000, 4100000), cells 30 x 20, NoData 0:
//       1 1 2
//       2 0 2
//     openRaster     -> columns 3, rows 2, cellWidth 30, cellHeight 20, originX 500000,
//                       originY 4100000, noData 0, type "Byte", codes {}, names {}
//     readRasterRows -> onRow(0, {1, 1, 2}, {0, 0, 0}); onRow(1, {2, 0, 2}, {0, 1, 0})
//
// Rows come north first and each row west first, whichever way the file stores them: a
// south-up image (a positive y cell size) is handed out from its last row, and one whose x
// cell size is negative with each row reversed. A raster without a georeference is read as it
// is stored, its top row the northern one, in cells of 1 x 1 with the top-left corner at (0, 0).
//
// Refused, each with one line naming the file (an InputError): a file GDAL cannot open (its own
// message), more or fewer bands than one, no cells, a floating-point band even where every value
// is whole (Float32 and Float64: codes are whole numbers; gdal_translate -ot Int32 makes such a
// band), a complex one, a rotated or sheared georeference, one given by control points only, a
// "MEM:::" name (which would read memory at an address the name gives, here or as a VRT file's
// source), and an attribute table that names classes without whole codes or names one code twice.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace reduz::fit {

struct RasterInfo {
    long long columns = 0;
    long long rows = 0;
    double cellWidth = 1;  // both above 0; cells need not be square
    double cellHeight = 1;
    double originX = 0;  // the top-left (north-west) corner
    double originY = 0;
    bool georeferenced = false;  // false: the cells of 1 x 1 above, in the file's own order
    std::string projection;      // WKT; empty when the file gives none
    std::string type;            // GDAL's name of the band's type: "Byte", "Int16", ..., "Int8" for a signed Byte
    // The NoData value when a cell of the band's type can hold it and it fits 64 signed bits
    // (NoData -9999 of a Byte band can mark no cell: none here). A UInt64 NoData above 2^63 - 1
    // still marks its cells; the rows' flags are what tell NoData.
    std::optional<std::int64_t> noData;
    // The classes the raster's table names, in ascending order of code, the NoData code left out;
    // names[i] is the name of codes[i]. From the raster attribute table (its column of names:
    // usage Name, else the first text column whose name holds "class" or "name"; its codes: the
    // column of usage MinMax, else the one named "Value", else the table's rows from a linear
    // binning of width 1), else the band's category names (the i-th names code i). A row of an
    // empty name names no class. Empty: the codes stand for themselves. The file's codes need
    // not all be named, nor the named all occur; two codes may have one name.
    //   a table Value 1 "sand", 2 "", 3 "clay"       -> codes {1, 3}, names {"sand", "clay"}
    //   category names "water", "", "forest"          -> codes {0, 2}, names {"water", "forest"}
    std::vector<std::int64_t> codes;
    std::vector<std::string> names;
    int blockWidth = 0;  // GDAL's blocks, of which a strip of rows is read at a time
    int blockHeight = 0;
};

// Opens the raster and tells what readRasterRows will hand out, reading none of its cells.
// Throws InputError: "map.tif: band 1 is Float32: ...", "missing.tif: No such file or directory".
RasterInfo openRaster(std::string_view path);

// Every row, north to south: row 0 is the northern one; codes and isNoData hold a value for each
// column, west to east. A NoData cell (the NoData value, or masked out by the file's mask) has
// isNoData 1 and code 0. The spans live until onRow returns. Memory stays within a strip of one
// block row (at most 16 MiB of cells; a taller block row is read in parts) and GDAL's copy of
// those blocks, whatever the raster's size. Throws InputError as openRaster does, and for a cell
// GDAL cannot read ("map.tif: rows 17 to 32: ...") or a UInt64 code above 2^63 - 1; onRow may
// have had rows by then. What onRow throws passes through, the file closed.
void readRasterRows(std::string_view path,
                    const std::function<void(long long row, std::span<const std::int64_t> codes,
                                             std::span<const std::uint8_t> isNoData)>& onRow);

}  // namespace reduz::fit
