#pragma once
// How the fit takes each shape: one plan per row of the catalogue. A plan says which of the
// shape's parameters its value is linear in (solved for exactly at each step of the search),
// which parameters the optimiser moves, within which bounds and from which starts, and whether
// the shape is tried when the command line names no shapes. What a fit sets and writes of a
// shape, its number of free parameters, the parameter columns of fits.csv and the highest model
// number the command line takes all follow from these rows.
//
//   planOf(*findShape(1, 3))   -> autoSill, moved {range}         sets sill, range
//   planOf(*findShape(2, 8))   -> slope, moved {power}            sets C, W
//   planOf(*findShape(2, 9))   -> gammaSill of model 3, moved {gammaRange, alfa, bumpScale}
//   planOf(*findShape(2, 12))  -> triedByDefault false: the test gamma shape is tried when named
//   freeParameters(planOf(*findShape(1, 3)), sill fixed) -> 1
//   parameterColumns()         -> sill, range, D, C, W, ALFA, BETA

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "models/catalogue.hpp"

namespace reduz::fit {

// How a shape's value depends on the parameters solved for exactly, f (and g) being the rest
// of the shape as the catalogue evaluates it.
enum class Linear {
    none,       // f                                     test gamma
    sill,       // s f, s in [0, 1]                      cross shapes, nugget (f = 1)
    autoSill,   // 1 - (1 - s) f, s in [0, 1]            auto shapes
    slope,      // C f, C >= 0                           power
    gammaSill,  // s (f + W g), s in [0, 1], W >= 0      gamma-based: f their cross shape, g the test gamma
};

// The parameters the optimiser moves, by the part they play in a shape.
enum class Axis { range, gammaRange, wave, halfWave, power, alfa, bumpScale };

struct FitPlan {
    std::int32_t kind = 0;
    std::int32_t model = 0;
    Linear linear = Linear::none;
    std::array<Axis, 3> moved{};
    std::size_t movedCount = 0;
    std::int32_t baseModel = 0;  // gammaSill: the cross shape that f is
    bool triedByDefault = true;
};

// The test gamma shape: g of the gamma-based shapes.
inline constexpr std::int32_t gammaDensityModel = 12;

std::span<const FitPlan> fitPlans();
// The plan of this kind and model; nullptr when there is none.
const FitPlan* findPlan(std::int32_t kind, std::int32_t model);
// The plan of a catalogue row (every row has one).
const FitPlan& planOf(const Shape& shape);

std::span<const Axis> movedAxes(const FitPlan& plan);

// A parameter the optimiser moves, for a fit of the lags 1..maxLag: lengths and scales on a
// logarithmic axis. With `per`, the optimiser moves the product of the two, and the parameter
// is that over `per` (moved before it).
struct Moved {
    Parameter parameter = nullptr;
    double low = 0;
    double high = 0;
    bool logarithmic = true;
    std::vector<double> starts;
    Parameter per = nullptr;
};

// The parameter an axis moves.
Parameter axisParameter(Axis axis);
Moved movedOf(Axis axis, int maxLag);

// The parameters a fit sets (and writes): those solved for and those moved.
bool usesParameter(const FitPlan& plan, Parameter parameter);
bool usesParameter(const Shape& shape, Parameter parameter);
// The solved and moved parameters, the sill not counted when it is fixed.
int freeParameters(const FitPlan& plan, bool sillFixed);

struct ParameterColumn {
    Parameter parameter = nullptr;
    std::string_view name;
};

// Every parameter that some plan sets, in the order of the parameter record.
std::vector<ParameterColumn> parameterColumns();
// Their names for a CSV header, each after a comma: ",sill,range,D,C,W,ALFA,BETA".
std::string parameterHeader();

// Model numbers as the command line names them: {3, 9} -> "3,9".
std::string modelList(const std::vector<int>& models);

// The highest model number of any plan.
std::int32_t highestModel();

}  // namespace reduz::fit
