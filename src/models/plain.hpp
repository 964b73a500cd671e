#pragma once
// Plain: a value inside one model formula as a bare double, for the quick first evaluation of
// a lag. Every +, -, *, / is one double operation and exp, cos and power call the C library's
// functions, so the result is Real's, bit for bit, unless an operation raised the invalid,
// divide-by-zero, overflow or underflow flag; the lag loop (models/lag_loop.hpp) tests them.
//   Plain(1e300) * Plain(1e10)          -> inf, overflow flag (Real: 1e310, and no failure yet)
//   Plain(1.0) / Plain(3.0)             -> 0.333..., the double quotient; no flag but inexact
//   power(Plain(2.0), Plain(2.0))       -> 4, from a call of std::pow, not a multiplication
//   cos(Plain(0x1p63))                  -> invalid flag (the exact path's "cos: TLOSS error")
//   power(Plain(0x1p-1030), Plain(0.5)) -> invalid flag (a subnormal argument)

#include <cfenv>
#include <cfloat>
#include <cmath>

namespace reduz {

struct Plain {
    double value = 0.0;

    Plain() = default;
    Plain(double v) : value(v) {}  // implicit, so that constants mix with Plains in a formula
};

inline Plain operator+(Plain x, Plain y) { return x.value + y.value; }
inline Plain operator-(Plain x, Plain y) { return x.value - y.value; }
inline Plain operator*(Plain x, Plain y) { return x.value * y.value; }
inline Plain operator/(Plain x, Plain y) { return x.value / y.value; }
inline Plain operator-(Plain x) { return -x.value; }
inline bool operator>=(Plain x, Plain y) { return x.value >= y.value; }

namespace plain {

// Hands the lag to the exact path: raises the invalid flag. For arguments that the exact
// functions judge on a road of their own (models/math_functions.cpp) rather than by the
// library function's result: a cosine's argument of 2^63 or more, and a subnormal argument,
// which the exact path takes at its full 53 bits.
inline void leaveToExactPath() { std::feraiseexcept(FE_INVALID); }

inline bool isSubnormal(double x) { return x != 0.0 && std::fabs(x) < DBL_MIN; }

}  // namespace plain

inline Plain exp(Plain x) {
    if (plain::isSubnormal(x.value)) plain::leaveToExactPath();
    return std::exp(x.value);
}

inline Plain cos(Plain x) {
    if (std::fabs(x.value) >= 0x1p63 || plain::isSubnormal(x.value)) plain::leaveToExactPath();
    return std::cos(x.value);
}

inline Plain power(Plain x, Plain y) {
    if (plain::isSubnormal(x.value) || plain::isSubnormal(y.value)) plain::leaveToExactPath();
    // Hidden from the compiler, which would turn a power of 2.0 into a multiplication: the
    // exact path calls std::pow for every exponent, and so must this one.
    double exponent = y.value;
    asm("" : "+g"(exponent));
    return std::pow(x.value, exponent);
}

}  // namespace reduz
