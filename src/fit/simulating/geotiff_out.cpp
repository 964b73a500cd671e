#include "fit/simulating/geotiff_out.hpp"

#include <gdal.h>
#include <cpl_vsi.h>

#include <algorithm>
#include <array>
#include <atomic>

#include "fit/base/failures.hpp"

namespace reduz::fit {

std::string geoTiff(const SimGrid& grid, const std::vector<long long>& codes) {
    GDALAllRegister();
    // A name of its own for each map, as realizations may be written from several threads.
    static std::atomic<long> made{0};
    const std::string path = "/vsimem/reduzfit-" + std::to_string(made++) + ".tif";
    const bool bytes = std::all_of(codes.begin(), codes.end(), [](long long c) { return c >= 0 && c <= 255; });
    const char* options[] = {"COMPRESS=DEFLATE", nullptr};
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), static_cast<int>(grid.columns),
                                      static_cast<int>(grid.rows), 1, bytes ? GDT_Byte : GDT_Int32, const_cast<char**>(options));
    if (dataset == nullptr) throw OutputError("cannot make a GeoTIFF: " + std::string(CPLGetLastErrorMsg()));
    std::array<double, 6> transform = {grid.west, grid.cellX, 0, grid.south + static_cast<double>(grid.rows) * grid.cellY, 0, -grid.cellY};
    GDALSetGeoTransform(dataset, transform.data());
    if (!grid.projection.empty()) GDALSetProjection(dataset, grid.projection.c_str());
    std::vector<std::int32_t> values(codes.begin(), codes.end());
    const CPLErr written = GDALRasterIO(GDALGetRasterBand(dataset, 1), GF_Write, 0, 0, static_cast<int>(grid.columns),
                                        static_cast<int>(grid.rows), values.data(), static_cast<int>(grid.columns),
                                        static_cast<int>(grid.rows), GDT_Int32, 0, 0);
    GDALClose(dataset);
    vsi_l_offset length = 0;
    GByte* buffer = VSIGetMemFileBuffer(path.c_str(), &length, TRUE);
    if (written != CE_None || buffer == nullptr) {
        if (buffer != nullptr) VSIFree(buffer);
        throw OutputError("cannot make a GeoTIFF: " + std::string(CPLGetLastErrorMsg()));
    }
    std::string text(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    VSIFree(buffer);
    return text;
}

}  // namespace reduz::fit
