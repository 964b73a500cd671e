// Measured transiograms of small logs and maps checked by hand: every L_ij at every lag, exactly
// (the positions are multiples of a power of two, so no sum is rounded).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fit/measuring/ascii_grid.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/sweep.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

struct Case {
    const char* name;
    const char* text;        // a map when it starts with "ncols", else CSV logs
    bool backward;           // up, west, north
    bool alongColumns;       // north, south
    double step;
    std::vector<std::string> classes;
    std::vector<long long> runs;
    std::vector<std::vector<double>> lengths;  // L_ij per lag from 0, row by row of from-classes
    ColumnNames columns = {};
};

const char* const twoIntervals = "hole,from,to,class\nBH1,0,2,sand\nBH1,2,5,clay\n";
const char* const map = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n"
                        "1 1 2\n2 -9999 2\n";

const Case cases[] = {
    // one hole of two intervals, both ways: backward is forward with from and to swapped
    {"two intervals, down", twoIntervals, false, false, 1, {"sand", "clay"}, {1, 1},
     {{2, 0, 0, 3}, {1, 1, 0, 2}, {0, 2, 0, 1}, {0, 2, 0, 0}}},
    {"two intervals, up", twoIntervals, true, false, 1, {"sand", "clay"}, {1, 1},
     {{2, 0, 0, 3}, {1, 0, 1, 2}, {0, 0, 2, 1}, {0, 0, 2, 0}}},
    {"lag across run ends", "hole,from,to,class\nH,0,1.5,a\nH,1.5,2.5,b\nH,2.5,4,a\n", false, false, 1,
     {"a", "b"}, {2, 1}, {{3, 0, 0, 1}, {1, 1, 1, 0}, {1, 0.5, 0.5, 0}}},
    // a gap is no class: nothing pairs with it
    {"gap", "hole,from,to,class\nH,0,1,a\nH,2,3,b\n", false, false, 1, {"a", "b"}, {1, 1},
     {{1, 0, 0, 1}, {0, 0, 0, 0}, {0, 1, 0, 0}}},
    // rows in any order; contiguous rows of a class are one run; never a pair across holes
    {"several holes", "hole,from,to,class\nY,1,2,b\nX,0,1,a\nY,0,1,b\nX,1,1.5,a\n", false, false, 0.5,
     {"b", "a"}, {1, 1}, {{2, 0, 0, 1.5}, {1.5, 0, 0, 1}, {1, 0, 0, 0.5}, {0.5, 0, 0, 0}}},
    {"named columns, quoting, CR LF, blank rows",
     "\xEF\xBB\xBFHoleID,From,To,Lith,Note\r\nB1,0,1,\"silt, sandy\",core lost below\r\n\r\n,,,,\r\nB1,1,3,clay,\r\n",
     false, false, 1, {"silt, sandy", "clay"}, {1, 1}, {{1, 0, 0, 2}, {0, 1, 0, 1}}, {"holeid", "FROM", "to", "LITH"}},
    // a map's rows run east, its columns south; NODATA is a gap
    {"map east", map, false, false, 10, {"1", "2"}, {1, 3}, {{20, 0, 0, 30}, {10, 10, 0, 0}, {0, 10, 0, 10}}},
    {"map west", map, true, false, 10, {"1", "2"}, {1, 3}, {{20, 0, 0, 30}, {10, 0, 10, 0}, {0, 0, 10, 10}}},
    {"map south", map, false, true, 10, {"1", "2"}, {2, 2}, {{20, 0, 0, 30}, {0, 10, 0, 10}, {0, 0, 0, 0}}},
    {"map north", map, true, true, 10, {"1", "2"}, {2, 2}, {{20, 0, 0, 30}, {0, 0, 10, 10}, {0, 0, 0, 0}}},
};

TEST(Sweep, HandCheckedPairLengths) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = c.text;
        const Logs logs = text.rfind("ncols", 0) == 0 ? readAsciiGrid(text, "map.asc", c.alongColumns)
                                                      : readIntervalLogs(text, "logs.csv", c.columns);
        const int lags = static_cast<int>(c.lengths.size()) - 1;
        const Measurement m = measureTransiograms(logs, LagGrid{c.step, lags, c.backward});
        const int n = static_cast<int>(c.classes.size());
        ASSERT_EQ(m.classes.size(), c.classes.size());
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(m.classes[static_cast<std::size_t>(i)].name, c.classes[static_cast<std::size_t>(i)]);
            EXPECT_EQ(m.classes[static_cast<std::size_t>(i)].runs, c.runs[static_cast<std::size_t>(i)]);
        }
        for (int lag = 0; lag <= lags; ++lag) {
            for (int i = 0; i < n; ++i) {
                double row = 0;
                for (int j = 0; j < n; ++j) {
                    const double expected = c.lengths[static_cast<std::size_t>(lag)][static_cast<std::size_t>(i * n + j)];
                    EXPECT_EQ(pairLength(m, lag, i, j), expected) << "lag " << lag << ", " << i << " to " << j;
                    row += expected;
                }
                EXPECT_EQ(support(m, lag, i), row) << "lag " << lag << ", from " << i;
                // t_ii(0) = 1 and t_ij(0) = 0: at lag 0 every position is its own partner.
                if (lag == 0) {
                    EXPECT_EQ(probability(m, 0, i, i), 1.0);
                }
            }
        }
    }
}

// Positions whose doubles are too far apart for a lag are refused, never measured wrong: at
// 1e16 doubles are 2 apart, and t_aa(1) of this hole would come out 1 where it is 0.875.
TEST(Sweep, RefusesLagsFinerThanThePositions) {
    struct Case {
        std::string text;
        double step;
        const char* error;
    };
    const Case cases[] = {
        {"hole,from,to,class\nBH1,1e16,10000000000000008,a\nBH1,10000000000000008,10000000000000010,b\n", 1,
         "logs.csv: hole BH1: doubles at 10000000000000010 are 2 apart, too far for lags of 1 (give the depths from "
         "the hole's top)"},
        {"hole,from,to,class\nA,0,1,a\nB,-4e7,-3e7,a\n", 1e-2,
         "logs.csv: hole B: doubles at 4e+07 are 7.450580596923828e-09 apart, too far for lags of 0.01 (give the "
         "depths from the hole's top)"},
        {"hole,from,to,class\nB,-4e7,-3e7,a\n", 1, ""},
        {"hole,from,to,class\nA,0,1000,a\n", 1e-4, ""},
    };
    for (const Case& c : cases) {
        const Logs logs = readIntervalLogs(c.text, "logs.csv", ColumnNames{});
        EXPECT_EQ(testing::refusal([&] { checkLagPrecision(logs, c.step, "logs.csv"); }), c.error) << c.text;
    }
    const Logs map = readAsciiGrid("ncols 1\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1e12\n1\n2\n", "map.asc", true);
    EXPECT_EQ(testing::refusal([&] { checkLagPrecision(map, 1, "map.asc"); }),
              "map.asc: column 1: doubles at 2e+12 are 0.000244140625 apart, too far for lags of 1 (give the "
              "depths from the hole's top)");
}

}  // namespace
}  // namespace reduz::fit
