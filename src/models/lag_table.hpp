#pragma once
// The model catalogue: one transiogram formula per kind and model, evaluated at lags 0..maxLag.

#include <string_view>

#include "models/model_parameters.hpp"

namespace reduz {

// Fills slots 0..maxLag (none for a negative maxLag; the caller keeps maxLag <= maxTableLag).
// Kind 1 with models 1-8 and kind 2 with models 1-12 have formulas; everything else stores 0.
void computeLagTable(const ModelParameters& parameters, LagTable& table);

// The model's value at lag h, as computeLagTable stores it.
double modelValue(const ModelParameters& parameters, double h);

// True when kind and model name a shape of the catalogue.
bool inCatalogue(const ModelParameters& parameters);

}  // namespace reduz
