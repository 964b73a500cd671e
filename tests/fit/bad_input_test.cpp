// Input reduzfit cannot use and command lines it cannot follow, run by the real binary in fresh
// directories: one line on standard error naming the file, line and column (or the usage),
// nothing on standard output, exit status 2, and no file written.

#include <gtest/gtest.h>

#include <string>

#include "fit/fit_run.hpp"

namespace reduz::testing {
namespace {

struct Case {
    const char* input;  // the file's name: a map when it ends in .asc
    std::string text;
    const char* error;  // standard error after "reduzfit: "
};

const char* const header = "hole,from,to,class\n";
const char* const mapHeader = "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";

void expectRefused(const Case& c, const std::vector<std::string>& arguments, const std::string& err) {
    SCOPED_TRACE(c.text);
    const std::map<std::string, std::string> inputs = {{c.input, c.text}};
    const FitRun run = runFit(arguments, inputs);
    EXPECT_EQ(run.result.out, "");
    EXPECT_EQ(run.result.err, err);
    EXPECT_EQ(run.result.status, 2);
    EXPECT_EQ(run.files, inputs);
}

TEST(BadInput, OneLineNamingFileLineAndColumn) {
    const std::string h = header;
    const std::string m = mapHeader;
    const Case cases[] = {
        // the file and its columns
        {"other.csv", "", "logs.csv: No such file or directory"},
        {"logs.csv", "", "logs.csv: no header row: the file is empty"},
        {"logs.csv", "hole,from,to\nA,0,1\n", "logs.csv:1: no column \"class\" in the header"},
        {"logs.csv", "Hole,from,to,class,HOLE\n", "logs.csv:1:5: column \"hole\" appears twice (columns 1 and 5)"},
        {"logs.csv", header, "logs.csv: no intervals after the header"},
        {"logs.csv", (h + "A,0,1,x\nA,1,2\n"), "logs.csv:3:4: 3 values where the header has 4"},
        {"logs.csv", (h + "A,0,1,x,y\n"), "logs.csv:2:5: 5 values where the header has 4"},
        // the values of a row
        {"logs.csv", (h + "A,0,1,x\nA,1O,2,x\n"), "logs.csv:3:2: from \"1O\" is not a number"},
        {"logs.csv", (h + "A,0,,x\n"), "logs.csv:2:3: to \"\" is not a number"},
        {"logs.csv", (h + "A,0,inf,x\n"), "logs.csv:2:3: to \"inf\" is not a number"},
        {"logs.csv", (h + "A,3,2,x\n"), "logs.csv:2:3: to 2 is not above from 3"},
        {"logs.csv", (h + "A,2,2,x\n"), "logs.csv:2:3: to 2 is not above from 2"},
        {"logs.csv", (h + "A,0,1, \n"), "logs.csv:2:4: empty class"},
        {"logs.csv", (h + ",0,1,x\n"), "logs.csv:2:1: empty hole"},
        {"logs.csv", (h + "A,0,1,x\"y\n"),
         "logs.csv:2:4: a quote out of place (a value holding a quote is quoted whole, its quotes doubled)"},
        {"logs.csv", (h + "A,0,1,\"x\n"), "logs.csv:2: the file ends inside a quoted value"},
        // overlaps within a hole name both lines, whatever their order; other holes may overlap
        {"logs.csv", (h + "A,0,2,x\nB,1,3,x\nA,1.5,3,y\n"),
         "logs.csv:4:2: hole A: from 1.5 to 3 overlaps from 0 to 2 on line 2"},
        {"logs.csv", (h + "A,5,9,x\nA,0,10,y\n"), "logs.csv:3:2: hole A: from 0 to 10 overlaps from 5 to 9 on line 2"},
        {"logs.csv", (h + "A,0,1,x\nA,0,1,x\n"), "logs.csv:3:2: hole A: from 0 to 1 overlaps from 0 to 1 on line 2"},
        {"logs.csv", (h + "A,-1e308,1e308,x\n"), "logs.csv: the logged length is too large to measure"},
        // a map's header
        {"map.asc", "", "map.asc: the header has no ncols"},
        {"map.asc", "ncols 2\nnrows 2\nxllcorner 0\ncellsize 1\n1 1\n",
         "map.asc:5:1: the header has no yllcorner or yllcenter"},
        {"map.asc", "ncols 2\nnrows 1.5\n", "map.asc:2:2: nrows \"1.5\" is not a whole number above 0"},
        {"map.asc", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 0\n", "map.asc:5:2: cellsize \"0\" is not a number above 0"},
        {"map.asc", "ncols 2\nnrows 2\nxllcorner west\n", "map.asc:3:2: xllcorner \"west\" is not a number"},
        {"map.asc", "ncols 2\nnrows 2\nxllcorner 0\nxllcenter 0\n", "map.asc:4:1: xllcenter repeats the header line 3"},
        {"map.asc", "ncols 2 3\n", "map.asc:1:3: ncols takes one value"},
        {"map.asc", "ncol 2\n", "map.asc:1:1: \"ncol\" is neither a header key nor a class code"},
        // a map's rows
        {"map.asc", (m + "1 2\n1\n"), "map.asc:8:2: 1 values where ncols is 2"},
        {"map.asc", (m + "1 2 3\n"), "map.asc:7:3: 3 values where ncols is 2"},
        {"map.asc", (m + "1 2\n"), "map.asc:7: the grid ends after 1 of its 2 rows"},
        {"map.asc", (m + "1 2\n1 2\n\n3 3\n"), "map.asc:10:1: more rows than nrows 2"},
        {"map.asc", (m + "1 x\n"), "map.asc:7:2: \"x\" is not a class code"},
        {"map.asc", (m + "1 2.5\n"), "map.asc:7:2: class code \"2.5\" is not a whole number"},
        {"map.asc", (m + "-9999 -9999\n-9999 -9999\n"), "map.asc: every cell is NODATA"},
    };
    for (const Case& c : cases) {
        const bool map = std::string(c.input).ends_with(".asc");
        expectRefused(c, {"measure", map ? "map.asc" : "logs.csv", "--step", "1"},
                      std::string("reduzfit: ") + c.error + "\n");
    }
}

const std::string programUsage =
    "Usage: reduzfit COMMAND [OPTION]...\n  or:  reduzfit INPUT --step S -o DIR [OPTION]...\n"
    "Try 'reduzfit --help' for more information.\n";
const std::string measureUsage =
    "Usage: reduzfit measure INPUT --step S [--lags N] [--direction D] [--columns H,F,T,C] [-o FILE]\n"
    "Try 'reduzfit measure --help' for more information.\n";


struct UsageCase {
    std::vector<std::string> arguments;
    const char* error;
    std::string usage;
};

// The input is read whole before anything is written, but an output over it would lose it.
TEST(BadInput, OutputOverTheInputIsRefused) {
    const UsageCase cases[] = {
        {{"measure", "m.csv", "--step", "1", "-o", "./m.csv"}, "./m.csv: is the input, which would be overwritten", ""},
        {{"measure", "classes.csv", "--step", "1"}, "classes.csv: is the input, which would be overwritten", ""},
    };
    for (const UsageCase& c : cases) {
        const Case logs = {c.arguments[1].c_str(), "hole,from,to,class\nA,0,1,x\n", ""};
        expectRefused(logs, c.arguments, std::string("reduzfit: ") + c.error + "\n");
    }
}

TEST(BadInput, UsageErrorsPrintTheUsage) {
    const UsageCase cases[] = {
        {{}, "no command given (the commands are measure and fit)", programUsage},
        {{"mesure", "logs.csv"}, "unknown command \"mesure\" (the commands are measure and fit)", programUsage},
        {{"--step", "1"}, "unknown option \"--step\" (the commands are measure and fit)", programUsage},
        {{"measure", "--step", "1"}, "INPUT is required", measureUsage},
        {{"measure", "logs.csv"}, "--step is required", measureUsage},
        {{"measure", "logs.csv", "--step"}, "--step needs a value", measureUsage},
        {{"measure", "logs.csv", "more.csv", "--step", "1"}, "unexpected argument \"more.csv\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--lag", "5"}, "unexpected argument \"--lag\"", measureUsage},
        {{"measure", "logs.csv", "--step", "0"}, "--step must be a number above 0, not \"0\"", measureUsage},
        {{"measure", "logs.csv", "--step=-0.5"}, "--step must be a number above 0, not \"-0.5\"", measureUsage},
        {{"measure", "logs.csv", "--step", "nan"}, "--step must be a number above 0, not \"nan\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--lags", "1001"},
         "--lags must be a whole number from 0 to 1000, not \"1001\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--lags", "-1"},
         "--lags must be a whole number from 0 to 1000, not \"-1\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--direction", "sideways"},
         "--direction must be down, up, east, west, north or south, not \"sideways\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--direction", "east"},
         "--direction east is for a map (.asc); logs run down or up", measureUsage},
        {{"measure", "map.asc", "--step", "1", "--direction", "down"},
         "--direction down is for logs; a map runs east, west, north or south", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--columns", "HOLEID,FROM,TO"},
         "--columns takes four different names, HOLE,FROM,TO,CLASS, not \"HOLEID,FROM,TO\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--columns", "A,B,,D"},
         "--columns takes four different names, HOLE,FROM,TO,CLASS, not \"A,B,,D\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--columns", "A,B,C,D,E"},
         "--columns takes four different names, HOLE,FROM,TO,CLASS, not \"A,B,C,D,E\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--columns", "A,depth,Depth,D"},
         "--columns takes four different names, HOLE,FROM,TO,CLASS, not \"A,depth,Depth,D\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "-o", "out/classes.csv"},
         "-o out/classes.csv is where classes.csv is written", measureUsage},
    };
    const Case logs = {"logs.csv", "hole,from,to,class\nA,0,1,x\n", ""};
    for (const UsageCase& c : cases) {
        expectRefused(logs, c.arguments, std::string("reduzfit: ") + c.error + "\n" + c.usage);
    }
}

}  // namespace
}  // namespace reduz::testing
