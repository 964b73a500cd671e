#pragma once
// What reduzmodel runs for a fitted pair: its folder's name, PARAMETER.TXT and, for the shapes
// that ask, keyboard.txt, the answer typed at the prompt. Every real is written with 17
// significant digits, which reduzmodel reads back as the very same double.
//
//   folderNames({"sand", "silt, clayey"})   -> sand_sand, sand_silt_clayey, silt_clayey_sand, ...
//   folderNames({"a_b", "c", "a", "b_c"})   -> ..., a_b_c (a_b to c), ..., a_b_c-2 (a to b_c), ...
//   parameterFile(cross model 3, sill 0.25, range 8, maxLag 20)
//       -> "3 2\n2.5000000000000000E-01 8.0000000000000000E+00\n20\n"
//   keyboardFile(model 9, ALFA 2, BETA 0.5, W 1) -> "2.0000000000000000E+00 5.0000000000000000E-01 1.0000000000000000E+00\n"
//   keyboardFile(model 3)                       -> ""  (nothing is asked)

#include <string>
#include <vector>

#include "models/model_parameters.hpp"

namespace reduz::fit {

// One name a pair, [from * classes + to]: FROM_TO, each class's name kept to letters, digits,
// '-', '.' and '_' (others become '_'; a leading '.' too), cut to 60 bytes. A name that another
// pair's already has, in any case of letters, gets "-2", "-3", ...
std::vector<std::string> folderNames(const std::vector<std::string>& classes);

// A class's name as a file's name takes it: letters, digits, '-', '_' and '.' (not first)
// kept, others '_', cut to 60 bytes:  safeName("silt, clayey") -> "silt__clayey"
std::string safeName(const std::string& name);

// The name a pair's folder takes unless another pair's has it: folderBase("silt, clayey", "sand")
// -> "silt__clayey_sand".
std::string folderBase(const std::string& from, const std::string& to);

// 17 significant digits in a form reduzmodel reads: "2.5000000000000000E-01".
std::string exactReal(double value);

std::string parameterFile(const ModelParameters& parameters);
std::string keyboardFile(const ModelParameters& parameters);

}  // namespace reduz::fit
