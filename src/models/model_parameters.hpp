#pragma once
// The run's parameter record and its lag table.

#include <array>
#include <cstdint>

namespace reduz {

struct ModelParameters {
    std::int32_t model = 0;
    std::int32_t kind = 0;  // 1 auto-transiogram, 2 cross-transiogram
    double sill = 0.0;
    double range = 0.0;
    std::int32_t maxLag = 0;
    double D = 0.0;  // half wave length, model 7
    double C = 0.0;  // slope, model 8
    double W = 0.0;  // power in model 8, weight in models 9 to 11
    double ALFA = 0.0;
    double BETA = 0.0;
};

// What the parameter file's second and third lines hold before they are read: a line that
// leaves a value out keeps it. The fit writes them too, for the parameters a shape does not use.
inline constexpr double defaultSill = 0.25;
inline constexpr double defaultRange = 25.0;
inline constexpr std::int32_t defaultMaxLag = 100;

// The largest lag the table holds.
inline constexpr std::int32_t maxTableLag = 1000;

using LagTable = std::array<double, maxTableLag + 1>;

}  // namespace reduz
