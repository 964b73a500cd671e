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
// intermediate) and as the result of exp, log, cos and power (models/math_functions.hpp).

#include <cstdint>

namespace reduz {

class Real {
public:
    Real() = default;
    Real(double value);  // exact; implicit so that constants mix with Reals in a formula

    // value = significand * 2^exponent; the significand is 0 (of either sign) or has a
    // magnitude in [0.5, 1). Infinities and NaNs never occur: the operation that would make
    // one fails.
    double significand() const { return significand_; }
    std::int64_t exponent() const { return exponent_; }

    bool isZero() const { return significand_ == 0.0; }  // of either sign
    bool isNegative() const { return significand_ < 0.0; }
    // Nonzero with a magnitude below the smallest normal double.
    bool isTiny() const;
    // A magnitude of 2^1024 or more: beyond every double.
    bool isHuge() const;
    // An exponent a normal double can have (a zero has exponent 0).
    bool inDoubleRange() const;

    friend Real operator+(Real x, Real y);
    friend Real operator*(Real x, Real y);
    friend Real operator/(Real x, Real y);
    friend Real operator-(Real x);
    friend bool operator>=(Real x, Real y);
    friend Real abs(Real x);
    // x * 2^n, exactly: the exponent moves, the significand stays.
    friend Real scaledByPowerOfTwo(Real x, std::int64_t n);
    friend double assign(Real x);

private:
    Real(double significand, std::int64_t exponent);
    static Real normalized(double value, std::int64_t exponent);
    // The general road of operator+, whatever the exponents; kept out of line so that the
    // quick road inlines.
    [[gnu::noinline]] static Real sumOf(Real x, Real y);

    double significand_ = 0.0;
    std::int64_t exponent_ = 0;
};

Real operator-(Real x, Real y);

// Brings a value to the 64-bit range, as a store to a 64-bit variable does: rounds once to
// a subnormal or zero below the normal range, fails with M6104 above the largest double.
double assign(Real x);

}  // namespace reduz
