// Input reduzfit cannot use and command lines it cannot follow, run by the real binary in fresh
// directories: one line on standard error naming the file, line and column (or the usage),
// nothing on standard output, exit status 2, and no file written.

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

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
    // The readers' own cases are in their tests; here, one of each reader as the binary tells it.
    const Case cases[] = {
        {"other.csv", "", "logs.csv: No such file or directory"},
        {"logs.csv", (h + "A,0,1,x\nA,1O,2,x\n"), "logs.csv:3:2: from \"1O\" is not a number"},
        {"logs.csv", (h + "A,0,2,x\nB,1,3,x\nA,1.5,3,y\n"),
         "logs.csv:4:2: hole A: from 1.5 to 3 overlaps from 0 to 2 on line 2"},
        {"logs.csv", (h + "A,-1e308,1e308,x\n"),
         "logs.csv: hole A: doubles at 1e+308 are 1.99584030953472e+292 apart, too far for lags of 1 (give the depths "
         "from the hole's top)"},
        {"map.asc", "ncols 2\nnrows 1.5\n", "map.asc:2:2: nrows \"1.5\" is not a whole number above 0"},
        {"map.asc", (m + "1 x\n"), "map.asc:7:2: \"x\" is not a class code"},
        // a lag finer than the doubles where the hole lies, which would be measured wrong
        {"logs.csv", (h + "A,1e16,10000000000000008,a\nA,10000000000000008,10000000000000010,b\n"),
         "logs.csv: hole A: doubles at 10000000000000010 are 2 apart, too far for lags of 1 (give the depths from the "
         "hole's top)"},
        // where a fault is: the line a quote opens on, lines ended by CR alone, a grid's missing row
        {"logs.csv", (h + "A,0,\"1\nA,1,2,x\nA,2,3,x\n"), "logs.csv:2:3: the quoted value that opens here is never closed"},
        {"logs.csv", "hole,from,to,class\rA,0,1,x\rA,1O,2,x\r", "logs.csv:3:2: from \"1O\" is not a number"},
        {"map.asc", (m + "1 2\n"), "map.asc:8:1: the grid ends after 1 of its 2 rows"},
        // a report is one whole line, whatever bytes the value holds
        {"logs.csv", (h + std::string("A,0,1\0 2,x\n", 11)), "logs.csv:2:3: to \"1\\x00 2\" is not a number"},
        {"map.asc", (m + "1 18446744073709551617\n"),
         "map.asc:7:2: class code \"18446744073709551617\" is beyond the 64-bit whole numbers"},
    };
    for (const Case& c : cases) {
        const bool map = std::string(c.input).ends_with(".asc");
        expectRefused(c, {"measure", map ? "map.asc" : "logs.csv", "--step", "1"},
                      std::string("reduzfit: ") + c.error + "\n");
    }
}

// Input read right however it is written: whole codes beyond a double's integers stay apart,
// and a number too small for a double is 0.
TEST(BadInput, CarelessInputMeasuredRight) {
    struct Right {
        const char* input;
        std::string text;
        std::string classes;  // classes.csv
    };
    const Right cases[] = {
        {"map.asc",
         "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n9007199254740992 9007199254740993\n",
         "class,proportion,length,runs,mean_length\n9007199254740992,0.5,1,1,1\n9007199254740993,0.5,1,1,1\n"},
        {"logs.csv", "hole,from,to,class\nA,1e-400,1,x\n", "class,proportion,length,runs,mean_length\nx,1,1,1,1\n"},
    };
    for (const Right& c : cases) {
        SCOPED_TRACE(c.text);
        const FitRun run = runFit({"measure", c.input, "--step", "1", "--lags", "1"}, {{c.input, c.text}});
        EXPECT_EQ(run.result.err, "");
        EXPECT_EQ(run.result.status, 0);
        EXPECT_EQ(run.files.count("classes.csv") ? run.files.at("classes.csv") : "", c.classes);
    }
}

// Work beyond what a run can hold is refused before it starts, with the classes and pairs it
// would take: a device read for ever, a file past 2 GiB, a table past its capacity.
TEST(BadInput, TooMuchWorkIsRefusedBeforeItStarts) {
    std::string manyClasses = "hole,from,to,class\n";  // 500 classes
    for (int c = 0; c < 500; ++c) manyClasses += "A," + std::to_string(c) + "," + std::to_string(c + 1) + ",c" + std::to_string(c) + "\n";
    std::string tooManyToFit = "lag,distance,from,to,probability\n1,1,c0,c0,1\n";  // class 257 on line 258
    for (int c = 1; c < 300; ++c) tooManyToFit += "1,1,c" + std::to_string(c) + ",c" + std::to_string(c) + ",1\n";
    std::string tooLongToFit = "lag,distance,from,to,probability\n1000,1000,c0,c0,1\n";
    for (int c = 1; c < 120; ++c) tooLongToFit += "1,1,c" + std::to_string(c) + ",c0,1\n";
    // A file of 3 GiB that holds no data, out of the run's directory, which is read back whole.
    ScratchDir elsewhere;
    const std::string huge = elsewhere.file("huge.csv");
    writeFile(huge, "");
    ASSERT_EQ(::truncate(huge.c_str(), 3LL << 30), 0);
    struct Large {
        std::vector<std::string> arguments;
        std::map<std::string, std::string> inputs;
        std::string error;
    };
    const Large cases[] = {
        {{"measure", "/dev/zero", "--step", "1"}, {}, "/dev/zero: is a device, not a file of data"},
        {{"measure", huge, "--step", "1"}, {}, huge + ": is larger than 2 GiB, the most reduzfit reads"},
        {{"measure", "logs.csv", "--step", "1"}, {{"logs.csv", manyClasses}},
         "logs.csv: 500 classes make 250000 pairs: at 101 lags, 25250000 values, more than the 16777216 a measurement "
         "holds (fewer --lags take more classes)"},
        {{"fit", "m.csv", "-o", "fitted"}, {{"m.csv", tooManyToFit}},
         "m.csv:258:3: class \"c256\" is one more than the 256 classes (65536 pairs) a fit takes"},
        {{"fit", "m.csv", "-o", "fitted"}, {{"m.csv", tooLongToFit}},
         "m.csv: 120 classes are more than the 16 a valid model is fitted for (--family independent fits each pair alone)"},
        {{"fit", "m.csv", "--family", "independent", "-o", "fitted"}, {{"m.csv", tooLongToFit}},
         "m.csv: 120 classes make 14400 pairs: with their candidate shapes at lags 0 to 1000, 158198040 fitted values, "
         "more than the 134217728 a fit holds (--max-lag or --shapes fits fewer)"},
    };
    for (const Large& c : cases) {
        SCOPED_TRACE(c.error);
        const FitRun run = runFit(c.arguments, c.inputs);
        EXPECT_EQ(run.result.out, "");
        EXPECT_EQ(run.result.err, "reduzfit: " + c.error + "\n");
        EXPECT_EQ(run.result.status, 2);
        EXPECT_EQ(run.files, c.inputs);
    }
}

const std::string programUsage =
    "Usage: reduzfit COMMAND [OPTION]...\n  or:  reduzfit INPUT --step S -o DIR [OPTION]...\n"
    "Try 'reduzfit --help' for more information.\n";
const std::string fitUsage =
    "Usage: reduzfit fit MEASURED -o DIR [--family NAME] [--shapes LIST] [--background CLASS] [--sill RULE] [--classes FILE] [--max-lag N]\n"
    "Try 'reduzfit fit --help' for more information.\n";
const std::string oneGoUsage =
    "Usage: reduzfit INPUT --step S -o DIR [--lags N] [--direction D] [--columns H,F,T,C] [--family NAME] [--folds N] [--shapes LIST] [--background CLASS] [--sill RULE]\n"
    "Try 'reduzfit --help' for more information.\n";
const std::string measureUsage =
    "Usage: reduzfit measure INPUT --step S [--lags N] [--direction D] [--columns H,F,T,C] [-o FILE]\n"
    "Try 'reduzfit measure --help' for more information.\n";


// Measured curves a fit cannot use, and the classes' proportions it needs for --sill proportion:
// the reader's own cases are in its test.
TEST(BadInput, MeasuredCurvesAFitCannotUse) {
    const std::string h = "lag,distance,from,to,probability,support\n";
    const std::string good = h + "0,0,a,a,1,2\n1,1,a,a,0.5,2\n";
    struct FitCase {
        std::map<std::string, std::string> inputs;
        std::vector<std::string> options;
        const char* error;
    };
    const FitCase cases[] = {
        {{}, {}, "measured.csv: No such file or directory"},
        {{{"measured.csv", good + "2,2,a,a,1.5,2\n"}}, {}, "measured.csv:4:5: probability 1.5 is outside 0 to 1"},
        {{{"measured.csv", h + "0,0,a,a,1,2\n2,2,a,a,1,2\n"}}, {"--max-lag", "1"}, "measured.csv: no lag from 1 to 1"},
        {{{"measured.csv", good}}, {"--sill", "proportion"}, "classes.csv: No such file or directory"},
        {{{"measured.csv", good}, {"classes.csv", "class,proportion\nb,1\n"}}, {"--sill", "proportion"},
         "classes.csv: no class \"a\""},
        {{{"measured.csv", good}, {"p.csv", "class,share\n"}}, {"--classes", "p.csv"}, "p.csv:1: no column \"proportion\" in the header"},
        {{{"measured.csv", good}, {"classes.csv", "class,proportion\na,1\na,0.5\n"}}, {"--sill", "proportion"},
         "classes.csv:3:1: class \"a\" is given on line 2 already"},
        {{{"measured.csv", good}}, {"--background", "gneiss"}, "measured.csv: --background gneiss is not one of the classes"},
        {{{"measured.csv", good}}, {"--family", "shapes", "--shapes", "5,8"},
         "measured.csv: --shapes names none of the shapes family's cross shapes (1 to 4, 7, 9 to 11)"},
        {{{"measured.csv", good}}, {"--family", "shapes", "--shapes", "9", "--background", "a"},
         "measured.csv: --shapes names none of the shapes family's auto shapes (1 to 4, 7)"},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.error);
        std::vector<std::string> arguments = {"fit", "measured.csv", "-o", "fitted"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const FitRun run = runFit(arguments, c.inputs);
        EXPECT_EQ(run.result.out, "");
        EXPECT_EQ(run.result.err, std::string("reduzfit: ") + c.error + "\n");
        EXPECT_EQ(run.result.status, 2);
        EXPECT_EQ(run.files, c.inputs);
    }
}

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
        {{}, "no command given (the commands are measure, merge, fit and simulate)", programUsage},
        {{"mesure", "logs.csv"}, "unknown command \"mesure\" (the commands are measure, merge, fit and simulate)", programUsage},
        {{"--step", "1"}, "unknown option \"--step\" (the commands are measure, merge, fit and simulate)", programUsage},
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
        {{"measure", "logs.csv", "--step", "1e308"}, "--step 1e308 puts lag 100 beyond the largest number", measureUsage},
        {{"logs.csv", "--step", "1e306", "--lags", "1000", "-o", "d"},
         "--step 1e306 puts lag 1000 beyond the largest number", oneGoUsage},
        {{"measure", "logs.csv", "--step", "1", "--direction", "sideways"},
         "--direction must be down, up, lateral, east, west, north or south, not \"sideways\"", measureUsage},
        {{"measure", "logs.csv", "--step", "1", "--direction", "east"},
         "--direction east is for a map (.asc, .tif); logs run down or up", measureUsage},
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
        {{"fit"}, "MEASURED is required", fitUsage},
        {{"fit", "m.csv"}, "-o DIR is needed: the directory the fit is written to", fitUsage},
        {{"fit", "m.csv", "-o", "d", "--shapes", "3,13"},
         "--shapes takes best or model numbers from 1 to 12 joined by commas, not \"3,13\"", fitUsage},
        {{"fit", "m.csv", "-o", "d", "--shapes", "3,"},
         "--shapes takes best or model numbers from 1 to 12 joined by commas, not \"3,\"", fitUsage},
        {{"fit", "m.csv", "-o", "d", "--sill", "half"}, "--sill must be free or proportion, not \"half\"", fitUsage},
        {{"fit", "m.csv", "-o", "d", "--max-lag", "0"}, "--max-lag must be a whole number from 1 to 1000, not \"0\"",
         fitUsage},
        {{"fit", "m.csv", "-o", "d", "--step", "1"}, "unexpected argument \"--step\"", fitUsage},
        {{"fit", "m.csv", "-o", "d", "--family", "gamma"},
         "--family must be shapes, markov, semi-markov or independent, not \"gamma\"", fitUsage},
        {{"fit", "m.csv", "-o", "d", "--sill", "free"},
         "--sill free needs --family independent: a valid model's sills are the classes' proportions", fitUsage},
        {{"fit", "m.csv", "-o", "d", "--family", "markov", "--background", "sand"},
         "--background names the class the shapes family infers; it needs the shapes family", fitUsage},
        {{"fit", "m.csv", "-o", "d", "--folds", "3"}, "unexpected argument \"--folds\"", fitUsage},
        {{"logs.csv", "--step", "1", "-o", "d", "--folds", "1"},
         "--folds must be a whole number from 2 to 100, not \"1\"", oneGoUsage},
        {{"logs.csv", "--step", "1"}, "-o DIR is needed: the directory the fit is written to", oneGoUsage},
        {{"logs.csv", "--step", "1", "-o", "d", "--lags", "0"},
         "--lags must be a whole number from 1 to 1000 for a fit, not \"0\"", oneGoUsage},
        {{"logs.csv", "--step", "0", "-o", "d"}, "--step must be a number above 0, not \"0\"", oneGoUsage},
        {{"logs.csv", "--step", "1", "-o", "d", "--max-lag", "5"}, "unexpected argument \"--max-lag\"", oneGoUsage},
    };
    const Case logs = {"logs.csv", "hole,from,to,class\nA,0,1,x\n", ""};
    for (const UsageCase& c : cases) {
        expectRefused(logs, c.arguments, std::string("reduzfit: ") + c.error + "\n" + c.usage);
    }
}

}  // namespace
}  // namespace reduz::testing
