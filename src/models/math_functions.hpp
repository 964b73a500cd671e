#pragma once
// The mathematical functions of the formulas: each judges the exact argument (extended range
// included) and either returns a 64-bit result or fails through failMathFunction.
//   power(0, 0) -> 1      power(-2, 3) -> -8     power(-2, 2.5) -> M6201 "**: DOMAIN error"
//   power(0, -1) -> M6202 "**: SING error"       exp(710) -> M6203 "exp: OVERFLOW error"
//   exp(-800) -> 0        log(0) -> M6202        log(-1) -> M6201      cos(2^63) -> M6205

#include "models/real.hpp"

namespace reduz {

Real exp(Real x);
Real log(Real x);
Real cos(Real x);
Real power(Real x, Real y);

}  // namespace reduz
