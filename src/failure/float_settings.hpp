#pragma once
// The run's floating-point rules and the failures of the model arithmetic.

#include <string_view>

#include "failure/run_failure.hpp"

namespace reduz {

// Rounding to nearest even and 53-bit results, for the whole run. The formulas' arithmetic
// (models/real.hpp) carries the rules itself; this only puts the processor in the mode that
// the few plain double operations of the program (conversions, library functions) assume.
void setUpFloatSettings();

// failArithmetic(ArithmeticEvent::Invalid) -> M6101 "floating-point error: invalid".
[[noreturn]] void failArithmetic(ArithmeticEvent event);

// failMathFunction("**", MathErrorType::Sing) -> M6202 "**: SING error".
[[noreturn]] void failMathFunction(std::string_view label, MathErrorType type);

}  // namespace reduz
