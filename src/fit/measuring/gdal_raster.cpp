#include "fit/measuring/gdal_raster.hpp"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_priv.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>

#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/text_case.hpp"

namespace reduz::fit {

namespace {

// GDAL's drivers, registered once for the process. The MEM driver loses its opening by name:
// "MEM:::DATAPOINTER=..." reads memory at whatever address the name gives, on the command line
// or as a VRT file's source. Datasets that GDAL makes in memory for itself are untouched.
void registerDrivers() {
    static const bool registered = [] {
        GDALAllRegister();
        if (GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM")) {
            memory->pfnOpen = nullptr;
            memory->pfnIdentify = nullptr;
        }
        return true;
    }();
    static_cast<void>(registered);
}

// While it lives, GDAL's reports on this thread reach no terminal: the run's stderr stays the
// one line of its InputError. The first failure since the last clear() is kept for that line,
// since it is the cause and the later ones its consequences.
struct QuietGdal {
    QuietGdal() { CPLPushErrorHandlerEx(keep, this); }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;

    void clear() { failure.clear(); }
    static void CPL_STDCALL keep(CPLErr kind, CPLErrorNum, const char* message) {
        auto* quiet = static_cast<QuietGdal*>(CPLGetErrorHandlerUserData());
        if (kind >= CE_Failure && quiet->failure.empty() && message != nullptr) quiet->failure = message;
    }

    std::string failure;
};

// GDAL's message as the rest of the line after "FILE: ": on one line, without the file's name
// GDAL puts in front of it.
//   "map.tif: No such file or directory"              -> "No such file or directory"
//   "`map.txt' not recognized as a supported ..."     -> "not recognized as a supported ..."
//   "map.tif, band 1: IReadBlock failed ..."          -> "band 1: IReadBlock failed ..."
std::string gdalMessage(std::string_view message, std::string_view file) {
    std::string quoted = "`";
    quoted += file;
    quoted += "' ";
    for (const std::string& front : {std::string(file) + ": ", std::string(file) + ", ", quoted}) {
        if (message.substr(0, front.size()) == front) {
            message.remove_prefix(front.size());
            break;
        }
    }
    std::string line;
    for (const char c : message) {
        const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (!blank) {
            line += c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line.empty() ? "GDAL failed without saying why" : line;
}

struct CloseDataset {
    void operator()(void* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<void, CloseDataset>;

Dataset openDataset(const std::string& file, QuietGdal& gdal) {
    registerDrivers();
    // GDAL takes the name up to a NUL: it would open another file than the one named.
    if (file.find('\0') != std::string::npos) failInput(file, 0, 0, "a file name holds no NUL byte");
    gdal.clear();
    Dataset dataset(GDALOpenEx(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr,
                               nullptr, nullptr));
    if (!dataset) failInput(file, 0, 0, gdalMessage(gdal.failure, file));
    return dataset;
}

// What the reading needs besides what RasterInfo tells.
struct Band {
    GDALRasterBandH handle = nullptr;
    GDALDataType type = GDT_Unknown;
    bool signedByte = false;                  // a Byte band whose cells are -128 to 127
    std::optional<std::int64_t> noData;       // as the cells of every type but UInt64 are compared
    std::optional<std::uint64_t> noDataHigh;  // as a UInt64 band's are
    bool masked = false;                      // the file's own mask tells NoData cells too
    bool southUp = false;                     // the file's first row is the southern one
    bool eastToWest = false;                  // a row's first cell is the eastern one
};

struct Raster {
    RasterInfo info;
    Band band;
};

// The types whose cells are whole codes, each with its range.
struct WholeType {
    GDALDataType type;
    double lowest;
    double highest;
};
constexpr std::array<WholeType, 7> wholeTypes = {{
    {GDT_Byte, 0, 255},
    {GDT_UInt16, 0, 65535},
    {GDT_Int16, -32768, 32767},
    {GDT_UInt32, 0, 4294967295.0},
    {GDT_Int32, -2147483648.0, 2147483647},
    {GDT_UInt64, 0, 0x1p64},
    {GDT_Int64, -0x1p63, 0x1p63},
}};

// The band's type, refused unless its cells are whole codes.
void readType(const std::string& file, Band& band, RasterInfo& info) {
    band.type = GDALGetRasterDataType(band.handle);
    const std::string name = GDALGetDataTypeName(band.type) != nullptr ? GDALGetDataTypeName(band.type) : "of no known type";
    if (GDALDataTypeIsComplex(band.type)) {
        failInput(file, 0, 0, "band 1 is " + name + ", a complex type: class codes need a band of whole numbers");
    }
    if (GDALDataTypeIsFloating(band.type)) {
        failInput(file, 0, 0, "band 1 is " + name + ": class codes need a band of whole numbers, even where every value is whole (gdal_translate -ot Int32 makes one)");
    }
#if GDAL_VERSION_NUM >= GDAL_COMPUTE_VERSION(3, 7, 0)
    if (band.type == GDT_Int8) {
        info.type = name;
        return;
    }
#endif
    if (std::none_of(wholeTypes.begin(), wholeTypes.end(), [&](const WholeType& t) { return t.type == band.type; })) {
        failInput(file, 0, 0, "band 1 is " + name + ", which is not read as class codes");
    }
    // Before GDAL 3.7, signed bytes are a Byte band that says so.
    const char* pixels = GDALGetMetadataItem(band.handle, "PIXELTYPE", "IMAGE_STRUCTURE");
    band.signedByte = band.type == GDT_Byte && pixels != nullptr && std::string_view(pixels) == "SIGNEDBYTE";
    info.type = band.signedByte ? "Int8" : name;
}

// The NoData value as the cells are compared with it; none where no cell can hold it.
void readNoData(Band& band, RasterInfo& info) {
    int has = 0;
    if (band.type == GDT_UInt64) {
        const std::uint64_t value = GDALGetRasterNoDataValueAsUInt64(band.handle, &has);
        if (!has) return;
        band.noDataHigh = value;
        if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            info.noData = static_cast<std::int64_t>(value);
        }
        return;
    }
    if (band.type == GDT_Int64) {
        const std::int64_t value = GDALGetRasterNoDataValueAsInt64(band.handle, &has);
        if (has) band.noData = info.noData = value;
        return;
    }
    const double value = GDALGetRasterNoDataValue(band.handle, &has);
    if (!has || !std::isfinite(value) || value != std::trunc(value)) return;
    double lowest = -128;
    double highest = 127;
    for (const WholeType& t : wholeTypes) {
        if (t.type == band.type && !band.signedByte) {
            lowest = t.lowest;
            highest = t.highest;
        }
    }
    if (value < lowest || value > highest) return;
    band.noData = info.noData = static_cast<std::int64_t>(value);
}

std::string geotransformText(const double (&transform)[6]) {
    std::string text;
    for (const double term : transform) {
        if (!text.empty()) text += ", ";
        text += shortest(term);
    }
    return text;
}

// Cells, corner and order from the georeference; a raster without one is taken as it is stored.
void readGeoreference(const std::string& file, GDALDatasetH dataset, Band& band, RasterInfo& info) {
    double transform[6] = {0, 1, 0, 0, 0, 1};
    info.georeferenced = GDALGetGeoTransform(dataset, transform) == CE_None;
    if (!info.georeferenced) {
        if (GDALGetGCPCount(dataset) > 0) {
            failInput(file, 0, 0, "is georeferenced by control points only: its cells have no one size (gdalwarp makes a grid of it)");
        }
        return;
    }
    if (!std::all_of(std::begin(transform), std::end(transform), [](double t) { return std::isfinite(t); })) {
        failInput(file, 0, 0, "its geotransform (" + geotransformText(transform) + ") is not finite");
    }
    if (transform[2] != 0 || transform[4] != 0) {
        failInput(file, 0, 0, "its georeference is rotated or sheared (geotransform " + geotransformText(transform) +
                                  "): a map's rows must run west to east (gdalwarp makes one that does)");
    }
    if (transform[1] == 0 || transform[5] == 0) {
        failInput(file, 0, 0, "its cells are " + shortest(std::abs(transform[1])) + " x " + shortest(std::abs(transform[5])) +
                                  " (geotransform " + geotransformText(transform) + ")");
    }
    band.eastToWest = transform[1] < 0;
    band.southUp = transform[5] > 0;
    info.cellWidth = std::abs(transform[1]);
    info.cellHeight = std::abs(transform[5]);
    info.originX = band.eastToWest ? transform[0] + static_cast<double>(info.columns) * transform[1] : transform[0];
    info.originY = band.southUp ? transform[3] + static_cast<double>(info.rows) * transform[5] : transform[3];
    if (!std::isfinite(info.originX) || !std::isfinite(info.originY)) {
        failInput(file, 0, 0, "its geotransform (" + geotransformText(transform) + ") puts a corner beyond the largest number");
    }
}

std::string trimmed(const char* text) {
    std::string_view name = text != nullptr ? text : "";
    const std::size_t start = name.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return "";
    return std::string(name.substr(start, name.find_last_not_of(" \t\r\n") - start + 1));
}

struct NamedCode {
    std::int64_t code;
    std::string name;
    long row;  // in the table, from 1
};

bool holdsClassOrName(std::string_view column) {
    std::string lower(column);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower.find("class") != std::string::npos || lower.find("name") != std::string::npos;
}

// The classes the raster attribute table names; none when it has no column of names.
std::optional<std::vector<NamedCode>> tableClasses(const std::string& file, GDALRasterAttributeTableH table) {
    int names = GDALRATGetColOfUsage(table, GFU_Name);
    const int columns = GDALRATGetColumnCount(table);
    for (int c = 0; c < columns && names < 0; ++c) {
        if (GDALRATGetTypeOfCol(table, c) == GFT_String && holdsClassOrName(GDALRATGetNameOfCol(table, c))) names = c;
    }
    if (names < 0) return std::nullopt;
    int values = GDALRATGetColOfUsage(table, GFU_MinMax);
    for (int c = 0; c < columns && values < 0; ++c) {
        if (sameIgnoringCase(GDALRATGetNameOfCol(table, c), "value")) values = c;
    }
    const std::string column = GDALRATGetNameOfCol(table, names);
    double first = 0;
    double width = 0;
    const bool binned = values < 0 && GDALRATGetLinearBinning(table, &first, &width);
    if (values < 0 && !binned) {
        failInput(file, 0, 0, "its attribute table names classes in column \"" + column +
                                  "\" but gives no codes: no column of usage MinMax nor one named Value");
    }
    if (binned && (width != 1 || first != std::trunc(first) || std::abs(first) > 0x1p52)) {
        failInput(file, 0, 0, "its attribute table names classes in column \"" + column + "\" by bins of width " +
                                  shortest(width) + " from " + shortest(first) + ", not by whole codes");
    }
    const bool wholeValues = values >= 0 && GDALRATGetTypeOfCol(table, values) == GFT_Integer;
    if (values >= 0 && !wholeValues && GDALRATGetTypeOfCol(table, values) != GFT_Real) {
        failInput(file, 0, 0, "its attribute table's codes in column \"" + std::string(GDALRATGetNameOfCol(table, values)) +
                                  "\" are text, not numbers");
    }
    std::vector<NamedCode> classes;
    const int rows = GDALRATGetRowCount(table);
    for (int r = 0; r < rows; ++r) {
        std::string name = trimmed(GDALRATGetValueAsString(table, r, names));
        if (name.empty()) continue;
        std::int64_t code = 0;
        if (binned) {
            code = static_cast<std::int64_t>(first) + r;
        } else if (wholeValues) {
            code = GDALRATGetValueAsInt(table, r, values);
        } else {
            const double value = GDALRATGetValueAsDouble(table, r, values);
            if (!(value == std::trunc(value) && value >= -0x1p63 && value < 0x1p63)) {
                failInput(file, 0, 0, "its attribute table's code on row " + std::to_string(r + 1) + " (" + shortest(value) +
                                          ", \"" + name + "\") is not a whole number of 64 bits");
            }
            code = static_cast<std::int64_t>(value);
        }
        classes.push_back({code, std::move(name), r + 1});
    }
    return classes;
}

// The band's category names: the i-th names code i.
std::vector<NamedCode> categoryClasses(GDALRasterBandH band) {
    std::vector<NamedCode> classes;
    char** names = GDALGetRasterCategoryNames(band);
    for (long i = 0; names != nullptr && names[i] != nullptr; ++i) {
        std::string name = trimmed(names[i]);
        if (!name.empty()) classes.push_back({i, std::move(name), i + 1});
    }
    return classes;
}

void readClasses(const std::string& file, const Band& band, RasterInfo& info) {
    std::optional<std::vector<NamedCode>> classes;
    if (GDALRasterAttributeTableH table = GDALGetDefaultRAT(band.handle)) classes = tableClasses(file, table);
    if (!classes) classes = categoryClasses(band.handle);
    std::stable_sort(classes->begin(), classes->end(), [](const NamedCode& a, const NamedCode& b) { return a.code < b.code; });
    for (std::size_t i = 0; i < classes->size(); ++i) {
        const NamedCode& named = (*classes)[i];
        if (info.noData && named.code == *info.noData) continue;  // what names NoData names no class
        if (!info.codes.empty() && info.codes.back() == named.code) {
            const NamedCode& before = (*classes)[i - 1];
            if (named.name == info.names.back()) continue;
            failInput(file, 0, 0, "its attribute table names code " + std::to_string(named.code) + " twice: \"" + before.name +
                                      "\" on row " + std::to_string(before.row) + ", \"" + named.name + "\" on row " +
                                      std::to_string(named.row));
        }
        info.codes.push_back(named.code);
        info.names.push_back(named.name);
    }
}

Raster describe(const std::string& file, GDALDatasetH dataset) {
    Raster raster;
    RasterInfo& info = raster.info;
    Band& band = raster.band;
    const int bands = GDALGetRasterCount(dataset);
    if (bands == 0) {
        const char* first = CSLFetchNameValue(GDALGetMetadata(dataset, "SUBDATASETS"), "SUBDATASET_1_NAME");
        if (first != nullptr) {
            failInput(file, 0, 0, "has no band of its own: name one of its subdatasets, such as \"" + std::string(first) + "\"");
        }
        failInput(file, 0, 0, "has no raster band");
    }
    if (bands > 1) {
        failInput(file, 0, 0, "has " + std::to_string(bands) + " bands: a map is one band of class codes (gdal_translate -b 1 takes the first)");
    }
    band.handle = GDALGetRasterBand(dataset, 1);
    info.columns = GDALGetRasterXSize(dataset);
    info.rows = GDALGetRasterYSize(dataset);
    if (info.columns <= 0 || info.rows <= 0) {
        failInput(file, 0, 0, "has no cells: " + std::to_string(info.columns) + " x " + std::to_string(info.rows));
    }
    readType(file, band, info);
    readGeoreference(file, dataset, band, info);
    const char* projection = GDALGetProjectionRef(dataset);
    info.projection = projection != nullptr ? projection : "";
    readNoData(band, info);
    const int maskFlags = GDALGetMaskFlags(band.handle);
    band.masked = (maskFlags & GMF_PER_DATASET) != 0 && (maskFlags & (GMF_ALL_VALID | GMF_NODATA | GMF_ALPHA)) == 0;
    GDALGetBlockSize(band.handle, &info.blockWidth, &info.blockHeight);
    info.blockWidth = std::clamp(info.blockWidth, 1, static_cast<int>(info.columns));
    info.blockHeight = std::clamp(info.blockHeight, 1, static_cast<int>(info.rows));
    readClasses(file, band, info);
    return raster;
}

std::string rowsText(long long from, long long to) {
    return from + 1 == to ? "row " + std::to_string(to) : "rows " + std::to_string(from + 1) + " to " + std::to_string(to);
}

// Rows [from, to) of a band, as the file stores them, into `cells`.
void readStrip(const std::string& file, QuietGdal& gdal, GDALRasterBandH band, GDALDataType type, long long columns,
               long long from, long long to, void* cells) {
    gdal.clear();
    const int width = static_cast<int>(columns);
    const int height = static_cast<int>(to - from);
    if (GDALRasterIO(band, GF_Read, 0, static_cast<int>(from), width, height, cells, width, height, type, 0, 0) != CE_None) {
        failInput(file, 0, 0, rowsText(from, to) + ": " + gdalMessage(gdal.failure, file));
    }
}

// A UInt64 code that no 64-bit signed code holds, where it stands in its row.
struct Beyond {
    std::size_t column;
    std::uint64_t code;
};

// One row of cells of type T into codes and flags; a code beyond the 64-bit signed numbers stops it.
template <typename T>
std::optional<Beyond> convertRow(const std::byte* cells, const Band& band, std::span<std::int64_t> codes,
                                      std::span<std::uint8_t> isNoData) {
    for (std::size_t c = 0; c < codes.size(); ++c) {
        T value;
        std::memcpy(&value, cells + c * sizeof(T), sizeof(T));
        bool noData = false;
        if constexpr (std::is_same_v<T, std::uint64_t>) {
            noData = band.noDataHigh && value == *band.noDataHigh;
            if (!noData && value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return Beyond{c, value};
        } else {
            noData = band.noData && static_cast<std::int64_t>(value) == *band.noData;
        }
        codes[c] = noData ? 0 : static_cast<std::int64_t>(value);
        isNoData[c] = noData ? 1 : 0;
    }
    return std::nullopt;
}

std::optional<Beyond> convertRow(const std::byte* cells, const Band& band, std::span<std::int64_t> codes,
                                 std::span<std::uint8_t> isNoData) {
    switch (band.type) {
        case GDT_Byte:
            return band.signedByte ? convertRow<std::int8_t>(cells, band, codes, isNoData)
                                   : convertRow<std::uint8_t>(cells, band, codes, isNoData);
#if GDAL_VERSION_NUM >= GDAL_COMPUTE_VERSION(3, 7, 0)
        case GDT_Int8: return convertRow<std::int8_t>(cells, band, codes, isNoData);
#endif
        case GDT_UInt16: return convertRow<std::uint16_t>(cells, band, codes, isNoData);
        case GDT_Int16: return convertRow<std::int16_t>(cells, band, codes, isNoData);
        case GDT_UInt32: return convertRow<std::uint32_t>(cells, band, codes, isNoData);
        case GDT_Int32: return convertRow<std::int32_t>(cells, band, codes, isNoData);
        case GDT_UInt64: return convertRow<std::uint64_t>(cells, band, codes, isNoData);
        case GDT_Int64: return convertRow<std::int64_t>(cells, band, codes, isNoData);
        default: throw ProgramError("a band of type " + std::to_string(band.type) + " was let through to be read");
    }
}

// A strip of cells is at most this large: a block row taller is read in parts.
constexpr long long stripBytes = 16LL << 20;

}  // namespace

RasterInfo openRaster(std::string_view path) {
    const std::string file(path);
    QuietGdal gdal;
    const Dataset dataset = openDataset(file, gdal);
    return describe(file, dataset.get()).info;
}

void readRasterRows(std::string_view path,
                    const std::function<void(long long row, std::span<const std::int64_t> codes,
                                             std::span<const std::uint8_t> isNoData)>& onRow) {
    const std::string file(path);
    QuietGdal gdal;  // outlives the dataset: closing it reports as quietly
    const Dataset dataset = openDataset(file, gdal);
    const Raster raster = describe(file, dataset.get());
    const RasterInfo& info = raster.info;
    const Band& band = raster.band;
    GDALRasterBandH mask = band.masked ? GDALGetMaskBand(band.handle) : nullptr;

    const long long columns = info.columns;
    const long long cellBytes = GDALGetDataTypeSizeBytes(band.type);
    const long long stripRows = std::clamp(stripBytes / (columns * cellBytes), 1LL, static_cast<long long>(info.blockHeight));
    std::vector<std::byte> cells(static_cast<std::size_t>(stripRows * columns * cellBytes));
    std::vector<std::uint8_t> maskCells(mask != nullptr ? static_cast<std::size_t>(stripRows * columns) : 0);
    std::vector<std::int64_t> codes(static_cast<std::size_t>(columns));
    std::vector<std::uint8_t> isNoData(static_cast<std::size_t>(columns));

    // A block row at a time, its strips in order, its rows in order; all backwards for a
    // south-up file. GDAL keeps the blocks it reads until told: each block row is let go once
    // read, so that its cache holds one block row rather than filling towards its limit.
    const long long blockHeight = info.blockHeight;
    const long long blockRows = (info.rows + blockHeight - 1) / blockHeight;
    for (long long i = 0; i < blockRows; ++i) {
        const long long top = (band.southUp ? blockRows - 1 - i : i) * blockHeight;
        const long long bottom = std::min(info.rows, top + blockHeight);
        const long long strips = (bottom - top + stripRows - 1) / stripRows;
        for (long long j = 0; j < strips; ++j) {
            const long long from = top + (band.southUp ? strips - 1 - j : j) * stripRows;
            const long long to = std::min(bottom, from + stripRows);
            readStrip(file, gdal, band.handle, band.type, columns, from, to, cells.data());
            if (mask != nullptr) readStrip(file, gdal, mask, GDT_Byte, columns, from, to, maskCells.data());
            for (long long k = 0; k < to - from; ++k) {
                const long long stored = band.southUp ? to - 1 - k : from + k;
                const long long offset = (stored - from) * columns;
                const std::optional<Beyond> beyond = convertRow(cells.data() + offset * cellBytes, band, codes, isNoData);
                if (beyond) {
                    failInput(file, 0, 0, "row " + std::to_string(stored + 1) + ", column " + std::to_string(beyond->column + 1) +
                                              ": code " + std::to_string(beyond->code) + " is beyond the 64-bit signed whole numbers");
                }
                for (long long c = 0; mask != nullptr && c < columns; ++c) {
                    if (maskCells[static_cast<std::size_t>(offset + c)] == 0) {
                        codes[static_cast<std::size_t>(c)] = 0;
                        isNoData[static_cast<std::size_t>(c)] = 1;
                    }
                }
                if (band.eastToWest) {
                    std::reverse(codes.begin(), codes.end());
                    std::reverse(isNoData.begin(), isNoData.end());
                }
                onRow(band.southUp ? info.rows - 1 - stored : stored, codes, isNoData);
            }
        }
        gdal.clear();
        if (GDALFlushRasterCache(band.handle) != CE_None || (mask != nullptr && GDALFlushRasterCache(mask) != CE_None)) {
            failInput(file, 0, 0, rowsText(top, bottom) + ": " + gdalMessage(gdal.failure, file));
        }
    }
}

}  // namespace reduz::fit
