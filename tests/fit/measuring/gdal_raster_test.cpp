// The raster reader: rasters written here through GDAL come back row by row, north first, as
// they were written, with their georeference, NoData and class names; what it cannot use is
// refused in one line naming the file.

#include <gdal.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fit/measuring/gdal_raster.hpp"
#include "fit/refusal.hpp"
#include "support/scratch.hpp"

namespace reduz::fit {
namespace {

using testing::refusal;
using testing::ScratchDir;

void must(CPLErr result) { ASSERT_EQ(result, CE_None) << CPLGetLastErrorMsg(); }

struct Written {
    GDALDataType type = GDT_Byte;
    int columns = 3;
    int rows = 3;
    std::vector<std::int64_t> cells = {};  // as stored, the first row first; a UInt64 band's as their bits
    std::array<double, 6> transform = {500000, 30, 0, 4100000, 0, -20};  // all 0: no georeference
    std::vector<const char*> options = {};  // GDAL's creation options
    int bands = 1;
};

// The raster, still open, for a test to add to before it closes it.
GDALDatasetH create(const std::string& path, const Written& w) {
    GDALAllRegister();
    std::vector<const char*> options = w.options;
    options.push_back(nullptr);
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), w.columns, w.rows, w.bands, w.type,
                                      const_cast<char**>(options.data()));
    EXPECT_NE(dataset, nullptr) << CPLGetLastErrorMsg();
    if (w.transform != std::array<double, 6>{}) must(GDALSetGeoTransform(dataset, const_cast<double*>(w.transform.data())));
    std::vector<std::int64_t> cells = w.cells;
    const bool signedByte = !w.options.empty() && std::string(w.options[0]) == "PIXELTYPE=SIGNEDBYTE";
    for (std::int64_t& cell : cells) cell = signedByte ? static_cast<std::uint8_t>(cell) : cell;
    if (cells.size() == static_cast<std::size_t>(w.columns) * static_cast<std::size_t>(w.rows)) {
        must(GDALRasterIO(GDALGetRasterBand(dataset, 1), GF_Write, 0, 0, w.columns, w.rows, cells.data(), w.columns, w.rows,
                          w.type == GDT_UInt64 ? GDT_UInt64 : GDT_Int64, 0, 0));
    }
    return dataset;
}

void write(const std::string& path, const Written& w) { GDALClose(create(path, w)); }

// Codes spread over the given ones, unevenly along rows and columns.
std::vector<std::int64_t> pattern(const std::vector<std::int64_t>& codes, int columns, int rows) {
    std::vector<std::int64_t> cells;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) cells.push_back(codes[static_cast<std::size_t>(r * 7 + c * 3 + (r * c) % 5) % codes.size()]);
    }
    return cells;
}

// Every row's codes, NoData cells as -1; the rows must come in order.
std::vector<std::int64_t> readRows(const std::string& path) {
    std::vector<std::int64_t> cells;
    long long next = 0;
    readRasterRows(path, [&](long long row, std::span<const std::int64_t> codes, std::span<const std::uint8_t> isNoData) {
        EXPECT_EQ(row, next++) << path;
        for (std::size_t c = 0; c < codes.size(); ++c) cells.push_back(isNoData[c] != 0 ? -1 : codes[c]);
    });
    return cells;
}

// Every row comes back as written, north first and west first, whatever the type, the blocks and
// the order in which the file stores rows and columns.
TEST(GdalRaster, RowsComeBackAsWrittenNorthToSouth) {
    const std::vector<const char*> tiled = {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16"};
    const std::array<double, 6> southUp = {0, 2, 0, 100, 0, 5};
    const std::array<double, 6> eastToWest = {100, -2, 0, 100, 0, -5};
    struct Case {
        GDALDataType type;
        std::vector<std::int64_t> codes;
        std::vector<const char*> options;
        std::array<double, 6> transform = {0, 2, 0, 100, 0, -5};
        int columns = 40;
        int rows = 30;
    };
    const Case cases[] = {
        {GDT_Byte, {0, 7, 255}, tiled},
        {GDT_Byte, {0, 7, 255}, {}},  // striped
        {GDT_Byte, {-128, -1, 0, 127}, {"PIXELTYPE=SIGNEDBYTE"}},
        {GDT_UInt16, {0, 65535, 300}, tiled, southUp},
        {GDT_Int16, {-32768, 32767, -1}, tiled, eastToWest},
        {GDT_UInt32, {0, 4294967295, 12}, {}, southUp},
        {GDT_Int32, {-2147483648LL, 2147483647, 5}, tiled, {}},  // no georeference
        {GDT_UInt64, {0, INT64_MAX, 9007199254740993}, tiled},
        {GDT_Int64, {INT64_MIN, INT64_MAX, 9007199254740993, 9007199254740992}, tiled, southUp},
        // one block of more than a strip's 16 MiB, read in parts
        {GDT_Int64, {1, 2, 3, 4, 5}, {"COMPRESS=DEFLATE", "BLOCKYSIZE=1100"}, southUp, 2048, 1100},
        {GDT_Int64, {1, 2, 3, 4, 5}, {"COMPRESS=DEFLATE", "BLOCKYSIZE=1100"}, {0, 1, 0, 0, 0, -1}, 2048, 1100},
    };
    for (const Case& c : cases) {
        const ScratchDir dir;
        const Written w{c.type, c.columns, c.rows, pattern(c.codes, c.columns, c.rows), c.transform, c.options};
        write(dir.file("map.tif"), w);
        std::vector<std::int64_t> expected;
        for (int r = 0; r < c.rows; ++r) {
            const int stored = c.transform[5] > 0 ? c.rows - 1 - r : r;
            for (int k = 0; k < c.columns; ++k) {
                expected.push_back(w.cells[static_cast<std::size_t>(stored * c.columns + (c.transform[1] < 0 ? c.columns - 1 - k : k))]);
            }
        }
        EXPECT_TRUE(readRows(dir.file("map.tif")) == expected) << GDALGetDataTypeName(c.type) << " " << c.codes.size();
    }
}

// NoData is what the band's cells can hold; the file's own mask marks cells too.
TEST(GdalRaster, NoDataAndTheMaskMarkCells) {
    struct Case {
        GDALDataType type;
        double noData;  // NaN: none
        bool mask;      // the mask hides the middle cell
        std::optional<std::int64_t> shown;
        std::vector<std::int64_t> codes;  // of the cells 5, 0, -1, 255 as the type holds them (a Byte -1 as 0); NoData -1
    };
    const double none = std::nan("");
    const Case cases[] = {
        {GDT_Byte, 255, false, 255, {5, 0, 0, -1}},
        {GDT_Byte, -9999, false, std::nullopt, {5, 0, 0, 255}},
        {GDT_Byte, 0.5, false, std::nullopt, {5, 0, 0, 255}},
        {GDT_Int16, -1, true, -1, {5, -1, -1, 255}},
        {GDT_Byte, none, true, std::nullopt, {5, -1, 0, 255}},
        {GDT_UInt64, none, false, std::nullopt, {5, 0, -1, 255}},  // NoData 2^64 - 1, set below
    };
    for (const Case& c : cases) {
        const ScratchDir dir;
        GDALDatasetH dataset = create(dir.file("map.tif"), {c.type, 4, 1, {5, 0, -1, 255}});
        GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
        if (!std::isnan(c.noData)) must(GDALSetRasterNoDataValue(band, c.noData));
        if (c.type == GDT_UInt64) must(GDALSetRasterNoDataValueAsUInt64(band, UINT64_MAX));
        if (c.mask) {
            must(GDALCreateMaskBand(band, GMF_PER_DATASET));
            const std::uint8_t valid[] = {255, 0, 255, 255};
            must(GDALRasterIO(GDALGetMaskBand(band), GF_Write, 0, 0, 4, 1, const_cast<std::uint8_t*>(valid), 4, 1, GDT_Byte, 0, 0));
        }
        GDALClose(dataset);
        EXPECT_EQ(openRaster(dir.file("map.tif")).noData, c.shown) << c.noData;
        EXPECT_EQ(readRows(dir.file("map.tif")), c.codes) << c.noData;
    }
}

// Names from the raster attribute table, else the category names; a table that contradicts
// itself or gives no codes is refused.
TEST(GdalRaster, ClassNamesFromTheTableOrTheCategories) {
    struct Column {
        const char* name;
        GDALRATFieldType type;
        GDALRATFieldUsage usage;
    };
    struct Case {
        std::vector<Column> columns;  // of the values, then of the names; no values: binned from 10
        std::vector<std::pair<double, const char*>> rows;
        std::vector<std::int64_t> codes;
        std::vector<std::string> names;
        std::string error;  // after "FILE: "
    };
    const Column minMax{"code", GFT_Integer, GFU_MinMax};
    const Column value{"VALUE", GFT_Real, GFU_Generic};
    const Column name{"label", GFT_String, GFU_Name};
    const Column className{"Class_Names", GFT_String, GFU_Generic};
    const Case cases[] = {
        {{minMax, name}, {{3, "clay"}, {2, " "}, {1, "sand "}, {0, "no data"}}, {1, 3}, {"sand", "clay"}, ""},
        {{value, className}, {{-4, "silt"}, {7, "gravel"}, {7, "gravel"}}, {-4, 7}, {"silt", "gravel"}, ""},
        {{className}, {{0, "a"}, {0, ""}, {0, "c"}}, {10, 12}, {"a", "c"}, ""},
        {{}, {}, {0, 2}, {"water", "forest"}, ""},  // no table: the categories "water", "", "forest"
        {{minMax, name}, {{3, "clay"}, {3, "sand"}}, {}, {}, "its attribute table names code 3 twice: \"clay\" on row 1, \"sand\" on row 2"},
        {{value, className}, {{1.5, "clay"}}, {}, {}, "its attribute table's code on row 1 (1.5, \"clay\") is not a whole number of 64 bits"},
        {{{"n", GFT_Integer, GFU_Generic}, name}, {{1, "clay"}}, {}, {},
         "its attribute table names classes in column \"label\" but gives no codes: no column of usage MinMax nor one named Value"},
    };
    for (const Case& c : cases) {
        const ScratchDir dir;
        GDALDatasetH dataset = create(dir.file("map.tif"), {});
        GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
        if (c.columns.empty()) {
            const char* categories[] = {"water", "", "forest", nullptr};
            must(GDALSetRasterCategoryNames(band, const_cast<char**>(categories)));
        } else {
            must(GDALSetRasterNoDataValue(band, 0));  // which the table's "no data" names
            GDALRasterAttributeTableH table = GDALCreateRasterAttributeTable();
            for (const Column& column : c.columns) must(GDALRATCreateColumn(table, column.name, column.type, column.usage));
            if (c.columns.size() == 1) must(GDALRATSetLinearBinning(table, 10, 1));
            for (int r = 0; r < static_cast<int>(c.rows.size()); ++r) {
                if (c.columns.size() == 2) GDALRATSetValueAsDouble(table, r, 0, c.rows[static_cast<std::size_t>(r)].first);
                GDALRATSetValueAsString(table, r, static_cast<int>(c.columns.size()) - 1, c.rows[static_cast<std::size_t>(r)].second);
            }
            must(GDALSetDefaultRAT(band, table));
            GDALDestroyRasterAttributeTable(table);
        }
        GDALClose(dataset);
        RasterInfo info;
        const std::string error = refusal([&] { info = openRaster(dir.file("map.tif")); });
        EXPECT_EQ(error, c.error.empty() ? "" : dir.file("map.tif") + ": " + c.error);
        EXPECT_EQ(info.codes, c.codes) << c.error;
        EXPECT_EQ(info.names, c.names) << c.error;
    }
}

TEST(GdalRaster, RefusesWhatIsNoMapOfClassCodes) {
    const std::string memory = "MEM:::DATAPOINTER=0x1,PIXELS=1,LINES=1";
    struct Case {
        const char* name;
        std::string error;  // after "FILE: "; a "*" at its end stands for the rest of GDAL's message
        bool reading = false;
    };
    const Case cases[] = {
        {"float.tif", "band 1 is Float32: class codes need a band of whole numbers, even where every value is whole "
                      "(gdal_translate -ot Int32 makes one)"},
        {"complex.tif", "band 1 is CInt16, a complex type: class codes need a band of whole numbers"},
        {"bands.tif", "has 2 bands: a map is one band of class codes (gdal_translate -b 1 takes the first)"},
        {"rotated.tif", "its georeference is rotated or sheared (geotransform 0, 1, 0.5, 0, 0, -1): a map's rows must run west "
                        "to east (gdalwarp makes one that does)"},
        {"text.txt", "not recognized as a supported file format."},
        {"missing.tif", "No such file or directory"},
        {"empty.asc", "Invalid dataset dimensions : 0 x 1"},
        {"beyond.tif", "row 2, column 1: code 18446744073709551615 is beyond the 64-bit signed whole numbers", true},
        {"cut.tif", "rows 1 to 256: *", true},
        {"memory.vrt", "row 1: *", true},  // rather than reading at address 1
    };
    const ScratchDir dir;
    write(dir.file("float.tif"), {.type = GDT_Float32, .cells = pattern({1, 2}, 3, 3)});
    write(dir.file("complex.tif"), {.type = GDT_CInt16});
    write(dir.file("bands.tif"), {.bands = 2});
    write(dir.file("rotated.tif"), {.transform = {0, 1, 0.5, 0, 0, -1}});
    testing::writeFile(dir.file("text.txt"), "ncols 3\nnot a raster\n");
    testing::writeFile(dir.file("empty.asc"), "ncols 0\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n");
    write(dir.file("beyond.tif"), {.type = GDT_UInt64, .columns = 1, .rows = 2, .cells = {1, -1}});
    write(dir.file("cut.tif"), {.columns = 300, .rows = 300, .cells = pattern({1, 2, 3, 4, 5, 6, 7, 8, 9}, 300, 300),
                                .options = {"TILED=YES", "COMPRESS=DEFLATE"}});
    std::filesystem::resize_file(dir.file("cut.tif"), std::filesystem::file_size(dir.file("cut.tif")) / 2);
    testing::writeFile(dir.file("memory.vrt"),
                       "<VRTDataset rasterXSize=\"1\" rasterYSize=\"1\"><VRTRasterBand dataType=\"Byte\" band=\"1\"><SimpleSource>"
                       "<SourceFilename>" + memory + "</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>");
    for (const Case& c : cases) {
        const std::string path = dir.file(c.name);
        const std::string error = refusal([&] { c.reading ? static_cast<void>(readRows(path)) : static_cast<void>(openRaster(path)); });
        const std::string expected = path + ": " + c.error;
        if (expected.back() == '*') {
            EXPECT_EQ(error.substr(0, expected.size() - 1), expected.substr(0, expected.size() - 1)) << error;
        } else {
            EXPECT_EQ(error, expected);
        }
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    EXPECT_EQ(refusal([&] { openRaster(memory); }), memory + ": No such file or directory");
}

// A GeoTIFF's georeference and NoData, and GDAL's own reading of an ESRI ASCII grid of the same
// cells giving the same; reading writes nothing beside them.
TEST(GdalRaster, AGeoTiffAndItsAsciiGridReadAlike) {
    const ScratchDir dir;
    testing::writeFile(dir.file("map.asc"),
                       "ncols 4\nnrows 2\nxllcorner 1000\nyllcorner 2000\ndx 30\ndy 20\nNODATA_value -9999\n1 1 -9999 3\n2 2 2 7\n");
    GDALDatasetH dataset = create(dir.file("map.tif"), {GDT_Int32, 4, 2, {1, 1, -9999, 3, 2, 2, 2, 7}, {1000, 30, 0, 2040, 0, -20}});
    must(GDALSetRasterNoDataValue(GDALGetRasterBand(dataset, 1), -9999));
    GDALClose(dataset);
    const auto before = testing::filesIn(dir.path);
    for (const char* name : {"map.tif", "map.asc"}) {
        const RasterInfo info = openRaster(dir.file(name));
        EXPECT_EQ((std::array{info.columns, info.rows}), (std::array{4LL, 2LL})) << name;
        EXPECT_EQ((std::array{info.cellWidth, info.cellHeight, info.originX, info.originY}), (std::array{30., 20., 1000., 2040.}))
            << name;
        EXPECT_TRUE(info.georeferenced) << name;
        EXPECT_EQ(info.noData, -9999) << name;
        EXPECT_EQ(info.type, "Int32") << name;
        EXPECT_EQ(readRows(dir.file(name)), (std::vector<std::int64_t>{1, 1, -1, 3, 2, 2, 2, 7})) << name;
    }
    EXPECT_EQ(testing::filesIn(dir.path), before);
}

}  // namespace
}  // namespace reduz::fit
