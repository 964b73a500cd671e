// Boreholes' collars, from a file of their own or from the logs' own columns: what each hole
// takes, and the rows refused, each told at its line and column.

#include <gtest/gtest.h>

#include <string>

#include "fit/measuring/collars.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

using testing::refusal;

const std::string logsCsv = "hole,from,to,class\nBH1,0,1,a\nBH2,0,2,b\n";

TEST(Collars, EachHoleTakesItsOwn) {
    Logs logs = readIntervalLogs(logsCsv, "logs.csv", ColumnNames{});
    readCollars("Elevation,X,HOLE,y\n98.5,50,BH2,0\n100,0,BH1,1\n7,7,BH9,7\n", "collars.csv", "hole", logs);
    ASSERT_TRUE(logs.holes[0].collar && logs.holes[1].collar);
    EXPECT_EQ(logs.holes[0].collar->y, 1);
    EXPECT_EQ(logs.holes[0].collar->elevation, 100);
    EXPECT_EQ(logs.holes[1].collar->x, 50);
    readCollars("hole,x,y\nBH1,0,0\nBH2,1,1\n", "collars.csv", "hole", logs);
    EXPECT_EQ(logs.holes[1].collar->elevation, 0);
    const Logs inRows = readIntervalLogs("hole,x,y,from,to,class\nBH1,3,4,0,1,a\nBH1,3,4,1,2,b\n", "logs.csv", ColumnNames{}, true);
    EXPECT_EQ(inRows.holes[0].collar->x, 3);
}

TEST(Collars, RefusesRowsItCannotUse) {
    struct Case {
        std::string collars;  // empty: the logs' rows give them
        std::string logs;
        const char* error;
    };
    const Case cases[] = {
        {"hole,x,y\nBH1,0,0\n", logsCsv, "collars.csv: no collar for hole BH2"},
        {"hole,x,y\nBH1,0,0\nBH2,0,0\nBH1,5,5\n", logsCsv, "collars.csv:4:1: hole BH1 is given on line 2 already"},
        {"hole,x\nBH1,0\n", logsCsv, "collars.csv:1: no column \"y\" in the header"},
        {"hole,x,y\nBH1,0,north\n", logsCsv, "collars.csv:2:3: y \"north\" is not a number"},
        {"hole,x,y,elevation\nBH1,0,0,\n", logsCsv, "collars.csv:2:4: elevation \"\" is not a number"},
        {"", "hole,x,y,from,to,class\nBH1,0,0,0,2,a\nBH1,0,5,2,3,b\n", "logs.csv:3:3: hole BH1: y 5 where line 2 gives 0"},
        {"", "hole,x,y,elevation,from,to,class\nBH1,0,0,9,0,2,a\nBH1,0,0,9.5,2,3,b\n",
         "logs.csv:3:4: hole BH1: elevation 9.5 where line 2 gives 9"},
        {"", "hole,x,from,to,class\nBH1,0,0,2,a\n",
         "logs.csv:1: no column \"y\" in the header: lateral curves need each hole's collar, in x and y columns or in "
         "--collars FILE"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal([&] {
                      Logs logs = readIntervalLogs(c.logs, "logs.csv", ColumnNames{}, c.collars.empty());
                      if (!c.collars.empty()) readCollars(c.collars, "collars.csv", "hole", logs);
                  }),
                  c.error)
            << c.collars << c.logs;
    }
}

}  // namespace
}  // namespace reduz::fit
