#pragma once
// The lag loop: a shape of the catalogue evaluated at whole lags, with the run's failure rules.

#include <cstdint>
#include <span>

#include "models/catalogue.hpp"
#include "models/model_parameters.hpp"

namespace reduz {

// Fills slots 0..maxLag from the catalogue (none for a negative maxLag); a kind and model the
// catalogue does not hold give 0 at every lag. The driver keeps maxLag <= maxTableLag.
void computeLagTable(const ModelParameters& parameters, LagTable& table);

// The shape with these parameters at the lags firstLag, firstLag + 1, ... into values, one a
// slot. A formula that cannot be evaluated ends through failRun at the first lag where it
// fails; GAMMA(ALFA) and BETA ^ ALFA are taken once, before the first lag, so a failure of
// theirs comes first. The parameters it reads must be finite, as the reader makes them.
//   evaluateShape(*findShape(1, 3), {sill 0.25, range 25}, 0, v[3]) -> .9151..., .8399... at lags 1, 2
// Each lag is evaluated in plain doubles first and again on the exact path only when the
// floating-point flags say it may differ, so a call allocates nothing and costs little more
// than the plain formula; it uses the invalid, divide-by-zero, overflow and underflow flags as
// its own (whatever they held before is lost).
void evaluateShape(const Shape& shape, const ModelParameters& parameters, std::int32_t firstLag,
                   std::span<double> values);

// The same on the exact path alone, at every lag: what evaluateShape gives, bit for bit and
// failure for failure. For checking it.
void evaluateShapeExactly(const Shape& shape, const ModelParameters& parameters, std::int32_t firstLag,
                          std::span<double> values);

// The same at one lag h, on the exact path.
double shapeValue(const Shape& shape, const ModelParameters& parameters, double h);

}  // namespace reduz
