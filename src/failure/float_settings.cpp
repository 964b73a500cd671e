#include "failure/float_settings.hpp"

#include <cfenv>

namespace reduz {

void setUpFloatSettings() {
    // Doubles carry 53 bits on every processor this builds for; only the rounding direction
    // is a setting.
    std::fesetround(FE_TONEAREST);
}

void failArithmetic(ArithmeticEvent event) { failRun(arithmeticFailure(event)); }

void failMathFunction(std::string_view label, MathErrorType type) { failRun(mathFunctionFailure(label, type)); }

}  // namespace reduz
