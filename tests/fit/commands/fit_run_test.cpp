// Whole runs of the real reduzfit's fit in fresh directories: the shipped example byte for
// byte, every folder run by the real reduzmodel, and the output directory written whole or not
// at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <sstream>
#include <sys/stat.h>

#include "fit/fit_run.hpp"
#include "support/sanitized.hpp"
#include "textio/fields.hpp"

namespace reduz::testing {
namespace {

const std::string examples = std::string(REDUZ_SOURCE_DIR) + "/examples/logs/";
const std::vector<std::string> fitExample = {"boreholes.csv", "--step", "0.5", "--lags", "20", "-o", "fitted"};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
    return parts;
}

// The README's command gives the fit shipped beside the logs (its picture is in doc/).
TEST(FitRun, ShippedExample) {
    const std::string logs = readFile(examples + "boreholes.csv");
    const FitRun run = runFit(fitExample, {{"boreholes.csv", logs}});
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    std::map<std::string, std::string> expected = {{"boreholes.csv", logs}};
    // Passed over: what running the README's commands there leaves (a picture, the reports of
    // folders that hold a PARAMETER.TXT); a folder without one holds the fit's own report.
    const std::map<std::string, std::string> shipped = filesIn(examples + "fitted");
    for (const auto& [name, bytes] : shipped) {
        const bool ranReport =
            name.ends_with("/ReduzModel.txt") && shipped.count(name.substr(0, name.size() - 14) + "PARAMETER.TXT") > 0;
        if (name != "panel.png" && !ranReport) expected["fitted/" + name] = bytes;
    }
    std::map<std::string, std::string> files = run.files;
    if (installed("gnuplot")) {
        EXPECT_EQ(run.result.out, readFile(examples + "fit-console.txt"));
        EXPECT_EQ(files["fitted/panel.png"].substr(0, 4), "\x89PNG");
    }
    files.erase("fitted/panel.png");
    EXPECT_EQ(files, expected);
}

// For every folder, reduzmodel run there with keyboard.txt on its standard input tabulates the
// fitted curve that curves.csv gives for that folder: each row shows that double in F9.4. Every
// shape, chosen by AIC or named, of the pairs fitted alone; every family of the valid model,
// whose curves that are no shape are tabulated in the folder's ReduzModel.txt, read as it is.
TEST(FitRun, EveryFolderRunsInReduzmodelAsCurvesCsvSays) {
    const std::string logs = readFile(examples + "boreholes.csv");
    std::vector<std::vector<std::string>> options = {{}, {"--family", "markov"}};
    for (const std::string shapes : {"best", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}) {
        options.push_back({"--family", "independent", "--shapes", shapes});
    }
    for (const std::vector<std::string>& option : options) {
        const bool independent = !option.empty() && option[1] == "independent";
        const std::string shapes = independent ? option[3] : "";
        const bool someNotFitted = shapes.size() == 2 || shapes == "9";
        std::string trace;
        for (const std::string& word : option) trace += word + " ";
        SCOPED_TRACE(trace);
        ScratchDir dir;
        writeFile(dir.file("boreholes.csv"), logs);
        std::vector<std::string> arguments = fitExample;
        arguments.insert(arguments.end(), option.begin(), option.end());
        const RunResult fit = runCommand(REDUZFIT_BINARY, arguments, dir.path);
        ASSERT_EQ(fit.status, someNotFitted ? 3 : 0) << fit.err;

        std::map<std::string, std::vector<std::string>> rows;  // by folder, the report's rows
        const std::vector<std::string> lines = split(readFile(dir.file("fitted/curves.csv")), '\n');
        for (std::size_t l = 1; l < lines.size(); ++l) {
            const std::vector<std::string> field = split(lines[l], ',');
            if (field.size() < 8 || field[7].empty()) continue;  // a pair not fitted has no folder
            double value = 0;
            ASSERT_EQ(std::from_chars(field[6].data(), field[6].data() + field[6].size(), value).ec, std::errc());
            std::string row = " ";
            row += renderInteger(std::stoi(field[2]), 3);
            rows[field[7]].push_back(row + renderFixed(value, 9, 4));
        }
        ASSERT_EQ(rows.size(), someNotFitted ? 12u : 16u);
        for (const auto& [folder, expected] : rows) {
            const std::string where = dir.file("fitted/" + folder);
            if (fileExists(where + "/PARAMETER.TXT")) {
                const std::string keyboard = fileExists(where + "/keyboard.txt") ? readFile(where + "/keyboard.txt") : "";
                const RunResult model = runBinary(where, withInput(keyboard));
                ASSERT_EQ(model.status, 0) << folder << ": " << model.err;
            } else {
                EXPECT_FALSE(independent) << folder << " has no PARAMETER.TXT";
            }
            // The rows follow the column heading (a long label may take two lines before it).
            std::vector<std::string> report = split(readFile(where + "/ReduzModel.txt"), '\n');
            const auto heading = std::find(report.begin(), report.end(), "  h REDUZ-Model\r");
            ASSERT_NE(heading, report.end()) << folder;
            if (!fileExists(where + "/PARAMETER.TXT")) {
                // Three lines say what the curve is, where a report's header stands.
                EXPECT_EQ(heading - report.begin(), 3) << folder;
            }
            report.erase(report.begin(), heading + 1);
            ASSERT_EQ(report.size(), expected.size()) << folder;
            for (std::size_t lag = 0; lag < expected.size(); ++lag) {
                EXPECT_EQ(report[lag], expected[lag] + "\r") << folder << ", lag " << lag;
            }
        }
    }
}

// Curves from elsewhere: no support column (every weight 1), the sill the head class's
// proportion, and pairs that no named shape fits, which the status and fits.csv tell.
const std::string measured =
    "lag,distance,from,to,probability\n"
    "0,0,x,x,1\n1,2,x,x,0.6\n2,4,x,x,0.45\n3,6,x,x,0.4\n0,0,x,y,0\n1,2,x,y,0.4\n2,4,x,y,0.55\n3,6,x,y,0.6\n"
    "0,0,y,x,0\n1,2,y,x,0.2\n2,4,y,x,0.3\n3,6,y,x,0.25\n0,0,y,y,1\n1,2,y,y,0.8\n2,4,y,y,0.7\n3,6,y,y,0.75\n";
const std::string proportions = "class,proportion\nx,0.25\ny,0.75\n";

TEST(FitRun, SillFromTheProportionsWithSeventeenDigits) {
    const FitRun run = runFit({"fit", "measured.csv", "--family", "independent", "--shapes", "3", "--sill", "proportion", "-o", "fitted"},
                              {{"measured.csv", measured}, {"classes.csv", proportions}});
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_EQ(run.files.at("fitted/x_x/PARAMETER.TXT").substr(0, 27), "3 1\n2.5000000000000000E-01 ");
    EXPECT_EQ(run.files.at("fitted/x_y/PARAMETER.TXT").substr(0, 27), "3 2\n7.5000000000000000E-01 ");
    EXPECT_EQ(run.files.at("fitted/y_x/PARAMETER.TXT").substr(0, 27), "3 2\n2.5000000000000000E-01 ");
    EXPECT_TRUE(run.files.at("fitted/y_y/PARAMETER.TXT").ends_with("\n3\n"));
    EXPECT_EQ(run.files.count("fitted/x_x/keyboard.txt"), 0u);
}

// Names that are one once made safe for a folder (or told apart by case alone) get "-2", "-3":
// fits.csv, curves.csv and the console say which pair each folder holds.
TEST(FitRun, FoldersWhoseNamesClashSayWhichPairTheyHold) {
    const std::string logs = "hole,from,to,class\nA,0,2,Sand\nA,2,3,sand\nA,3,5,Sand\nA,5,6,sand\nA,6,8,Sand\n";
    const FitRun run = runFit({"logs.csv", "--step", "1", "--lags", "3", "-o", "fitted", "--family", "independent", "--shapes", "5"}, {{"logs.csv", logs}});
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_NE(run.result.out.find("folder         Sand_sand-2 holds Sand to sand (Sand_sand would clash with another "
                                  "pair's folder)\nfolder         sand_Sand-3 holds sand to Sand (sand_Sand would clash "
                                  "with another pair's folder)\nfolder         sand_sand-4 holds sand to sand (sand_sand "
                                  "would clash with another pair's folder)\nrow sums"),
              std::string::npos)
        << run.result.out;
    const std::string fits = run.files.at("fitted/fits.csv");
    const std::pair<const char*, const char*> folders[] = {
        {"\nSand,Sand,1,5,", "Sand_Sand"}, {"\nSand,sand,2,5,", "Sand_sand-2"},
        {"\nsand,Sand,2,5,", "sand_Sand-3"}, {"\nsand,sand,1,5,", "sand_sand-4"}};
    for (const auto& [row, folder] : folders) {
        const std::size_t at = fits.find(row);
        ASSERT_NE(at, std::string::npos) << row;
        const std::string line = fits.substr(at + 1, fits.find('\n', at + 1) - at - 1);
        EXPECT_EQ(line.substr(line.rfind(',') + 1), folder);
        EXPECT_EQ(run.files.count(std::string("fitted/") + folder + "/PARAMETER.TXT"), 1u) << folder;
    }
}

// A name that holds a terminal's escape sequence or a line end is shown escaped on the console:
// it can neither clear the screen nor add a line of its own. The files keep it as it is.
TEST(FitRun, TheConsoleShowsNamesInertly) {
    const std::string logs = "hole,from,to,class\nA,0,2,\"\x1b[2J\"\nA,2,3,\"two\nlines\"\nA,3,5,\"\x1b[2J\"\n";
    const FitRun run = runFit({"logs.csv", "--step", "1", "--lags", "2", "-o", "fitted", "--family", "independent", "--shapes", "5"}, {{"logs.csv", logs}});
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_EQ(run.result.out.find('\x1b'), std::string::npos);
    EXPECT_NE(run.result.out.find("\n\\x1B[2J     two\\nlines  5-Nugget"), std::string::npos) << run.result.out;
    EXPECT_NE(run.files.at("fitted/classes.csv").find("\"two\nlines\""), std::string::npos);
}

TEST(FitRun, PairsNotFittedAreListedAndTheStatusSaysSo) {
    const FitRun run = runFit({"fit", "measured.csv", "--family", "independent", "--shapes", "12", "-o", "fitted"}, {{"measured.csv", measured}});
    EXPECT_EQ(run.result.status, 3);
    EXPECT_EQ(run.result.err, "");
    const std::string notFitted = "not fitted: none of the shapes 12 is an auto-transiogram shape\n";
    EXPECT_NE(run.result.out.find("x      x      " + notFitted), std::string::npos) << run.result.out;
    EXPECT_NE(run.result.out.find("fitted         2 of 4 pairs\n"), std::string::npos);
    const std::string fits = run.files.at("fitted/fits.csv");
    EXPECT_NE(fits.find("\nx,x,1,,,,,,,,,,,,no,none of the shapes 12 is an auto-transiogram shape,\n"), std::string::npos);
    std::vector<std::string> written;
    for (const auto& [name, bytes] : run.files) written.push_back(name);
    std::vector<std::string> expected = {"fitted/check.csv", "fitted/curves.csv", "fitted/fits.csv", "fitted/panel.gp"};
    if (installed("gnuplot")) expected.push_back("fitted/panel.png");
    expected.insert(expected.end(), {"fitted/x_y/PARAMETER.TXT", "fitted/x_y/keyboard.txt", "fitted/y_x/PARAMETER.TXT",
                                     "fitted/y_x/keyboard.txt", "measured.csv"});
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(run.files.at("fitted/check.csv").starts_with("from,lag,sum,deviation,outside\nx,0,,,0\nx,1,,,0\n"));
}

// DIR is replaced whole, and only when it holds an earlier fit; what cannot be written leaves
// everything as it was, with no temporary directory behind.
TEST(FitRun, TheDirectoryIsReplacedWholeOrNotAtAll) {
    const std::vector<std::string> fit = {"fit", "measured.csv", "--family", "independent", "--shapes", "5", "-o", "fitted"};
    const FitRun again = runFit(fit, {{"measured.csv", measured}, {"fitted/", ""}, {"fitted/fits.csv", "older\n"},
                                      {"fitted/old_old/", ""}, {"fitted/old_old/PARAMETER.TXT", "older\n"}});
    EXPECT_EQ(again.result.status, 0);
    EXPECT_EQ(again.files.count("fitted/old_old/PARAMETER.TXT"), 0u);
    EXPECT_NE(again.files.at("fitted/fits.csv"), "older\n");
    for (const auto& [name, bytes] : again.files) EXPECT_NE(name[0], '.') << name;

    struct Case {
        std::map<std::string, std::string> inputs;
        std::vector<std::string> arguments;
        RunOptions options;
        int status;
        std::string err;
        const char* link = "";  // what fitted is a symbolic link to
    };
    RunOptions limited;
    limited.fileSizeLimit = 100;
    const std::vector<std::string> inside = {"fit", "fitted/measured.csv", "-o", "fitted/"};
    const Case cases[] = {
        {{{"measured.csv", measured}, {"fitted/", ""}, {"fitted/notes.txt", "mine\n"}}, fit, {}, 2,
         "reduzfit: fitted: holds files but no fits.csv: it is no earlier fit, and is not replaced\n"},
        {{{"measured.csv", measured}, {"fitted", "a file\n"}}, fit, {}, 2, "reduzfit: fitted: is not a directory, and is not replaced\n"},
        {{{"fitted/", ""}, {"fitted/fits.csv", "older\n"}, {"fitted/measured.csv", measured}}, inside, {}, 2,
         "reduzfit: fitted/measured.csv: is inside fitted, which would be replaced\n"},
        {{{"measured.csv", measured}}, fit, limited, 1, "reduzfit: cannot write fitted/fits.csv: File too large\n"},
        {{{"measured.csv", measured}}, fit, asNobody(), 1, "reduzfit: cannot create fitted: Permission denied\n"},
        // a link is told before the fit, whether it leads to an earlier fit or nowhere
        {{{"measured.csv", measured}, {"earlier/", ""}, {"earlier/fits.csv", "older\n"}}, fit, {}, 2,
         "reduzfit: fitted: is a symbolic link, and is not replaced (name the directory itself)\n", "earlier"},
        {{{"measured.csv", measured}}, fit, {}, 2,
         "reduzfit: fitted: is a symbolic link, and is not replaced (name the directory itself)\n", "nowhere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        const bool denied = c.options.asUnprivileged;
        const FitRun run = runFit(c.arguments, c.inputs, c.options, [&](const ScratchDir& dir) {
            if (denied) {
                ASSERT_EQ(::chmod(dir.path.c_str(), 0555), 0);
            }
            if (*c.link != '\0') {
                ASSERT_EQ(::symlink(c.link, dir.file("fitted").c_str()), 0);
            }
        });
        EXPECT_EQ(run.result.status, c.status);
        EXPECT_EQ(run.result.out, "");
        EXPECT_EQ(run.result.err, c.err);
        std::map<std::string, std::string> unchanged;
        for (const auto& [name, bytes] : c.inputs) {
            if (name.back() != '/') unchanged[name] = bytes;
        }
        EXPECT_EQ(run.files, unchanged);
    }
}

// An earlier fit that cannot be removed once replaced is told, and the new fit stands.
TEST(FitRun, AnOlderFitLeftBehindIsTold) {
    const std::vector<std::string> fit = {"fit", "measured.csv", "--family", "independent", "--shapes", "5", "-o", "fitted"};
    const FitRun run = runFit(fit, {{"measured.csv", measured}, {"fitted/", ""}, {"fitted/fits.csv", "older\n"}},
                              asNobody(), [](const ScratchDir& dir) {
                                  ASSERT_EQ(::chmod(dir.path.c_str(), 0777), 0);
                                  ASSERT_EQ(::chmod(dir.file("fitted").c_str(), 0555), 0);
                              });
    EXPECT_EQ(run.result.status, 0);
    EXPECT_NE(run.files.at("fitted/fits.csv"), "older\n");
    std::string left;
    for (const auto& [name, bytes] : run.files) {
        if (name[0] == '.') left = name.substr(0, name.find('/'));
    }
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(run.result.err, "reduzfit: the older fitted is left at " + left +
                                  ": it cannot be removed (Permission denied)\n");
}

// Interrupted while the fit is written (its first fsync held up by strace), the run ends by the
// signal with the earlier fit as it was and no temporary directory behind.
TEST(FitRun, AnInterruptedWriteLeavesTheEarlierFit) {
    if (sanitized || !installed("strace") || runShell("strace -o /dev/null true").status != 0) {
        GTEST_SKIP() << "strace cannot trace here (or the sanitizers' runtime is in the way)";
    }
    for (const char* signal : {"INT", "TERM"}) {
        SCOPED_TRACE(signal);
        ScratchDir dir;
        writeFile(dir.file("measured.csv"), measured);
        ::mkdir(dir.file("fitted").c_str(), 0777);
        writeFile(dir.file("fitted/fits.csv"), "older\n");
        const ShellResult run = interruptedWhileWriting(dir, "fit measured.csv --shapes 5 -o fitted", "fitted", signal);
        EXPECT_EQ(run.output, std::string(signal) == "INT" ? "130\n" : "143\n");
        EXPECT_EQ(filesIn(dir.path), (std::map<std::string, std::string>{{"measured.csv", measured}, {"fitted/fits.csv", "older\n"}}));
    }
}

}  // namespace
}  // namespace reduz::testing
