#pragma once
// The report file "ReduzModel.txt": header, model description, column heading, one row a lag.

#include <span>
#include <string>
#include <string_view>

#include "models/model_parameters.hpp"

namespace reduz {

// Also writes the console line "Output transiogram model" after the model description.
void writeReport(const ModelParameters& parameters, const LagTable& table);

// A curve tabulated elsewhere, in the report's layout: each header line as a free-form line,
// then the column heading and a row for each lag from 0, the bytes writeReport gives for the
// same values.
//   reportText({"Inferred"}, {1, 0.5}) -> " Inferred\r\n h REDUZ-Model\r\n   0   1.0000\r\n   1   0.5000\r\n"
std::string reportText(std::span<const std::string_view> headerLines, std::span<const double> values);

}  // namespace reduz
