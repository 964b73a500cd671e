// The gnuplot script plot/reduzmodel.gp run as its users run it, where gnuplot is installed:
// a report it cannot draw ends it with status 1 before any picture is begun, a report it draws
// is titled with the model's label and the values of the report's parameter line, and a
// report's file name is never a command, an option or an assignment to the tools it runs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

const std::string script = std::string(REDUZ_SOURCE_DIR) + "/plot/reduzmodel.gp";

std::string example(const std::string& name) {
    return std::string(REDUZ_SOURCE_DIR) + "/examples/" + name + "/ReduzModel.txt";
}

ShellResult plot(const std::string& reports, const std::string& output) {
    return runShell("gnuplot -e \"report='" + reports + "'; output='" + output + "'\" '" + script + "' 2>&1");
}

TEST(PlotScript, AReportItCannotDrawLeavesNoPicture) {
    if (!installed("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    ScratchDir dir;
    writeFile(dir.file("notes.txt"), "sill 0.25, range 25\n");
    struct Case {
        std::string reports;
        std::string refused;
    };
    const Case cases[] = {
        {dir.file("ReduzModel.txt"), dir.file("ReduzModel.txt")},               // missing
        {dir.file("notes.txt"), dir.file("notes.txt")},                         // no report
        {example("auto-1-linear") + " " + dir.file("gone.txt"), dir.file("gone.txt")},  // one of two
    };
    for (const Case& c : cases) {
        for (const char* picture : {"chart.png", "chart.svg"}) {
            const ShellResult run = plot(c.reports, dir.file(picture));
            EXPECT_EQ(run.status, 1) << c.reports;
            EXPECT_EQ(run.output, "reduzmodel.gp: '" + c.refused + "' is missing, unreadable or not a reduzmodel report\n");
            EXPECT_FALSE(fileExists(dir.file(picture))) << c.reports << " -> " << picture;
        }
    }
}

TEST(PlotScript, TitlesCarryTheParameterValues) {
    if (!installed("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    ScratchDir dir;
    // Zeros and negative values, as the program writes them (".0000", "-.5000").
    writeFile(dir.file("zeros.txt"), runWithParameters("1 1\n0 0\n3\n").report);
    writeFile(dir.file("negative.txt"), runWithParameters("8 1\n-0.5 10\n3\n", "-1.5 2\n").report);
    struct Case {
        std::string reports;
        std::vector<std::string> titles;
    };
    const Case cases[] = {
        {example("auto-8-power"), {"8-Power: sill 0.25, range 25, slope 0.1, power 0.5"}},
        // The label the report wraps onto a second line.
        {example("cross-7-dampened-hole-effect"),
         {"7-Dampened hole effect (cos exp): sill 0.25, range 25, half wave length 12.5"}},
        {example("cross-12-test-gamma"), {"12-Test Gamma: range 25, alfa 2, beta 1"}},
        {example("wrong-input"), {"WRONG INPUT"}},
        {dir.file("zeros.txt"), {"1-Linear: sill 0, range 0"}},
        {dir.file("negative.txt"), {"8-Power: sill -0.5, range 10, slope -1.5, power 2"}},
        // Several reports: each curve's entry in the key.
        {example("cross-9-gamma-exp") + " " + example("auto-5-nugget"),
         {"9-Gamma-exp: sill 0.25, range 25, alfa 2, beta 1, weight 1", "5-Nugget for proportion line: sill 0.25"}},
    };
    for (const Case& c : cases) {
        const ShellResult run = plot(c.reports, dir.file("chart.svg"));
        EXPECT_EQ(run.status, 0) << c.reports << "\n" << run.output;
        const std::string svg = readFile(dir.file("chart.svg"));
        for (const std::string& title : c.titles) {
            EXPECT_NE(svg.find("<text>" + title + "</text>"), std::string::npos) << title;
        }
    }
}

TEST(PlotScript, AFileNameIsOnlyAName) {
    if (!installed("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    const std::string gnuplot = runShell("command -v gnuplot").output;
    const std::string report = readFile(example("auto-8-power"));
    for (const std::string name : {"x';touch${IFS}RAN;'.txt", "-n.txt", "label=x.txt"}) {
        SCOPED_TRACE(name);
        ScratchDir dir;
        writeFile(dir.file(name), report);
        const RunResult run = runCommand(gnuplot.substr(0, gnuplot.find('\n')),
                                         {"-e", "report = \"" + name + "\"; output = 'chart.svg'", script}, dir.path);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(fileExists(dir.file("RAN")));
        const std::string svg = readFile(dir.file("chart.svg"));
        EXPECT_NE(svg.find("<text>8-Power: sill 0.25, range 25, slope 0.1, power 0.5</text>"), std::string::npos);
        EXPECT_NE(svg.find("<path"), std::string::npos) << "no curve";
    }
}

}  // namespace
}  // namespace reduz::testing
