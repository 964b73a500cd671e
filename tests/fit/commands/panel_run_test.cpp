// Whole runs of the real reduzfit's fit whose panel gnuplot must not draw as told: names that
// would be commands to it, pairs with nothing to draw, more classes than a picture holds.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fit/fit_run.hpp"

namespace reduz::testing {
namespace {

std::string csvQuoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// A class name reaches panel.gp as data: gnuplot runs no command from it, and shows it as it is.
TEST(PanelRun, ClassNamesAreNeverRunByGnuplot) {
    struct Case {
        std::string name;
        std::string label;  // its row's label in panel.gp
    };
    const Case cases[] = {
        {"`touch RAN`", R"(set ylabel "\140touch RAN\140\nsum off 1 by 0.0000")"},
        {"'`touch RAN`' \"`touch RAN`\"", R"(set ylabel "'\140touch RAN\140' \"\140touch RAN\140\"\nsum off 1 by 0.0000")"},
        {"@output system(\"touch RAN\") # x", R"(set ylabel "\100output system(\"touch RAN\") # x\nsum off 1 by 0.0000")"},
        {"back\\slash \\` \\", R"(set ylabel "back\\slash \\\140 \\\nsum off 1 by 0.0000")"},
        {"two\n`touch RAN`", R"(set ylabel "two\n\140touch RAN\140\nsum off 1 by 0.0000")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string n = csvQuoted(c.name);
        ScratchDir dir;
        writeFile(dir.file("measured.csv"), "lag,distance,from,to,probability\n0,0," + n + "," + n + ",1\n1,1," + n + "," + n + ",1\n");
        const RunResult run = runCommand(REDUZFIT_BINARY, {"fit", "measured.csv", "--family", "independent", "-o", "fitted"}, dir.path);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(readFile(dir.file("fitted/panel.gp")).find("\n" + c.label + "\n"), std::string::npos);
        for (const auto& [file, bytes] : filesIn(dir.path)) EXPECT_TRUE(file == "measured.csv" || file.starts_with("fitted/")) << file;
        if (!installed("gnuplot")) continue;
        EXPECT_EQ(run.out.find("not drawn"), std::string::npos) << run.out;
        const ShellResult labels = runShell("cd '" + dir.path + "' && sed -n 's/^set \\(title\\|ylabel\\) /print /p' " +
                                            "fitted/panel.gp > labels.gp && gnuplot labels.gp 2>&1");
        EXPECT_EQ(labels.output, c.name + " to " + c.name + ": 5-Nugget for proportion line\n" + c.name + "\nsum off 1 by 0.0000\n");
        EXPECT_FALSE(fileExists(dir.file("RAN")));
    }
}

// Classes that only measured curves' to-column names (as when the curves are cut down to one
// from-class) have pairs with no point and no fitted curve: gnuplot is given nothing that it
// warns of, and draws them as empty cells.
TEST(PanelRun, PairsWithNothingToDrawGiveGnuplotNothingToWarnOf) {
    if (!installed("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    const FitRun run = runFit({"fit", "measured.csv", "--family", "independent", "-o", "fitted"},
                              {{"measured.csv", "lag,distance,from,to,probability\n0,0,a,a,1\n1,1,a,a,0.6\n0,0,a,b,0\n1,1,a,b,0.4\n"}});
    EXPECT_EQ(run.result.status, 3);
    EXPECT_EQ(run.files.count("fitted/panel.png"), 1u);
    ScratchDir dir;
    writeFile(dir.file("panel.gp"), run.files.at("fitted/panel.gp"));
    const ShellResult again = runShell("cd '" + dir.path + "' && gnuplot -e \"output='again.png'\" panel.gp 2>&1");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.output, "");
}

// The README's way to look at one class's curves, on a measurement of many classes: the fit
// ends, and above 40 classes the picture is declined while panel.gp is written.
TEST(PanelRun, APanelOfManyClassesIsDrawnOrDeclinedNeverAHang) {
    for (const int n : {40, 41}) {
        SCOPED_TRACE(n);
        std::string measured = "lag,distance,from,to,probability\n";
        for (int to = 0; to < n; ++to) {
            const std::string pair = ",c0,c" + std::to_string(to) + ",";
            measured += "0,0" + pair + (to == 0 ? "1" : "0") + "\n1,1" + pair + (to == 0 ? "0.5" : "0.0125") + "\n";
        }
        ScratchDir dir;
        writeFile(dir.file("measured.csv"), measured);
        // timeout ends a fit that waits for ever, so that it does not hold up the tests.
        const RunResult run = runCommand("/usr/bin/timeout", {"120", REDUZFIT_BINARY, "fit", "measured.csv", "--family", "independent", "-o", "fitted"}, dir.path);
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.err, "");
        const std::string written = "written        fitted/: " + std::to_string(n) + " folders, fits.csv, curves.csv, check.csv, panel.gp";
        const std::string tail = n > 40                ? "panel.png      not drawn: 41 classes are too many to draw (at most 40)\n" + written
                                 : installed("gnuplot") ? written + ", panel.png"
                                                        : "panel.png      not drawn: gnuplot is not installed\n" + written;
        EXPECT_TRUE(run.out.ends_with(" pairs\n" + tail + "\n")) << run.out;
        EXPECT_TRUE(fileExists(dir.file("fitted/panel.gp")));
    }
}

}  // namespace
}  // namespace reduz::testing
