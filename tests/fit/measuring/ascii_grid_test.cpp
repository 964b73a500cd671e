// The ESRI ASCII grid reader: the header, the rows of codes, and each fault told at its line
// and column.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fit/measuring/ascii_grid.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

using testing::refusal;

const std::string header = "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";

TEST(AsciiGrid, RefusesAtTheLineAndColumn) {
    struct Case {
        std::string text;
        const char* error;
        bool alongColumns = false;
    };
    const Case cases[] = {
        // the header
        {"", "map.asc: the header has no ncols"},
        {"ncols 2\nnrows 2\nxllcorner 0\ncellsize 1\n1 1\n", "map.asc:5:1: the header has no yllcorner or yllcenter"},
        {"ncols 2\nnrows 1.5\n", "map.asc:2:2: nrows \"1.5\" is not a whole number above 0"},
        {"ncols 0\n", "map.asc:1:2: ncols \"0\" is not a whole number above 0"},
        {"ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 0\n", "map.asc:5:2: cellsize \"0\" is not a number above 0"},
        {"ncols 2\nnrows 2\nxllcorner west\n", "map.asc:3:2: xllcorner \"west\" is not a number"},
        {"ncols 2\nnrows 2\nxllcorner 0\nxllcenter 0\n", "map.asc:4:1: xllcenter repeats the header line 3"},
        {"ncols 2 3\n", "map.asc:1:3: ncols takes one value"},
        {"ncols\n", "map.asc:1:2: ncols takes one value"},
        {"ncol 2\n", "map.asc:1:1: \"ncol\" is neither a header key nor a class code"},
        // the rows
        {header + "1 2\n1\n", "map.asc:8:2: 1 values where ncols is 2"},
        {header + "1 2 3\n", "map.asc:7:3: 3 values where ncols is 2"},
        {header + "1 2\n", "map.asc:8:1: the grid ends after 1 of its 2 rows"},
        {header + "1 2\n\n", "map.asc:9:1: the grid ends after 1 of its 2 rows"},
        {header + "1 2", "map.asc:7:3: the grid ends after 1 of its 2 rows"},
        {"ncols 2\rnrows 2\rxllcorner 0\ryllcorner 0\rcellsize 1\r1 2\r1 x\r", "map.asc:7:2: \"x\" is not a class code"},
        {header + "1 2\n1 2\n\n3 3\n", "map.asc:10:1: more rows than nrows 2"},
        {header + "1 x\n", "map.asc:7:2: \"x\" is not a class code"},
        {header + "1 2.5\n", "map.asc:7:2: class code \"2.5\" is not a whole number"},
        {header + "-9999 -9999\n-9999 -9999\n", "map.asc: every cell is NODATA"},
        {header + "1 9223372036854775808\n", "map.asc:7:2: class code \"9223372036854775808\" is beyond the 64-bit whole numbers"},
        {header + "1e30 1\n", "map.asc:7:1: class code \"1e30\" is beyond the 64-bit whole numbers"},
        {header + "1 1.0000001\n", "map.asc:7:2: class code \"1.0000001\" is not a whole number"},
        // the cells' ends along the way read, which a NODATA cell does not have
        {"ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1e308\n1 2\n",
         "map.asc:5:2: cellsize 1e+308 puts cell 2 of a row beyond the largest number"},
        {"ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1e308\nNODATA_value 0\n1 0\n", ""},
        {"ncols 1\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1e308\n1\n2\n", ""},
        {"ncols 1\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1e308\n1\n2\n",
         "map.asc:5:2: cellsize 1e+308 puts cell 2 of a column beyond the largest number", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal([&] { readAsciiGrid(c.text, "map.asc", c.alongColumns); }), c.error) << c.text;
    }
}

// Codes are read exactly, whatever their size or form: neighbours beyond 2^53 stay two classes.
TEST(AsciiGrid, CodesAreWholeNumbersReadExactly) {
    struct Case {
        std::string nodata;
        std::string row;
        std::vector<std::string> classes;  // in ascending order of code
        long long intervals;
    };
    const Case cases[] = {
        {"-9999", "9007199254740992 9007199254740993", {"9007199254740992", "9007199254740993"}, 2},
        {"-9999", "-9223372036854775808 9223372036854775807", {"-9223372036854775808", "9223372036854775807"}, 2},
        {"-9999", "2.0 +2", {"2"}, 2},
        {"-9999", "1.5e1 150e-1", {"15"}, 2},
        {"-9999", "-9999.0 3", {"3"}, 1},
        {"-9999.0", "-9999 3", {"3"}, 1},
        {"9007199254740993", "9007199254740992 9007199254740993", {"9007199254740992"}, 1},
        {"-3.4028234663852886e+38", "-3.4028234663852886e+38 7", {"7"}, 1},
    };
    for (const Case& c : cases) {
        const std::string map = "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value " + c.nodata + "\n" + c.row + "\n";
        const Logs logs = readAsciiGrid(map, "map.asc", false);
        EXPECT_EQ(logs.classes, c.classes) << c.row;
        EXPECT_EQ(logs.intervals, c.intervals) << c.row;
    }
}

TEST(AsciiGrid, AMapIsNamedByItsEnding) {
    EXPECT_TRUE(namesMap("map.asc"));
    EXPECT_TRUE(namesMap("dir/MAP.ASC"));
    EXPECT_FALSE(namesMap("map.asc.csv"));
    EXPECT_FALSE(namesMap("asc"));
}

}  // namespace
}  // namespace reduz::fit
