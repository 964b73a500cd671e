// `reduzfit simulate` through the real binary: a two-class Markov chain along a row comes back
// from its realizations; a datum's neighbour follows the model each way of an axis; data keep
// their class; the bytes do not depend on the threads; and what it refuses, with one line,
// exit status 2 and nothing written.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "fit/fit_run.hpp"
#include "support/sanitized.hpp"

namespace reduz::testing {
namespace {

// A chain leaving a at 0.2 and b at 0.1 a unit: proportions 1/3, 2/3.
const std::string markov = "key,from,to,value\nfamily,,,markov\nstep,,,1\nmax_lag,,,10\nclass,a,,0.3333333333333333\n"
                           "class,b,,0.6666666666666666\nrate,a,a,-0.2\nrate,a,b,0.2\nrate,b,a,0.1\nrate,b,b,-0.1\n";
// Three classes passing round a -> b -> c -> a: t_ab(1) is far from t_ba(1), so either way
// of an axis taken for the other shows.
const std::string cycle = "key,from,to,value\nfamily,,,markov\nstep,,,1\nmax_lag,,,4\nclass,a,,0\nclass,b,,0\nclass,c,,0\n"
                          "rate,a,a,-1\nrate,a,b,1\nrate,a,c,0\nrate,b,a,0\nrate,b,b,-1\nrate,b,c,1\n"
                          "rate,c,a,1\nrate,c,b,0\nrate,c,c,-1\n";

// The cells of an ESRI grid's rows, its header of 5 lines left out.
std::vector<std::vector<std::string>> cellsOf(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    std::vector<std::vector<std::string>> rows;
    for (int n = 0; std::getline(lines, line); ++n) {
        if (n < 5) continue;
        std::istringstream values(line);
        rows.emplace_back();
        for (std::string v; values >> v;) rows.back().push_back(v);
    }
    return rows;
}

// check.csv's value in that column for the axis, lag and pair.
double checked(const std::string& check, const std::string& key, int column) {
    std::istringstream lines(check);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key, 0) != 0) continue;
        std::istringstream fields(line);
        std::string field;
        for (int c = 0; c <= column; ++c) std::getline(fields, field, ',');
        return std::stod(field);
    }
    ADD_FAILURE() << "no row " << key;
    return NAN;
}

TEST(SimulateRun, AMarkovChainAlongARowComesBack) {
    const FitRun run = runFit({"simulate", "--model", "m", "--size", "2000,1", "--cell", "1", "--realizations", "10", "-o", "sims"},
                              {{"m/", ""}, {"m/model.csv", markov}});
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    const std::string& check = run.files.at("sims/check.csv");
    for (const char* key : {"x,1,1,a,a", "x,3,3,a,a", "x,1,1,b,a", "x,8,8,b,b"}) {
        EXPECT_NEAR(checked(check, key, 6), checked(check, key, 5), 0.02) << key;
    }
    EXPECT_EQ(run.files.at("sims/classes.csv").substr(0, 27), "code,class,model,simulated\n");
    EXPECT_EQ(cellsOf(run.files.at("sims/realization-010.asc")).front().size(), 2000u);
    // the picture's script holds its data; gnuplot, where installed, drew it
    EXPECT_NE(run.files.at("sims/realizations.gp").find("plot $best matrix with image"), std::string::npos);
    if (run.files.count("sims/realizations.png") != 0) {
        EXPECT_EQ(run.files.at("sims/realizations.png").substr(0, 4), "\x89PNG");
    }
}

// Nine data of class a far apart on 60 x 60 cells: the cell east of each is drawn from the
// model from the datum to it, t(+1); the cell west of it from t(-1) = p_j t_ji(1) / p_i.
TEST(SimulateRun, ADatumsNeighboursFollowTheModelEachWay) {
    std::string data = "x,y,class\n";
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) data += std::to_string(10 + 20 * i) + ".5," + std::to_string(10 + 20 * j) + ".5,a\n";
    }
    const FitRun run = runFit({"simulate", "--model", "m", "--size", "60,60", "--cell", "1", "--condition", "data.csv",
                               "--realizations", "60", "--seed", "7", "-o", "sims"},
                              {{"m/", ""}, {"m/model.csv", cycle}, {"data.csv", data}});
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    std::map<std::string, int> east, west;
    for (int r = 1; r <= 60; ++r) {
        char name[40];
        std::snprintf(name, sizeof name, "sims/realization-%03d.asc", r);
        const std::vector<std::vector<std::string>> rows = cellsOf(run.files.at(name));
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const std::vector<std::string>& row = rows[static_cast<std::size_t>(59 - 10 - 20 * j)];
                const std::size_t column = static_cast<std::size_t>(10 + 20 * i);
                EXPECT_EQ(row[column], "1") << "the datum keeps its class";
                ++east[row[column + 1]];
                ++west[row[column - 1]];
            }
        }
    }
    // T(1) = e^Q of the cycle: t_aa 0.4297, t_ab 0.3833, t_ac 0.1870; its proportions are
    // equal, so t_ab(-1) = t_ba(1) = 0.1870
    EXPECT_NEAR(east["1"] / 540.0, 0.4297, 0.07);
    EXPECT_NEAR(east["2"] / 540.0, 0.3833, 0.07);
    EXPECT_NEAR(west["1"] / 540.0, 0.4297, 0.07);
    EXPECT_NEAR(west["2"] / 540.0, 0.1870, 0.07);
}

TEST(SimulateRun, TheSameBytesOnOneThreadAndOnTwo) {
    const std::map<std::string, std::string> inputs = {{"m/", ""}, {"m/model.csv", markov}, {"data.csv", "x,y,class\n3,4,a\n7,2,b\n"}};
    std::map<std::string, std::string> files[2];
    for (const int threads : {1, 2}) {
        const FitRun run = runFit({"simulate", "--model", "m", "--size", "30,20", "--cell", "0.5", "--condition", "data.csv",
                                   "--realizations", "4", "--seed", "42", "--threads", std::to_string(threads), "-o", "sims"},
                                  inputs);
        ASSERT_EQ(run.result.status, 0) << run.result.err;
        files[threads - 1] = run.files;
    }
    EXPECT_EQ(files[0], files[1]);
    // (3, 4) is column 6, row 12 of 20 rows of 0.5 down from the north edge at 10
    EXPECT_EQ(cellsOf(files[0].at("sims/realization-003.asc"))[12][6], "1");
    EXPECT_EQ(cellsOf(files[0].at("sims/probability-a.asc"))[12][6], "1");
}

// The example GeoTIFF as the grid: its classed cells are kept, its NoData corner drawn, and
// each map comes as GeoTIFF too, beside its ESRI grid.
TEST(SimulateRun, AGeoTiffGridGivesGeoTiffMaps) {
    const std::vector<std::string> names = {"forest", "grassland", "cropland", "water", "urban"};
    std::string model = "key,from,to,value\nfamily,,,markov\nstep,,,30\nmax_lag,,,5\n";
    for (const std::string& name : names) model += "class," + name + ",,0\n";
    for (const std::string& from : names) {
        for (const std::string& to : names) model += "rate," + from + "," + to + "," + (from == to ? "-0.04" : "0.01") + "\n";
    }
    const std::string folder = std::string(REDUZ_SOURCE_DIR) + "/examples/raster/";
    const FitRun run = runFit({"simulate", "--model", "m", "--grid", "landcover.tif", "-o", "sims"},
                              {{"m/", ""}, {"m/model.csv", model}, {"landcover.tif", readFile(folder + "landcover.tif")},
                               {"landcover.tif.aux.xml", readFile(folder + "landcover.tif.aux.xml")}});
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_NE(run.result.out.find("data           2352 cells\n"), std::string::npos) << run.result.out;
    for (const char* tiff : {"sims/realization-001.tif", "sims/most-probable.tif"}) {
        EXPECT_EQ(run.files.at(tiff).substr(0, 4), std::string("II*\0", 4)) << tiff;
    }
    // the raster's first cell, grassland (the model's second class: code 2), kept
    EXPECT_EQ(cellsOf(run.files.at("sims/realization-001.asc")).front().front(), "2");
}

// A VTK image's cells in its own order: x fastest, then y from the south, z from the bottom.
std::vector<std::string> vtkCells(const std::string& text) {
    const std::size_t from = text.find('\n', text.find("<DataArray")), to = text.find("</DataArray>");
    std::istringstream values(text.substr(from, to - from));
    std::vector<std::string> cells;
    for (std::string v; values >> v;) cells.push_back(v);
    return cells;
}

// A block from a vertical chain and a lateral ratio of 4 on cells 4 wide and 1 high: along x a
// cell is as far in the model as one along z, so both come back as the chain's one cell.
TEST(SimulateRun, ABlockFromAVerticalModelComesBackAlongZAndX) {
    const FitRun run = runFit({"simulate", "--model", "z=m", "--lateral-ratio", "4", "--size", "24,24,40", "--cell", "4,4,1",
                               "--realizations", "10", "-o", "sims"},
                              {{"m/", ""}, {"m/model.csv", markov}});
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_NE(run.result.out.find("grid           24 x 24 x 40 cells of 4 x 4 x 1\n"), std::string::npos) << run.result.out;
    const std::string& check = run.files.at("sims/check.csv");
    for (const char* key : {"z,1,1,a,a", "z,4,4,b,a", "z,10,10,b,b", "x,1,4,a,a", "x,4,16,b,a", "y,2,8,a,b"}) {
        EXPECT_NEAR(checked(check, key, 6), checked(check, key, 5), 0.03) << key;
    }
    EXPECT_NEAR(checked(run.files.at("sims/classes.csv"), "1,a", 3), 1 / 3.0, 0.03);
    EXPECT_EQ(vtkCells(run.files.at("sims/realization-010.vti")).size(), 24u * 24 * 40);
    EXPECT_EQ(vtkCells(run.files.at("sims/probability-b.vti")).size(), 24u * 24 * 40);
    EXPECT_EQ(run.files.count("sims/most-probable.vti"), 1u);
}

// Logs with collars: every cell whose centre an interval covers keeps its class in every
// realization, the parts of a hole above and below the block left out.
TEST(SimulateRun, ABlockKeepsItsLogs) {
    const std::string logs = "hole,x,y,elevation,from,to,class\nBH1,5,5,1,0,1.5,b\nBH1,5,5,1,1.5,4,a\nBH1,5,5,1,4,30,b\n"
                             "BH2,15,5,0,0,1,a\nBH2,15,5,0,1,2,b\n";
    const FitRun run = runFit({"simulate", "--model", "z=m", "--model", "x=m", "--size", "2,1,8", "--cell", "10,10,1", "--origin",
                               "0,0,-8", "--condition", "logs.csv", "--realizations", "5", "-o", "sims"},
                              {{"m/", ""}, {"m/model.csv", markov}, {"logs.csv", logs}});
    ASSERT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_NE(run.result.out.find("data           10 cells\n"), std::string::npos) << run.result.out;
    // from the bottom, west then east: BH1 (its collar at 1) b where the centres lie 4 or more
    // below it, a in the top three layers (centres -0.5 to -2.5: 1.5 to 3.5 down); BH2 (at 0)
    // a then b in its two top layers, nothing below its end at 2
    const std::vector<std::string> expected = {"2", "?", "2", "?", "2", "?", "2", "?", "2", "?", "1", "?", "1", "2", "1", "1"};
    for (int r = 1; r <= 5; ++r) {
        const std::vector<std::string> cells = vtkCells(run.files.at("sims/realization-00" + std::to_string(r) + ".vti"));
        ASSERT_EQ(cells.size(), expected.size());
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (expected[c] != "?") {
                EXPECT_EQ(cells[c], expected[c]) << r << " " << c;
            }
        }
    }
    // the collars in a file of their own: the same realizations
    const FitRun apart = runFit({"simulate", "--model", "z=m", "--model", "x=m", "--size", "2,1,8", "--cell", "10,10,1", "--origin",
                                 "0,0,-8", "--condition", "logs.csv", "--collars", "collars.csv", "--realizations", "5", "-o", "sims"},
                                {{"m/", ""}, {"m/model.csv", markov},
                                 {"logs.csv", "hole,from,to,class\nBH1,0,1.5,b\nBH1,1.5,4,a\nBH1,4,30,b\nBH2,0,1,a\nBH2,1,2,b\n"},
                                 {"collars.csv", "hole,x,y,elevation\nBH1,5,5,1\nBH2,15,5,0\n"}});
    ASSERT_EQ(apart.result.status, 0) << apart.result.err;
    EXPECT_EQ(apart.files.at("sims/realization-005.vti"), run.files.at("sims/realization-005.vti"));
    const std::string& image = run.files.at("sims/most-probable.vti");
    EXPECT_EQ(image.substr(0, image.find("<CellData")),
              "<?xml version=\"1.0\"?>\n<VTKFile type=\"ImageData\" version=\"1.0\" byte_order=\"LittleEndian\">\n"
              "  <ImageData WholeExtent=\"0 2 0 1 0 8\" Origin=\"0 0 -8\" Spacing=\"10 10 1\">\n"
              "    <Piece Extent=\"0 2 0 1 0 8\">\n      ");
}

// Interrupted while its realizations are written (the first fsync held up by strace), the run
// ends by the signal with the earlier simulation as it was and no temporary directory behind.
TEST(SimulateRun, AnInterruptedWriteLeavesTheEarlierSimulation) {
    if (sanitized || !installed("strace") || runShell("strace -o /dev/null true").status != 0) {
        GTEST_SKIP() << "strace cannot trace here (or the sanitizers' runtime is in the way)";
    }
    ScratchDir dir;
    ::mkdir(dir.file("m").c_str(), 0777);
    writeFile(dir.file("m/model.csv"), markov);
    ::mkdir(dir.file("sims").c_str(), 0777);
    writeFile(dir.file("sims/check.csv"), "older\n");
    const ShellResult run = interruptedWhileWriting(dir, "simulate --model m --size 20,20,5 --cell 1 -o sims", "sims", "INT");
    EXPECT_EQ(run.output, "130\n");
    EXPECT_EQ(filesIn(dir.path), (std::map<std::string, std::string>{{"m/model.csv", markov}, {"sims/check.csv", "older\n"}}));
}

TEST(SimulateRun, RefusedWithOneLine) {
    const std::string usage = "Usage: reduzfit simulate --model [AXIS=]DIR (--grid RASTER | --size NX,NY[,NZ] --cell C) -o OUT "
                              "[OPTION]...\nTry 'reduzfit simulate --help' for more information.\n";
    struct Case {
        std::vector<std::string> options;  // after "simulate --model m"
        std::string data;                  // data.csv, when not empty
        std::string err;                   // after "reduzfit: "
    };
    const Case cases[] = {
        {{"--size", "4,4", "--cell", "1", "--condition", "data.csv", "-o", "s"}, "x,y,class\n1,1,c\n",
         "data.csv: class \"c\" is not one of the model's classes"},
        {{"--size", "4,4", "--cell", "1", "--condition", "data.csv", "-o", "s"}, "x,y,class\n4,1,a\n",
         "data.csv: the point (4, 1) lies outside the grid"},
        {{"--size", "4,4", "--cell", "1", "--condition", "data.csv", "-o", "s"}, "x,y,class\n1.2,1.2,a\n1.7,1.4,b\n",
         "data.csv: two data of different classes (a and b) fall in one cell"},
        {{"--size", "10000,10000", "--cell", "1", "-o", "s"}, "",
         "s: 100000000 cells and 1 realizations: more than the 50000000 cells and 2^31 cells over all the realizations a "
         "simulation holds"},
        {{"--size", "4,4", "-o", "s"}, "", "--size needs --cell C, the cells' size\n" + usage},
        {{"--size", "4,0", "--cell", "1", "-o", "s"}, "", "--size takes 2 or 3 numbers above 0 joined by a comma, not \"4,0\"\n" + usage},
        {{"--size", "4,4", "--cell", "1"}, "", "-o OUT is needed: the directory the realizations are written to\n" + usage},
        {{"--size", "4,4", "--cell", "1", "--realizations", "0", "-o", "s"}, "",
         "--realizations must be a whole number from 1 to 1000, not \"0\"\n" + usage},
        // a block of 4 x 4 x 4 cells of 1, from 0 up to 4
        {{"--size", "4,4,4", "--cell", "1", "--condition", "data.csv", "-o", "s"}, "x,y,class\n1,1,a\n",
         "data.csv: has no z column: the grid is a block (x, y, z)"},
        {{"--size", "4,4,4", "--cell", "1", "--condition", "data.csv", "-o", "s"}, "x,y,z,class\n1,1,4,a\n1,1,5,a\n",
         "data.csv: the point (1, 1, 5) lies outside the grid"},
        {{"--size", "4,4,4", "--cell", "1", "--condition", "data.csv", "-o", "s"}, "hole,x,y,elevation,from,to,class\nBH1,9,1,4,0,2,a\n",
         "data.csv: hole BH1: its collar (9, 1) lies outside the grid"},
        {{"--size", "4,4,4", "--cell", "1", "--condition", "data.csv", "-o", "s"}, "hole,x,y,elevation,from,to,class\nBH1,1,1,4,4,8,a\n",
         "data.csv: hole BH1: no logged interval covers the centre of a cell of the grid"},
        {{"--size", "4,4,4", "--cell", "1", "--condition", "data.csv", "-o", "s"}, "hole,x,y,elevation,from,to,class\nBH1,1,1,4,0,1,a\nBH1,1,1,4,1,3,b\n"
         "BH2,1.5,0.5,4,0,2,b\n",
         "data.csv: two data of different classes (a and b) fall in one cell"},
        {{"--size", "4,4", "--cell", "1", "--lateral-ratio", "5", "-o", "s"}, "", "--lateral-ratio goes with a block: --size NX,NY,NZ\n" + usage},
        {{"--size", "4,4,4", "--cell", "1", "--lateral-ratio", "5", "-o", "s"}, "",
         "--lateral-ratio R stretches the model of z=DIR alone: no other --model goes with it\n" + usage},
        {{"--model", "z=m", "--size", "4,4", "--cell", "1", "-o", "s"}, "", "--model z=DIR goes with a block: --size NX,NY,NZ\n" + usage},
        {{"--size", "4,4,4", "--cell", "1,2", "-o", "s"}, "", "--cell takes 1 or 3 numbers for a block, not \"1,2\"\n" + usage},
        {{"--size", "4,4", "--cell", "1", "--condition", "data.csv", "--collars", "data.csv", "-o", "s"}, "x,y,class\n1,1,a\n",
         "--collars goes with a block's logs: --size NX,NY,NZ --condition LOGS\n" + usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        std::map<std::string, std::string> inputs = {{"m/", ""}, {"m/model.csv", markov}};
        if (!c.data.empty()) inputs["data.csv"] = c.data;
        std::map<std::string, std::string> files = inputs;
        files.erase("m/");
        std::vector<std::string> arguments = {"simulate", "--model", "m"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const FitRun run = runFit(arguments, inputs);
        EXPECT_EQ(run.result.err, "reduzfit: " + c.err + (c.err.ends_with("\n") ? "" : "\n"));
        EXPECT_EQ(run.result.status, 2);
        EXPECT_EQ(run.files, files);
    }
    const FitRun missing = runFit({"simulate", "--model", "none", "--size", "2,2", "--cell", "1", "-o", "s"}, {});
    EXPECT_EQ(missing.result.err, "reduzfit: none/model.csv: No such file or directory\n");
    EXPECT_EQ(missing.result.status, 2);
}

}  // namespace
}  // namespace reduz::testing
