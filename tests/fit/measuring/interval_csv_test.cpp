// The interval-log reader: what it makes of a hole's rows, and the rows it refuses, each told at
// its line and column.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fit/base/number_text.hpp"
#include "fit/measuring/interval_csv.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

using testing::refusal;

const std::string header = "hole,from,to,class\n";

TEST(IntervalLogs, RefusesRowsItCannotUse) {
    struct Case {
        std::string text;
        const char* error;
        ColumnNames columns = {};
    };
    const Case cases[] = {
        {header, "logs.csv: no intervals after the header"},
        {header + "\n,,,\n", "logs.csv: no intervals after the header"},
        {"hole,from,to\nA,0,1\n", "logs.csv:1: no column \"class\" in the header"},
        {header + "A,0,1,x\nA,1O,2,x\n", "logs.csv:3:2: from \"1O\" is not a number"},
        {header + "A,0,,x\n", "logs.csv:2:3: to \"\" is not a number"},
        {header + "A,3,2,x\n", "logs.csv:2:3: to 2 is not above from 3"},
        {header + "A,2,2,x\n", "logs.csv:2:3: to 2 is not above from 2"},
        {header + "A,0,1, \n", "logs.csv:2:4: empty class"},
        {header + ",0,1,x\n", "logs.csv:2:1: empty hole"},
        // the columns' own names, wherever they stand
        {"Lith,Base,Top,BH\nx,1,2,A\n", "logs.csv:2:2: Base 1 is not above Top 2", {"BH", "Top", "Base", "Lith"}},
        // overlaps within a hole name both lines, whatever their order; other holes may overlap
        {header + "A,0,2,x\nB,1,3,x\nA,1.5,3,y\n", "logs.csv:4:2: hole A: from 1.5 to 3 overlaps from 0 to 2 on line 2"},
        {header + "A,5,9,x\nA,0,10,y\n", "logs.csv:3:2: hole A: from 0 to 10 overlaps from 5 to 9 on line 2"},
        {header + "A,0,1,x\nA,0,1,x\n", "logs.csv:3:2: hole A: from 0 to 1 overlaps from 0 to 1 on line 2"},
        {header + "A,0,4,x\nA,6,8,x\nA,1,2,y\nA,7,9,y\n", "logs.csv:4:2: hole A: from 1 to 2 overlaps from 0 to 4 on line 2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal([&] { readIntervalLogs(c.text, "logs.csv", c.columns); }), c.error) << c.text;
    }
}

// Runs in order along each hole, a class's contiguous intervals joined, a gap ending a run.
TEST(IntervalLogs, JoinsIntervalsIntoRuns) {
    const Logs logs = readIntervalLogs(header + "B,4,5,sand\nA,2,5,clay\nA,0,2,sand\nB,0,2,sand\nB,2,3,sand\n",
                                       "logs.csv", ColumnNames{});
    EXPECT_EQ(logs.classes, (std::vector<std::string>{"sand", "clay"}));
    EXPECT_EQ(logs.intervals, 5);
    ASSERT_EQ(logs.holes.size(), 2u);
    const auto runs = [](const Hole& hole) {
        std::string text;
        for (const fit::Run& run : hole.runs) {
            text += shortest(run.from) + "-" + shortest(run.to) + ":" + std::to_string(run.code) + " ";
        }
        return text;
    };
    EXPECT_EQ(runs(logs.holes[0]), "0-3:0 4-5:0 ");  // B, first in the file
    EXPECT_EQ(runs(logs.holes[1]), "0-2:0 2-5:1 ");
}

}  // namespace
}  // namespace reduz::fit
