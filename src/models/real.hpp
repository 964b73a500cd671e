#pragma once
// Real: a value inside one model formula, carrying the run's floating-point rules.
//
// Every +, -, *, / rounds once to a 53-bit significand (round to nearest even), but the exponent
// has the range of the 80-bit extended format, so
//   assign(Real(1e300) * Real(1e10) / Real(1e20)) -> 1e290      (no overflow inside a formula)
//   assign(Real(1e300) * Real(1e10))               -> M6104 overflow
//   Real(0.0) / Real(0.0)                          -> M6101 invalid
//   Real(1.0) / Real(0.0)                          -> M6103 divide by zero
// A value comes back to the 64-bit range only at assign() (the end of a formula, or a stored
// intermediate) and as the result of exp, log, cos and power.

#include <cstdint>

namespace reduz {

struct Real {
    // value = significand * 2^exponent; significand is 0 (of either sign) or has a magnitude
    // in [0.5, 1). Infinities and NaNs never occur: the operation that would make one fails.
    double significand = 0.0;
    std::int64_t exponent = 0;

    Real() = default;
    Real(double value);  // exact; implicit so that constants mix with Reals in a formula
};

Real operator+(Real x, Real y);
Real operator-(Real x, Real y);
Real operator*(Real x, Real y);
Real operator/(Real x, Real y);
Real operator-(Real x);
bool operator>=(Real x, Real y);

// Brings a value to the 64-bit range, as a store to a 64-bit variable does: rounds once to
// a subnormal or zero below the normal range, fails with M6104 above the largest double.
double assign(Real x);

// The mathematical functions: each judges the exact argument (extended range included) and
// either returns a 64-bit result or fails through failMathFunction.
//   power(0, 0) -> 1      power(-2, 3) -> -8     power(-2, 2.5) -> M6201 "**: DOMAIN error"
//   power(0, -1) -> M6202 "**: SING error"       exp(710) -> M6203 "exp: OVERFLOW error"
//   exp(-800) -> 0        log(0) -> M6202        log(-1) -> M6201      cos(2^63) -> M6205
Real exp(Real x);
Real log(Real x);
Real cos(Real x);
Real power(Real x, Real y);

}  // namespace reduz
