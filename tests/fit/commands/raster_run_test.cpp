// `reduzfit measure` of a GeoTIFF written here through GDAL: the bytes of the same map as an
// ESRI ASCII grid in every direction, hand-checked on a 3 x 3 map with NoData, and the class
// names of its table; what is no map of codes is refused with one line and nothing written.

#include <gdal.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fit/fit_run.hpp"

namespace reduz::testing {
namespace {

// A one-band GeoTIFF of cells 10 x 10 (NoData 9 when given) in dir, its rows north first.
void writeTiff(const std::string& path, GDALDataType type, int columns, const std::vector<std::int32_t>& cells,
               bool noData = true, const std::map<int, std::string>& names = {}) {
    GDALAllRegister();
    const int rows = static_cast<int>(cells.size()) / columns;
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), columns, rows, 1, type, nullptr);
    ASSERT_NE(dataset, nullptr);
    std::array<double, 6> transform = {1000, 10, 0, 5000, 0, -10};
    GDALSetGeoTransform(dataset, transform.data());
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    if (noData) GDALSetRasterNoDataValue(band, 9);
    std::vector<std::int32_t> values = cells;
    EXPECT_EQ(GDALRasterIO(band, GF_Write, 0, 0, columns, rows, values.data(), columns, rows, GDT_Int32, 0, 0), CE_None);
    if (!names.empty()) {
        GDALRasterAttributeTableH table = GDALCreateRasterAttributeTable();
        GDALRATCreateColumn(table, "Value", GFT_Integer, GFU_MinMax);
        GDALRATCreateColumn(table, "Class", GFT_String, GFU_Name);
        int row = 0;
        for (const auto& [code, name] : names) {
            GDALRATSetValueAsInt(table, row, 0, code);
            GDALRATSetValueAsString(table, row, 1, name.c_str());
            ++row;
        }
        GDALSetDefaultRAT(band, table);
        GDALDestroyRasterAttributeTable(table);
    }
    GDALClose(dataset);
}

const std::vector<std::int32_t> threeByThree = {1, 1, 2, 2, 9, 2, 1, 2, 2};
const std::string asAscii = "ncols 3\nnrows 3\nxllcorner 1000\nyllcorner 4970\ncellsize 10\nNODATA_value 9\n1 1 2\n2 9 2\n1 2 2\n";

FitRun measureIn(const std::string& name, const std::vector<std::string>& more, bool tiff,
                 const std::map<int, std::string>& names = {}) {
    std::vector<std::string> arguments = {"measure", name, "--step", "10", "--lags", "2"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return runFit(arguments, tiff ? std::map<std::string, std::string>{} : std::map<std::string, std::string>{{name, asAscii}}, {},
                  [&](const ScratchDir& dir) {
                      if (tiff) writeTiff(dir.file(name), GDT_Byte, 3, threeByThree, true, names);
                  });
}

// The README's example, a GeoTIFF whose category names sit beside it, run as the README runs
// it, gives the files shipped beside it.
TEST(RasterRun, ShippedExample) {
    const std::string folder = std::string(REDUZ_SOURCE_DIR) + "/examples/raster/";
    const std::map<std::string, std::string> inputs = {
        {"landcover.tif", readFile(folder + "landcover.tif")},
        {"landcover.tif.aux.xml", readFile(folder + "landcover.tif.aux.xml")}};
    const FitRun run = runFit({"measure", "landcover.tif", "--step", "30", "--lags", "10"}, inputs);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.out, readFile(folder + "console.txt"));
    std::map<std::string, std::string> files = inputs;
    files["measured.csv"] = readFile(folder + "measured.csv");
    files["classes.csv"] = readFile(folder + "classes.csv");
    EXPECT_EQ(run.files, files);
}

TEST(RasterRun, AGeoTiffMeasuresAsItsAsciiGrid) {
    for (const std::string direction : {"east", "west", "north", "south"}) {
        const FitRun tiff = measureIn("map.tif", {"--direction", direction}, true);
        const FitRun ascii = measureIn("map.asc", {"--direction", direction}, false);
        EXPECT_EQ(tiff.result.status, 0) << tiff.result.err;
        EXPECT_EQ(tiff.files.at("measured.csv"), ascii.files.at("measured.csv")) << direction;
        EXPECT_EQ(tiff.files.at("classes.csv"), ascii.files.at("classes.csv")) << direction;
    }
    // by hand, east: rows 1 1 2 / 2 . 2 / 1 2 2; at lag 1, 1->1 once, 1->2 twice, 2->2 once
    const FitRun east = measureIn("map.tif", {}, true);
    EXPECT_EQ(east.files.at("classes.csv"), "class,proportion,length,runs,mean_length\n1,0.375,30,2,15\n2,0.625,50,4,12.5\n");
    const std::string& measured = east.files.at("measured.csv");
    EXPECT_NE(measured.find("\n1,10,1,1,0.3333333333333333,30,10,east,2\n1,10,1,2,0.6666666666666666,30,20,east,2\n"), std::string::npos)
        << measured;
    EXPECT_NE(measured.find("\n1,10,2,1,0,10,0,east,2\n1,10,2,2,1,10,10,east,2\n"), std::string::npos) << measured;
}

TEST(RasterRun, ClassesNamedByTheTable) {
    const FitRun run = measureIn("map.tif", {}, true, {{1, "sand"}, {2, "clay"}, {3, "unused"}});
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_EQ(run.files.at("classes.csv"), "class,proportion,length,runs,mean_length\nsand,0.375,30,2,15\nclay,0.625,50,4,12.5\n");
}

TEST(RasterRun, WhatIsNoMapOfCodesIsRefused) {
    struct Case {
        const char* what;
        GDALDataType type;
        std::vector<std::int32_t> cells;
        std::map<int, std::string> names;
        std::string err;  // after "reduzfit: map.tif: "
    };
    const std::vector<Case> cases = {
        {"a floating-point band", GDT_Float32, threeByThree, {}, "band 1 is Float32: class codes need a band of whole numbers"},
        {"every cell NoData", GDT_Byte, {9, 9, 9}, {}, "every cell is NoData"},
        {"two codes of one name", GDT_Byte, threeByThree, {{1, "sand"}, {2, "sand"}}, "two codes that occur are both named \"sand\""},
    };
    for (const Case& c : cases) {
        const FitRun run = runFit({"measure", "map.tif", "--step", "10"}, {}, {}, [&](const ScratchDir& dir) {
            writeTiff(dir.file("map.tif"), c.type, 3, c.cells, true, c.names);
        });
        EXPECT_EQ(run.result.status, 2) << c.what;
        EXPECT_EQ(run.result.err.rfind("reduzfit: map.tif: " + c.err, 0), 0u) << c.what << ": " << run.result.err;
        EXPECT_EQ(run.result.err.find('\n'), run.result.err.size() - 1) << c.what;
        EXPECT_EQ(run.files.count("measured.csv"), 0u) << c.what;
    }
}

}  // namespace
}  // namespace reduz::testing
