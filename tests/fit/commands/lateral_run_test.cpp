// Lateral curves between boreholes through the real reduzfit: the shipped example byte for
// byte, the one-go fit of it, and what it refuses, input and command line alike: one line,
// exit status 2, nothing written.

#include <gtest/gtest.h>

#include "fit/fit_run.hpp"

namespace reduz::testing {
namespace {

const std::string folder = std::string(REDUZ_SOURCE_DIR) + "/examples/lateral/";
const std::vector<std::string> exampleOptions = {"boreholes.csv", "--collars",  "collars.csv", "--direction",
                                                 "lateral",       "--step",     "50",          "--lags", "4"};

std::map<std::string, std::string> exampleInputs() {
    return {{"boreholes.csv", readFile(folder + "boreholes.csv")}, {"collars.csv", readFile(folder + "collars.csv")}};
}

// The README's example, run as the README runs it, gives the files shipped beside it; the one-go
// fit measures the same and holds whole holes out to choose its model.
TEST(LateralRun, ShippedExampleAndItsFit) {
    std::vector<std::string> measure = {"measure"};
    measure.insert(measure.end(), exampleOptions.begin(), exampleOptions.end());
    const FitRun run = runFit(measure, exampleInputs());
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.out, readFile(folder + "console.txt"));
    std::map<std::string, std::string> files = exampleInputs();
    files["measured.csv"] = readFile(folder + "measured.csv");
    files["classes.csv"] = readFile(folder + "classes.csv");
    EXPECT_EQ(run.files, files);

    std::vector<std::string> oneGo = exampleOptions;
    oneGo.insert(oneGo.end(), {"-o", "fitted"});
    const FitRun fit = runFit(oneGo, exampleInputs());
    EXPECT_EQ(fit.result.status, 0) << fit.result.err;
    EXPECT_EQ(fit.files.at("fitted/measured.csv"), files["measured.csv"]);
    EXPECT_NE(fit.result.out.find("markov fitted to the curves"), std::string::npos);
    EXPECT_EQ(fit.result.out.find("from the beds"), std::string::npos) << "beds along a hole say nothing of widths";
}

const std::string measureUsage =
    "Usage: reduzfit measure INPUT --step S [--lags N] [--direction D] [--columns H,F,T,C] [-o FILE]\n"
    "Try 'reduzfit measure --help' for more information.\n";

TEST(LateralRun, RefusedWithOneLine) {
    const std::string inRows = "hole,x,y,from,to,class\nA,0,0,0,1,a\nB,10,0,0,1,b\n";
    const std::string plain = "hole,from,to,class\nA,0,1,a\nB,0,1,b\n";
    const std::string map = "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n1\n";
    struct Case {
        std::vector<std::string> options;  // after "measure INPUT --step 10"
        std::string input;                 // logs.csv, or map.asc when it starts with "ncols"
        std::string collars;               // collars.csv when not empty
        std::string err;                   // after "reduzfit: "
    };
    const Case cases[] = {
        {{"--collars", "collars.csv"}, plain, "hole,x,y\nA,0,0\n",
         "--collars is for --direction lateral: the curves between holes\n" + measureUsage},
        {{"--direction", "lateral"}, map, "",
         "--direction lateral is for logs, between holes; a map runs east, west, north or south\n" + measureUsage},
        {{"--direction", "lateral", "--azimuth", "0", "--tolerance", "30", "--dip", "10"}, inRows, "",
         "--dip is for points in space: lateral curves run level\n" + measureUsage},
        {{"--direction", "lateral"}, plain, "",
         "logs.csv:1: no column \"x\" in the header: lateral curves need each hole's collar, in x and y columns or in "
         "--collars FILE"},
        {{"--direction", "lateral", "--collars", "collars.csv"}, plain, "hole,x,y\nA,0,0\n",
         "collars.csv: no collar for hole B"},
        {{"--direction", "lateral", "--collars", "collars.csv"}, plain, "hole,x,y\nA,0,0\nB,1,1\nA,2,2\n",
         "collars.csv:4:1: hole A is given on line 2 already"},
        {{"--direction", "lateral", "--collars", "none.csv"}, plain, "",
         "none.csv: No such file or directory"},
    };
    for (const Case& c : cases) {
        const std::string input = c.input.starts_with("ncols") ? "map.asc" : "logs.csv";
        SCOPED_TRACE(c.err);
        std::map<std::string, std::string> inputs = {{input, c.input}};
        if (!c.collars.empty()) inputs["collars.csv"] = c.collars;
        std::vector<std::string> arguments = {"measure", input, "--step", "10"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const FitRun run = runFit(arguments, inputs);
        EXPECT_EQ(run.result.err, "reduzfit: " + c.err + (c.err.ends_with("\n") ? "" : "\n"));
        EXPECT_EQ(run.result.status, 2);
        EXPECT_EQ(run.result.out, "");
        EXPECT_EQ(run.files, inputs);
    }
}

}  // namespace
}  // namespace reduz::testing
