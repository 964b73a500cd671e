#pragma once
// The report file "ReduzModel.txt": header, model description, column heading, one row a lag.

#include "models/model_parameters.hpp"

namespace reduz {

// Also writes the console line "Output transiogram model" after the model description.
void writeReport(const ModelParameters& parameters, const LagTable& table);

}  // namespace reduz
