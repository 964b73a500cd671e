// The raster reader's time and peak memory on a map it makes: a Byte GeoTIFF of patches of five
// codes and a NoData cell every 1000, written a strip at a time so that making it costs little
// memory either. Each command is best run as a process of its own, since the peak (the
// process's largest resident size, getrusage's ru_maxrss) counts from the process's start.
//
//   raster_bench write FILE SIZE striped|tiled   a SIZE x SIZE map: GDAL's own strips, or
//                                                256 x 256 tiles compressed with DEFLATE
//   raster_bench open FILE                       openRaster alone: GDAL loaded, no cell read
//   raster_bench read FILE                       every row streamed, the codes summed

#include <gdal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "fit/measuring/gdal_raster.hpp"

namespace {

long peakKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int write(const char* path, int size, bool tiled) {
    GDALAllRegister();
    const char* tiles[] = {"TILED=YES", "COMPRESS=DEFLATE", nullptr};
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), path, size, size, 1, GDT_Byte,
                                      tiled ? const_cast<char**>(tiles) : nullptr);
    if (dataset == nullptr) return 1;
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    double transform[6] = {500000, 30, 0, 4100000, 0, -30};
    bool written = GDALSetGeoTransform(dataset, transform) == CE_None && GDALSetRasterNoDataValue(band, 255) == CE_None;
    constexpr int strip = 256;
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(strip) * static_cast<std::size_t>(size));
    for (int top = 0; written && top < size; top += strip) {
        const int rows = std::min(strip, size - top);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < size; ++c) {
                const long long cell = static_cast<long long>(top + r) * size + c;
                cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(size) + static_cast<std::size_t>(c)] =
                    cell % 1000 == 0 ? 255 : static_cast<std::uint8_t>(((top + r) / 37 + c / 53 + (c * (top + r)) % 3) % 5);
            }
        }
        written = GDALRasterIO(band, GF_Write, 0, top, size, rows, cells.data(), size, rows, GDT_Byte, 0, 0) == CE_None &&
                  GDALFlushRasterCache(band) == CE_None;
    }
    GDALClose(dataset);
    std::printf("written %s: %d x %d, %s\n", path, size, size, tiled ? "256 x 256 tiles, DEFLATE" : "strips");
    return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 2 ? argv[1] : "";
    try {
        if (command == "write" && argc == 5) return write(argv[2], std::stoi(argv[3]), std::string(argv[4]) == "tiled");
        if (command == "open" && argc == 3) {
            const reduz::fit::RasterInfo info = reduz::fit::openRaster(argv[2]);
            std::printf("opened %lld x %lld, blocks %d x %d; peak %ld KiB\n", info.columns, info.rows, info.blockWidth,
                        info.blockHeight, peakKiB());
            return 0;
        }
        if (command == "read" && argc == 3) {
            const auto start = std::chrono::steady_clock::now();
            long long rows = 0;
            long long noData = 0;
            std::int64_t sum = 0;
            reduz::fit::readRasterRows(argv[2], [&](long long, std::span<const std::int64_t> codes,
                                                    std::span<const std::uint8_t> isNoData) {
                ++rows;
                for (std::size_t c = 0; c < codes.size(); ++c) {
                    sum += codes[c];
                    noData += isNoData[c];
                }
            });
            const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
            std::printf("read %lld rows in %.3f s; code sum %lld, NoData %lld; peak %ld KiB\n", rows, seconds.count(),
                        static_cast<long long>(sum), noData, peakKiB());
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "raster_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: raster_bench write FILE SIZE striped|tiled | open FILE | read FILE\n");
    return 2;
}
