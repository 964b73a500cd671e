// exp, log, cos and the power x ** y of the model formulas. Each judges its exact argument,
// which may lie outside the 64-bit range, fails through failMathFunction, or returns a
// 64-bit result.

#include <cmath>
#include <cstdint>
#include <string_view>

#include "failure/float_settings.hpp"
#include "models/ieee_double.hpp"
#include "models/math_functions.hpp"

namespace reduz {

namespace {

// The largest argument whose exponential is finite; ln(largest double) lies just above it.
constexpr double expLimit = 0x1.62e42fefa39efp+9;  // 709.782712893384

bool isWhole(Real y) {
    if (y.isZero()) return true;
    if (y.exponent() <= 0) return false;  // 0 < |y| < 1
    if (y.exponent() >= 53) return true;  // every bit is above the units place
    const double value = assign(y);
    return std::trunc(value) == value;
}

// Whole y only.
bool isOdd(Real y) {
    if (y.isZero() || y.exponent() > 53) return false;  // 2^53 and above are even
    return std::fmod(assign(y), 2.0) != 0.0;
}

// The result of a function, brought to the 64-bit range: rounds once to a subnormal or zero
// below it, and is the function's overflow above it.
Real functionResult(Real value, std::string_view label) {
    if (value.isHuge()) failMathFunction(label, MathErrorType::Overflow);
    return Real(assign(value));
}

// Double-double arithmetic (value = hi + lo, |lo| at most half a last place of hi) for the
// arguments beyond the 64-bit range, where the library functions cannot be used directly.
struct Wide {
    double hi = 0.0;
    double lo = 0.0;
};

Wide quickSum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

Wide sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

Wide product(double a, double b) {
    const double p = a * b;
    return {p, std::fma(a, b, -p)};
}

Wide operator+(Wide a, Wide b) {
    Wide s = sum(a.hi, b.hi);
    const Wide t = sum(a.lo, b.lo);
    s.lo += t.hi;
    s = quickSum(s.hi, s.lo);
    s.lo += t.lo;
    return quickSum(s.hi, s.lo);
}

Wide operator*(Wide a, Wide b) {
    Wide p = product(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return quickSum(p.hi, p.lo);
}

Wide operator*(Wide a, double b) { return a * Wide{b, 0.0}; }

Wide operator/(Wide a, Wide b) {
    const double q1 = a.hi / b.hi;
    Wide r = a + Wide{-b.hi, -b.lo} * q1;
    const double q2 = r.hi / b.hi;
    r = r + Wide{-b.hi, -b.lo} * q2;
    const double q3 = r.hi / b.hi;
    return quickSum(q1, q2) + Wide{q3, 0.0};
}

const Wide ln2{0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};

// ln m for m in [sqrt(1/2), sqrt(2)], by ln m = 2 atanh s with s = (m - 1) / (m + 1),
// |s| <= 0.1716; 22 terms of the series reach well below the last place of a double-double.
Wide wideLog(double m) {
    const Wide s = Wide{m - 1.0, 0.0} / sum(m, 1.0);  // m - 1 is exact here
    const Wide s2 = s * s;
    constexpr int terms = 22;
    Wide series = Wide{1.0, 0.0} / Wide{2.0 * terms + 1.0, 0.0};
    for (int n = terms - 1; n >= 0; --n) series = series * s2 + Wide{1.0, 0.0} / Wide{2.0 * n + 1.0, 0.0};
    return s * series * 2.0;
}

// e^r for |r| <= 0.35 by its Taylor series; 27 terms suffice.
Wide wideExp(Wide r) {
    Wide series{1.0, 0.0};
    for (int n = 27; n >= 1; --n) series = Wide{1.0, 0.0} + series * r / Wide{static_cast<double>(n), 0.0};
    return series;
}

// ln x for x > 0 of any exponent.
Wide wideLog(Real x) {
    double m = x.significand();
    std::int64_t k = x.exponent();
    if (m < 0x1.6a09e667f3bcdp-1) {  // sqrt(1/2): keeps ln m small, so nothing cancels
        m *= 2.0;
        --k;
    }
    return ln2 * static_cast<double>(k) + wideLog(m);
}

// w * 2^n for w = e^r (about 0.7 to 1.42), rounded once to the 64-bit range; a power's result.
Real scaledResult(Wide w, int n) {
    const Real value = scaledByPowerOfTwo(Real(w.hi), n);
    if (value.exponent() >= ieee::smallestNormalExponent || value.isHuge()) return functionResult(value, "**");
    // Subnormal: round the whole double-double, not its 53-bit head, to the grid of 2^-1074.
    const double units = std::ldexp(w.hi, n - ieee::subnormalUnitExponent);
    const double below = std::ldexp(w.lo, n - ieee::subnormalUnitExponent);
    double count = std::nearbyint(units);  // ties to even
    const double fraction = units - count;   // exact; the tail can only settle a tie
    if (fraction == 0.5 && below > 0.0) count += 1.0;
    if (fraction == -0.5 && below < 0.0) count -= 1.0;
    return Real(count * 0x1p-1074);
}

// x ** y for x > 0 beyond the 64-bit range and y an ordinary nonzero double.
Real powerBeyondRange(Real x, double y) {
    if (y == 1.0) return functionResult(x, "**");
    if (y == -1.0) return functionResult(Real(1.0) / x, "**");  // x is nonzero: cannot fail
    // Here |ln x| > 708, so for |y| > 2 the result is far outside the 64-bit range.
    const bool grows = (y > 0.0) == (x.exponent() > 0);
    if (std::fabs(y) > 2.0) {
        if (grows) failMathFunction("**", MathErrorType::Overflow);
        return Real(0.0);
    }
    const Wide z = wideLog(x) * y;
    if (z.hi > 710.0) failMathFunction("**", MathErrorType::Overflow);
    if (z.hi < -746.0) return Real(0.0);  // below half the smallest subnormal
    const double n = std::nearbyint(z.hi / ln2.hi);
    const Wide r = z + ln2 * -n;
    return scaledResult(wideExp(r), static_cast<int>(n));
}

}  // namespace

Real exp(Real x) {
    if (x.isZero() || x.isTiny()) return Real(1.0);  // e^x rounds to 1 for |x| < 2^-1022
    if (x.exponent() > 10) {  // |x| >= 1024
        if (x.isNegative()) return Real(0.0);
        failMathFunction("exp", MathErrorType::Overflow);
    }
    const double argument = assign(x);
    if (argument > expLimit) failMathFunction("exp", MathErrorType::Overflow);
    return Real(std::exp(argument));
}

Real log(Real x) {
    if (x.isZero()) failMathFunction("log", MathErrorType::Sing);
    if (x.isNegative()) failMathFunction("log", MathErrorType::Domain);
    if (x.inDoubleRange()) return Real(std::log(assign(x)));
    return Real(wideLog(x).hi);
}

Real cos(Real x) {
    // From 2^63 on, whole numbers are 2^10 apart or more and no digit of the cosine is left.
    if (x.exponent() > 63) failMathFunction("cos", MathErrorType::Tloss);
    if (x.isZero() || x.isTiny()) return Real(1.0);
    return Real(std::cos(assign(x)));
}

Real power(Real x, Real y) {
    if (y.isZero()) return Real(1.0);
    if (x.isZero()) {
        if (y.isNegative()) failMathFunction("**", MathErrorType::Sing);
        const bool negative = std::signbit(x.significand()) && isWhole(y) && isOdd(y);
        return Real(negative ? -0.0 : 0.0);
    }
    const bool whole = isWhole(y);
    if (x.isNegative() && !whole) failMathFunction("**", MathErrorType::Domain);
    if (y.isTiny()) return Real(1.0);  // |y ln x| < 2^-1008
    if (y.isHuge()) {  // a whole, even exponent
        const Real size = abs(x);
        if (size >= 1.0 && Real(1.0) >= size) return Real(1.0);
        if ((size >= 1.0) == !y.isNegative()) failMathFunction("**", MathErrorType::Overflow);
        return Real(0.0);
    }
    const double exponent = assign(y);
    if (x.inDoubleRange()) {
        const double result = std::pow(assign(x), exponent);
        if (std::isinf(result)) failMathFunction("**", MathErrorType::Overflow);
        return Real(result);
    }
    const Real result = powerBeyondRange(abs(x), exponent);
    return x.isNegative() && isOdd(y) ? -result : result;
}

}  // namespace reduz
