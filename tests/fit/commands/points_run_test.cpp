// Scattered points through the real reduzfit: the shipped example byte for byte, and what it
// refuses, input and command line alike: one line, exit status 2, nothing written.

#include <gtest/gtest.h>

#include "fit/fit_run.hpp"

namespace reduz::testing {
namespace {

// The README's example, run as the README runs it, gives the files shipped beside it.
TEST(PointsRun, ShippedExample) {
    const std::string folder = std::string(REDUZ_SOURCE_DIR) + "/examples/points/";
    const std::string survey = readFile(folder + "survey.csv");
    const FitRun run = runFit({"measure", "survey.csv", "--step", "10", "--lags", "4"}, {{"survey.csv", survey}});
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.out, readFile(folder + "console.txt"));
    const std::map<std::string, std::string> files = {{"survey.csv", survey},
                                                      {"measured.csv", readFile(folder + "measured.csv")},
                                                      {"classes.csv", readFile(folder + "classes.csv")}};
    EXPECT_EQ(run.files, files);
}

const std::string measureUsage =
    "Usage: reduzfit measure INPUT --step S [--lags N] [--direction D] [--columns H,F,T,C] [-o FILE]\n"
    "Try 'reduzfit measure --help' for more information.\n";
const std::string oneGoUsage =
    "Usage: reduzfit INPUT --step S -o DIR [--lags N] [--direction D] [--columns H,F,T,C] [--family NAME] [--folds N] [--shapes LIST] [--background CLASS] [--sill RULE]\n"
    "Try 'reduzfit --help' for more information.\n";

TEST(PointsRun, RefusedWithOneLine) {
    const std::string plane = "x,y,class\n0,0,a\n1,0,b\n";
    const std::string logs = "hole,from,to,class\nA,0,1,a\n";
    const std::string map = "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n1\n";
    struct Case {
        std::vector<std::string> options;  // after "measure INPUT --step 1"
        std::string input;                 // p.csv, or map.asc when it starts with "ncols"
        std::string err;                   // after "reduzfit: "
    };
    const std::vector<std::string> cone = {"--azimuth", "90", "--tolerance", "30"};
    const Case cases[] = {
        {{}, "x,y,class\n0,1O,a\n", "p.csv:2:2: y \"1O\" is not a number"},
        {{"--columns", "x=E,y=N,class=lith"}, plane, "p.csv:1: no column \"E\" in the header"},
        {{"--azimuth", "0", "--tolerance", "30", "--dip", "45"}, plane,
         "p.csv:1: --dip needs a z column: these points lie in a plane (x, y)"},
        {{"--direction", "up"}, plane,
         "p.csv: --direction up is for logs and maps; points are measured in every direction, or along --azimuth"},
        {cone, logs,
         "p.csv: --azimuth is for scattered points (a header of x, y and class, or --columns x=NAME,y=NAME,class=NAME) "
         "and lateral curves between holes; "
         "logs run down or up, a map east, west, north or south"},
        {cone, map,
         "map.asc: --azimuth is for scattered points (a header of x, y and class, or --columns x=NAME,y=NAME,class=NAME) "
         "and lateral curves between holes; "
         "logs run down or up, a map east, west, north or south"},
        {{}, "x,y,class\n1e16,0,a\n",
         "p.csv: doubles at 1e+16 are 2 apart, too far for lags of 1 (give the coordinates from a nearby origin)"},
        // the lags' usage, which measure tells before it reads anything
        {{"--tolerance", "30"}, plane, "--tolerance needs --azimuth, the direction it stands off\n" + measureUsage},
        {{"--dip", "30"}, plane, "--dip needs --azimuth and --tolerance\n" + measureUsage},
        {{"--azimuth", "90"}, plane, "--azimuth needs --tolerance, the most degrees a pair may stand off it\n" + measureUsage},
        {{"--azimuth", "360", "--tolerance", "30"}, plane,
         "--azimuth must be a number of degrees clockwise from north, from 0 up to 360, not \"360\"\n" + measureUsage},
        {{"--azimuth", "0", "--tolerance", "0"}, plane,
         "--tolerance must be a number of degrees above 0, up to 90, not \"0\"\n" + measureUsage},
        {{"--azimuth", "0", "--tolerance", "90.5"}, plane,
         "--tolerance must be a number of degrees above 0, up to 90, not \"90.5\"\n" + measureUsage},
        {{"--azimuth", "0", "--tolerance", "9", "--dip", "nan"}, plane,
         "--dip must be a number of degrees below the horizontal, from -90 to 90, not \"nan\"\n" + measureUsage},
        {{"--azimuth", "0", "--tolerance", "9", "--direction", "east"}, plane,
         "--direction east and --azimuth: --azimuth is for points and --direction lateral\n" + measureUsage},
        {{"--columns", "x=E,q=N"}, plane,
         "--columns for points takes x=NAME,y=NAME,class=NAME and optionally z=NAME, not \"x=E,q=N\"\n" + measureUsage},
        {{"--columns", "x=y"}, plane,
         "--columns for points takes x=NAME,y=NAME,class=NAME and optionally z=NAME, not \"x=y\"\n" + measureUsage},
    };
    for (const Case& c : cases) {
        const std::string input = c.input.starts_with("ncols") ? "map.asc" : "p.csv";
        SCOPED_TRACE(c.err);
        std::vector<std::string> arguments = {"measure", input, "--step", "1"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const std::map<std::string, std::string> inputs = {{input, c.input}};
        const FitRun run = runFit(arguments, inputs);
        EXPECT_EQ(run.result.out, "");
        EXPECT_EQ(run.result.err, "reduzfit: " + c.err + (c.err.ends_with("\n") ? "" : "\n"));
        EXPECT_EQ(run.result.status, 2);
        EXPECT_EQ(run.files, inputs);
    }
}

// The one-go fit holds out whole holes, which points do not have, along a cone or not.
TEST(PointsRun, OneGoFitRefusesPoints) {
    const std::map<std::string, std::string> inputs = {{"p.csv", "x,y,class\n0,0,a\n1,0,b\n"}};
    const FitRun points = runFit({"p.csv", "--step", "1", "-o", "fitted"}, inputs);
    EXPECT_EQ(points.result.err, "reduzfit: p.csv: holds scattered points, which are measured alone: 'reduzfit "
                                 "measure', then 'reduzfit fit' of its measured.csv\n");
    EXPECT_EQ(points.result.status, 2);
    EXPECT_EQ(points.files, inputs);
    const FitRun cone = runFit({"p.csv", "--step", "1", "-o", "fitted", "--azimuth", "0", "--tolerance", "10"}, inputs);
    EXPECT_EQ(cone.result.err, points.result.err);
    EXPECT_EQ(cone.result.status, 2);
}

}  // namespace
}  // namespace reduz::testing
