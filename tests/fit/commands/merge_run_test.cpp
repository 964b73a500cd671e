// `reduzfit merge` on the real binary: parts measured apart and merged give the bytes of the
// whole measured at once; parts that disagree are refused with one line and nothing written.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fit/fit_run.hpp"

namespace reduz::testing {
namespace {

struct Measured {
    std::string measured, classes;
};

Measured measure(const std::string& name, const std::string& text, const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"measure", name};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const FitRun run = runFit(arguments, {{name, text}});
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    return {run.files.at("measured.csv"), run.files.at("classes.csv")};
}

// The parts, each in its folder p1/, p2/, ..., merged into all.csv.
FitRun merge(const std::vector<Measured>& parts, std::map<std::string, std::string> more = {}) {
    std::vector<std::string> arguments = {"merge"};
    for (std::size_t p = 0; p < parts.size(); ++p) {
        std::string folder = "p";
        folder += std::to_string(p + 1);
        folder += '/';
        more[folder] = "";
        more[folder + "measured.csv"] = parts[p].measured;
        more[folder + "classes.csv"] = parts[p].classes;
        arguments.push_back(folder + "measured.csv");
    }
    arguments.insert(arguments.end(), {"-o", "all.csv"});
    return runFit(arguments, more);
}

const std::string header = "hole,from,to,class\n";
// decimal depths, which no binary fraction holds: the sums must still add up exactly
const std::string holesA = "BH1,0,1.3,sand\nBH1,1.3,2.7,clay\nBH1,2.7,4.1,sand\nBH1,4.1,4.35,gravel\n";
const std::string holesB = "BH2,0,0.9,clay\nBH2,0.9,3.3,silt\nBH2,3.3,3.4,sand\n";
const std::string holesC = "BH3,0.15,2.05,silt\nBH3,2.2,3.1,clay\n";

std::string grid(const std::string& rows, int nrows) {
    std::string text = "ncols 4\nnrows ";
    text += std::to_string(nrows);
    text += "\nxllcorner 0\nyllcorner 0\ncellsize 0.3\nNODATA_value -1\n";
    return text + rows;
}

TEST(MergeRun, PartsAddUpToTheWholeByteForByte) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> parts;  // file name, text
        std::pair<std::string, std::string> whole;
        std::vector<std::string> options;
    };
    const std::vector<Case> cases = {
        {"holes split over files", {{"a.csv", header + holesA}, {"b.csv", header + holesB + holesC}},
         {"w.csv", header + holesA + holesB + holesC}, {"--step", "0.1", "--lags", "30"}},
        {"three parts, up", {{"a.csv", header + holesA}, {"b.csv", header + holesB}, {"c.csv", header + holesC}},
         {"w.csv", header + holesA + holesB + holesC}, {"--step", "0.25", "--lags", "12", "--direction", "up"}},
        // the second band holds a class the first lacks, and a code below the first's
        {"a map's row bands, east", {{"a.asc", grid("3 3 7 7\n-1 7 7 3\n", 2)}, {"b.asc", grid("1 3 3 -1\n", 1)}},
         {"w.asc", grid("3 3 7 7\n-1 7 7 3\n1 3 3 -1\n", 3)}, {"--step", "0.3", "--lags", "3"}},
        {"a map's row bands, west", {{"a.asc", grid("3 3 7 7\n", 1)}, {"b.asc", grid("1 3 3 -1\n7 7 7 1\n", 2)}},
         {"w.asc", grid("3 3 7 7\n1 3 3 -1\n7 7 7 1\n", 3)}, {"--step", "0.3", "--lags", "3", "--direction", "west"}},
    };
    for (const Case& c : cases) {
        std::vector<Measured> parts;
        for (const auto& [name, text] : c.parts) parts.push_back(measure(name, text, c.options));
        const Measured whole = measure(c.whole.first, c.whole.second, c.options);
        const FitRun run = merge(parts);
        EXPECT_EQ(run.result.status, 0) << c.what << ": " << run.result.err;
        EXPECT_EQ(run.files.at("all.csv"), whole.measured) << c.what;
        EXPECT_EQ(run.files.at("classes.csv"), whole.classes) << c.what;
    }
}

TEST(MergeRun, PartsThatDisagreeAreRefused) {
    const std::vector<std::string> down = {"--step", "0.1", "--lags", "30"};
    const Measured a = measure("a.csv", header + holesA, down), b = measure("b.csv", header + holesB, down);
    const Measured otherStep = measure("b.csv", header + holesB, {"--step", "0.2", "--lags", "30"});
    const Measured otherLags = measure("b.csv", header + holesB, {"--step", "0.1", "--lags", "20"});
    const Measured up = measure("b.csv", header + holesB, {"--step", "0.1", "--lags", "30", "--direction", "up"});
    Measured offTick = b;
    offTick.measured.replace(offTick.measured.find(",0.9,down"), 9, ",0.9000001,down");
    const Measured old = {"lag,distance,from,to,probability,support\n0,0,a,a,1,1\n", "class,proportion,length,runs,mean_length\na,1,1,1,1\n"};
    struct Case {
        const char* what;
        std::vector<Measured> parts;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"another step", {a, otherStep}, "reduzfit: p2/measured.csv: measured at lags of 0.2, where p1/measured.csv is measured at lags of 0.1\n"},
        {"other lags", {a, otherLags}, "reduzfit: p2/measured.csv: measured to lag 20, where p1/measured.csv is measured to lag 30\n"},
        {"another direction", {a, up}, "reduzfit: p2/measured.csv: measured up, where p1/measured.csv is measured down\n"},
        {"a length off the ticks", {a, offTick},
         "reduzfit: p2/measured.csv: length at lag 0 0.9000001 is not a whole number of ticks of 1e-06, as measure writes lengths at "
         "lags of 0.1\n"},
        {"an older measured.csv", {a, old}, "reduzfit: p2/measured.csv:1: no column \"length\" in the header\n"},
    };
    for (const Case& c : cases) {
        const FitRun run = merge(c.parts);
        EXPECT_EQ(run.result.status, 2) << c.what;
        EXPECT_EQ(run.result.err, c.err) << c.what;
        EXPECT_EQ(run.files.count("all.csv"), 0u) << c.what;
    }
    // one part twice; two parts sharing a classes.csv
    std::map<std::string, std::string> files = {{"p1/", ""}, {"p1/measured.csv", a.measured}, {"p1/classes.csv", a.classes},
                                                {"p1/b.csv", b.measured}};
    for (const auto& [arguments, err] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"merge", "p1/measured.csv", "p1/../p1/measured.csv"}, "reduzfit: p1/../p1/measured.csv: is given twice\n"},
             {{"merge", "p1/measured.csv", "p1/b.csv"},
              "reduzfit: p1/b.csv: shares p1/classes.csv with p1/measured.csv: measure each part into a folder of its own\n"}}) {
        const FitRun run = runFit(arguments, files);
        EXPECT_EQ(run.result.status, 2);
        EXPECT_EQ(run.result.err, err);
        EXPECT_EQ(run.files.count("measured.csv"), 0u);
    }
}

}  // namespace
}  // namespace reduz::testing
