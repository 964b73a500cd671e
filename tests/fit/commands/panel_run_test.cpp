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

// The panel's titles and row labels as gnuplot reads them: each printed, run in `directory`.
ShellResult labelsAsGnuplotReadsThem(const ScratchDir& dir, const std::string& panel) {
    std::string script;
    for (std::size_t at = 0; at < panel.size();) {
        std::size_t end = panel.find('\n', at);
        if (end == std::string::npos) end = panel.size();
        const std::string line = panel.substr(at, end - at);
        for (const std::string command : {"set title ", "set ylabel "}) {
            if (line.starts_with(command)) script += "print " + line.substr(command.size()) + "\n";
        }
        at = end + 1;
    }
    writeFile(dir.file("labels.gp"), script);
    return runShell("cd '" + dir.path + "' && gnuplot labels.gp 2>&1");
}

// A class name reaches panel.gp as data: gnuplot runs no command from it, and shows it as it is.
TEST(PanelRun, ClassNamesAreNeverRunByGnuplot) {
    struct Case {
        std::string name;
        std::string title;  // its line in panel.gp
    };
    const Case cases[] = {
        {"`touch RAN`", R"(set title "\140touch RAN\140 to \140touch RAN\140: 5-Nugget for proportion line")"},
        {"'`touch RAN`'", R"(set title "'\140touch RAN\140' to '\140touch RAN\140': 5-Nugget for proportion line")"},
        {"\"`touch RAN`\"",
         R"(set title "\"\140touch RAN\140\" to \"\140touch RAN\140\": 5-Nugget for proportion line")"},
        {"@output @largest", R"(set title "\100output \100largest to \100output \100largest: 5-Nugget for proportion line")"},
        {"system(\"touch RAN\")", R"(set title "system(\"touch RAN\") to system(\"touch RAN\"): 5-Nugget for proportion line")"},
        {"it's \"x\" ''", R"(set title "it's \"x\" '' to it's \"x\" '': 5-Nugget for proportion line")"},
        {"back\\slash \\` \\", R"(set title "back\\slash \\\140 \\ to back\\slash \\\140 \\: 5-Nugget for proportion line")"},
        {"two\n`touch RAN`", R"(set title "two\n\140touch RAN\140 to two\n\140touch RAN\140: 5-Nugget for proportion line")"},
        {"$(touch RAN); # x", R"(set title "$(touch RAN); # x to $(touch RAN); # x: 5-Nugget for proportion line")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string n = csvQuoted(c.name);
        const std::string measured =
            "lag,distance,from,to,probability\n0,0," + n + "," + n + ",1\n1,1," + n + "," + n + ",1\n2,2," + n + "," + n + ",1\n";
        ScratchDir dir;
        writeFile(dir.file("measured.csv"), measured);
        const RunResult run = runCommand(REDUZFIT_BINARY, {"fit", "measured.csv", "-o", "fitted"}, dir.path);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.find("not drawn: gnuplot failed"), std::string::npos) << run.out;
        const std::string panel = readFile(dir.file("fitted/panel.gp"));
        EXPECT_NE(panel.find("\n" + c.title + "\n"), std::string::npos) << panel;
        for (const auto& [file, bytes] : filesIn(dir.path)) EXPECT_TRUE(file == "measured.csv" || file.starts_with("fitted/")) << file;
        if (!installed("gnuplot")) continue;
        const ShellResult labels = labelsAsGnuplotReadsThem(dir, panel);
        EXPECT_EQ(labels.status, 0);
        EXPECT_EQ(labels.output,
                  c.name + " to " + c.name + ": 5-Nugget for proportion line\n" + c.name + "\nsum off 1 by 0.0000\n");
        EXPECT_FALSE(fileExists(dir.file("RAN")));
    }
}

// Classes that only measured curves' to-column names (as when the curves are cut down to one
// from-class) have pairs with no point and no fitted curve: gnuplot is given nothing that it
// warns of, and draws them as empty cells.
TEST(PanelRun, PairsWithNothingToDrawGiveGnuplotNothingToWarnOf) {
    if (!installed("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    const std::string measured =
        "lag,distance,from,to,probability\n0,0,a,a,1\n1,1,a,a,0.6\n2,2,a,a,0.5\n0,0,a,b,0\n1,1,a,b,0.4\n2,2,a,b,0.5\n";
    const FitRun run = runFit({"fit", "measured.csv", "-o", "fitted"}, {{"measured.csv", measured}});
    EXPECT_EQ(run.result.status, 3);
    EXPECT_TRUE(run.result.out.ends_with(
        "written        fitted/: 2 folders, fits.csv, curves.csv, check.csv, panel.gp, panel.png\n"))
        << run.result.out;
    ScratchDir dir;
    writeFile(dir.file("panel.gp"), run.files.at("fitted/panel.gp"));
    const ShellResult again = runShell("cd '" + dir.path + "' && gnuplot -e \"output='again.png'\" panel.gp 2>&1");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.output, "");
    EXPECT_EQ(readFile(dir.file("again.png")).substr(0, 4), "\x89PNG");
}

// The README's way to look at one class's curves, on a measurement of many classes: the fit
// ends, and above 40 classes the picture is declined while panel.gp is written.
TEST(PanelRun, APanelOfManyClassesIsDrawnOrDeclinedNeverAHang) {
    const bool gnuplot = installed("gnuplot");
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
        const RunResult run =
            runCommand("/usr/bin/timeout", {"120", REDUZFIT_BINARY, "fit", "measured.csv", "-o", "fitted"}, dir.path);
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.err, "");
        const std::string folders = "written        fitted/: " + std::to_string(n) + " folders, fits.csv, curves.csv, check.csv, panel.gp";
        const std::string tail = n > 40  ? "panel.png      not drawn: 41 classes are too many to draw (at most 40)\n" + folders + "\n"
                                 : gnuplot ? folders + ", panel.png\n"
                                           : "panel.png      not drawn: gnuplot is not installed\n" + folders + "\n";
        EXPECT_TRUE(run.out.ends_with("fitted         " + std::to_string(n) + " of " + std::to_string(n * n) + " pairs\n" + tail))
            << run.out.substr(run.out.size() - std::min<std::size_t>(run.out.size(), 400));
        EXPECT_TRUE(fileExists(dir.file("fitted/panel.gp")));
    }
}

}  // namespace
}  // namespace reduz::testing
