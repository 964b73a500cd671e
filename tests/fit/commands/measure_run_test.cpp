// Whole runs of the real reduzfit in fresh directories: the files it writes and its console,
// byte for byte, and what it leaves behind when the files cannot be written.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "fit/fit_run.hpp"

namespace reduz::testing {
namespace {

const std::string twoIntervals = "hole,from,to,class\nBH1,0,2,sand\nBH1,2,5,\"silt, clayey\"\n";
const std::vector<std::string> measureTwo = {"measure", "logs.csv", "--step", "1", "--lags", "3"};

const std::string measuredTwo =
    "lag,distance,from,to,probability,support,length,direction,max_lag\n"
    "0,0,sand,sand,1,2,2,down,3\n0,0,sand,\"silt, clayey\",0,2,0,down,3\n"
    "0,0,\"silt, clayey\",sand,0,3,0,down,3\n0,0,\"silt, clayey\",\"silt, clayey\",1,3,3,down,3\n"
    "1,1,sand,sand,0.5,2,1,down,3\n1,1,sand,\"silt, clayey\",0.5,2,1,down,3\n"
    "1,1,\"silt, clayey\",sand,0,2,0,down,3\n1,1,\"silt, clayey\",\"silt, clayey\",1,2,2,down,3\n"
    "2,2,sand,sand,0,2,0,down,3\n2,2,sand,\"silt, clayey\",1,2,2,down,3\n"
    "2,2,\"silt, clayey\",sand,0,1,0,down,3\n2,2,\"silt, clayey\",\"silt, clayey\",1,1,1,down,3\n"
    "3,3,sand,sand,0,2,0,down,3\n3,3,sand,\"silt, clayey\",1,2,2,down,3\n";
const std::string classesTwo = "class,proportion,length,runs,mean_length\nsand,0.4,2,1,2\n\"silt, clayey\",0.6,3,1,3\n";

TEST(MeasureRun, FilesAndSummary) {
    const FitRun run = runFit(measureTwo, {{"logs.csv", twoIntervals}});
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.out,
              "input          logs.csv\nholes          1\nintervals      2\nclasses        2\n"
              "logged length  5\nlags           0 to 3 by 1, down\nwritten        measured.csv, classes.csv\n");
    const std::map<std::string, std::string> files = {
        {"logs.csv", twoIntervals}, {"measured.csv", measuredTwo}, {"classes.csv", classesTwo}};
    EXPECT_EQ(run.files, files);
}

TEST(MeasureRun, OutputBesideTheNamedFileReplacingOlderOnes) {
    std::vector<std::string> arguments = measureTwo;
    arguments.insert(arguments.end(), {"-o", "out/two.csv"});
    const FitRun run = runFit(arguments, {{"logs.csv", twoIntervals}, {"out/", ""}, {"out/classes.csv", "older\n"}});
    EXPECT_EQ(run.result.status, 0);
    const std::map<std::string, std::string> files = {
        {"logs.csv", twoIntervals}, {"out/two.csv", measuredTwo}, {"out/classes.csv", classesTwo}};
    EXPECT_EQ(run.files, files);
}

// The README's example, run as the README runs it, gives the files shipped beside it.
TEST(MeasureRun, ShippedExample) {
    const std::string folder = std::string(REDUZ_SOURCE_DIR) + "/examples/logs/";
    const std::string logs = readFile(folder + "boreholes.csv");
    const FitRun run = runFit({"measure", "boreholes.csv", "--step", "0.5", "--lags", "20"}, {{"boreholes.csv", logs}});
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.out, readFile(folder + "console.txt"));
    const std::map<std::string, std::string> files = {{"boreholes.csv", logs},
                                                      {"measured.csv", readFile(folder + "measured.csv")},
                                                      {"classes.csv", readFile(folder + "classes.csv")}};
    EXPECT_EQ(run.files, files);
}

TEST(MeasureRun, HelpAndVersionOnStandardOutput) {
    struct Case {
        std::vector<std::string> arguments;
        std::string start;
    };
    const Case cases[] = {
        {{"--help"}, "Usage: reduzfit COMMAND [OPTION]...\n"},
        {{"-h"}, "Usage: reduzfit COMMAND [OPTION]...\n"},
        {{"measure", "--help"}, "Usage: reduzfit measure INPUT --step S [OPTION]...\n"},
        {{"measure", "logs.csv", "--step", "0", "-h"}, "Usage: reduzfit measure INPUT --step S [OPTION]...\n"},
        {{"--version"}, "reduzfit (reduzmodel) 1.0.0\n"},
    };
    for (const Case& c : cases) {
        const FitRun run = runFit(c.arguments, {});
        EXPECT_EQ(run.result.status, 0) << c.arguments[0];
        EXPECT_EQ(run.result.err, "");
        EXPECT_EQ(run.result.out.substr(0, c.start.size()), c.start);
        EXPECT_TRUE(run.files.empty());
    }
}

// Real faults: a full file-size limit, a directory where a file goes, a directory that cannot
// be written. The older files stay as they were and no temporary file is left.
TEST(MeasureRun, UnwritableOutputLeavesNothing) {
    const std::map<std::string, std::string> older = {
        {"logs.csv", twoIntervals}, {"measured.csv", "older\n"}, {"classes.csv", "older\n"}};
    RunOptions limited;
    limited.fileSizeLimit = 100;
    const FitRun tooLarge = runFit(measureTwo, older, limited);
    EXPECT_EQ(tooLarge.result.status, 1);
    EXPECT_EQ(tooLarge.result.out, "");
    EXPECT_EQ(tooLarge.result.err, "reduzfit: cannot write measured.csv: File too large\n");
    EXPECT_EQ(tooLarge.files, older);

    std::vector<std::string> intoDirectory = measureTwo;
    intoDirectory.insert(intoDirectory.end(), {"-o", "out"});
    const FitRun directory = runFit(intoDirectory, {{"logs.csv", twoIntervals}, {"out/", ""}});
    EXPECT_EQ(directory.result.status, 1);
    EXPECT_EQ(directory.result.err, "reduzfit: cannot replace out: Is a directory\n");
    EXPECT_EQ(directory.files, (std::map<std::string, std::string>{{"logs.csv", twoIntervals}}));

    // both files or neither: a directory where the second goes is found before the first is replaced
    const FitRun classesDirectory = runFit(measureTwo, {{"logs.csv", twoIntervals}, {"measured.csv", "older\n"}, {"classes.csv/", ""}});
    EXPECT_EQ(classesDirectory.result.status, 1);
    EXPECT_EQ(classesDirectory.result.err, "reduzfit: cannot replace classes.csv: Is a directory\n");
    EXPECT_EQ(classesDirectory.files, (std::map<std::string, std::string>{{"logs.csv", twoIntervals}, {"measured.csv", "older\n"}}));

    const FitRun denied = runFit(measureTwo, older, asNobody(),
                                 [](const ScratchDir& dir) { ASSERT_EQ(::chmod(dir.path.c_str(), 0555), 0); });
    EXPECT_EQ(denied.result.status, 1);
    EXPECT_EQ(denied.result.err, "reduzfit: cannot create measured.csv: Permission denied\n");
    EXPECT_EQ(denied.files, older);
}

// A console that has gone away: the files are written, and the status says the summary was lost.
TEST(MeasureRun, ClosedConsoleStillWritesTheFiles) {
    RunOptions closed;
    closed.outputsClosed = true;
    const FitRun run = runFit(measureTwo, {{"logs.csv", twoIntervals}}, closed);
    EXPECT_EQ(run.result.status, 1);
    EXPECT_EQ(run.files.at("measured.csv"), measuredTwo);
    EXPECT_EQ(run.files.at("classes.csv"), classesTwo);
}

}  // namespace
}  // namespace reduz::testing
