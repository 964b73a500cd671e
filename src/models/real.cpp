#include "models/real.hpp"

#include <bit>
#include <cmath>
#include <cstdint>

#include "failure/float_settings.hpp"

namespace reduz {

namespace {

// Exponent range of the extended format, for a significand in [0.5, 1): the largest value is
// (1 - 2^-53) * 2^16384, the smallest normal one 2^-16382 = 0.5 * 2^-16381.
constexpr std::int64_t maxExponent = 16384;
constexpr std::int64_t minExponent = -16381;

// The same for 64-bit doubles: normal values have exponents -1021..1024.
constexpr std::int64_t doubleMaxExponent = 1024;
constexpr std::int64_t doubleMinExponent = -1021;

constexpr std::uint64_t exponentMask = 0x7FF0000000000000ULL;
constexpr int mantissaBits = 52;
// The biased exponent field of a double in [0.5, 1).
constexpr std::uint64_t halfBias = 1022;

std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }

int fieldOf(double value) { return static_cast<int>((bitsOf(value) & exponentMask) >> mantissaBits); }

// A normal double with its exponent field replaced, so that it lands in [0.5, 1).
double withHalfExponent(double value) {
    return std::bit_cast<double>((bitsOf(value) & ~exponentMask) | (halfBias << mantissaBits));
}

// 2^power for -1022 <= power <= 1023.
double powerOfTwo(std::int64_t power) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(power + 1023) << mantissaBits);
}

// A nonzero normal double, the result of one operation on significands, placed at `exponent`
// (added to its own binary exponent) and checked against the extended range.
Real normalized(double value, std::int64_t exponent) {
    Real result;
    const std::int64_t total = exponent + (fieldOf(value) - static_cast<std::int64_t>(halfBias));
    if (total > maxExponent) failArithmetic(ArithmeticEvent::Overflow);
    if (total < minExponent) {
        result.significand = std::copysign(0.0, value);
        return result;
    }
    result.significand = withHalfExponent(value);
    result.exponent = total;
    return result;
}

// The quick roads below test bits rather than compare doubles: a zero, of either sign, is a
// value whose bits other than the sign are all clear.
bool isZeroBits(std::uint64_t bits) { return (bits << 1) == 0; }

// A biased exponent field of a normal double, 1 to 2046.
bool isNormalField(std::uint64_t field) { return field - 1 < 2046; }

// An exponent of a normal double's Real, -1021 to 1024.
bool isDoubleExponent(std::int64_t exponent) {
    return static_cast<std::uint64_t>(exponent - doubleMinExponent) <=
           static_cast<std::uint64_t>(doubleMaxExponent - doubleMinExponent);
}

// Nonzero, and a normal double as it stands.
bool isNormalDouble(Real x) { return !isZeroBits(bitsOf(x.significand)) && isDoubleExponent(x.exponent); }

// The double of a Real that isNormalDouble: the significand's exponent field (that of
// [0.5, 1)) moved by the exponent.
double toNormalDouble(Real x) {
    return std::bit_cast<double>(bitsOf(x.significand) + (static_cast<std::uint64_t>(x.exponent) << mantissaBits));
}

}  // namespace

Real::Real(double value) {
    const std::uint64_t bits = bitsOf(value);
    const std::uint64_t field = (bits & exponentMask) >> mantissaBits;
    significand = withHalfExponent(value);
    exponent = static_cast<std::int64_t>(field) - static_cast<std::int64_t>(halfBias);
    if (isNormalField(field)) return;
    exponent = 0;
    if (value == 0.0) {
        significand = value;  // keeps the sign of the zero
        return;
    }
    // A value that is not a number or not finite cannot take part in a formula.
    if (field == 0x7FF) failArithmetic(std::isnan(value) ? ArithmeticEvent::Invalid : ArithmeticEvent::Overflow);
    // Subnormal: scaling by 2^64 is exact and makes it normal.
    const double scaled = value * 0x1p64;
    significand = withHalfExponent(scaled);
    exponent = fieldOf(scaled) - static_cast<std::int64_t>(halfBias) - 64;
}

namespace {

// The sum by its significands, whatever the exponents: the general road of operator+.
[[gnu::noinline]] Real sumOf(Real x, Real y) {
    if (y.significand == 0.0) {
        // Two zeros add as doubles do (-0 + -0 is -0, otherwise +0).
        if (x.significand == 0.0) return Real(x.significand + y.significand);
        return x;
    }
    if (x.significand == 0.0) return y;
    if (x.exponent < y.exponent) {
        const Real larger = y;
        y = x;
        x = larger;
    }
    const std::int64_t gap = x.exponent - y.exponent;
    // The smaller addend is then far below half of the larger one's last place (even just
    // under a power of two), so the exact sum rounds back to the larger one.
    if (gap > 63) return x;
    // Aligning by at most 2^-63 keeps the smaller significand normal and exact, so the one
    // addition of doubles is the one rounding of the exact sum.
    const double sum = x.significand + y.significand * powerOfTwo(-gap);
    if (sum == 0.0) return Real();
    return normalized(sum, x.exponent);
}

}  // namespace

Real operator+(Real x, Real y) {
    // Two normal doubles whose sum is one: the addition of the doubles is the one rounding of
    // the exact sum, as in sumOf. Sums that leave the normal range (zero among them) go the
    // general road.
    if (isNormalDouble(x) && isNormalDouble(y)) {
        const double sum = toNormalDouble(x) + toNormalDouble(y);
        const std::uint64_t field = (bitsOf(sum) & exponentMask) >> mantissaBits;
        if (isNormalField(field)) {
            x.significand = withHalfExponent(sum);
            x.exponent = static_cast<std::int64_t>(field) - static_cast<std::int64_t>(halfBias);
            return x;
        }
    }
    return sumOf(x, y);
}

Real operator-(Real x, Real y) { return x + -y; }

Real operator*(Real x, Real y) {
    const double product = x.significand * y.significand;  // in [0.25, 1): never subnormal
    if (product == 0.0) return Real(product);
    return normalized(product, x.exponent + y.exponent);
}

Real operator/(Real x, Real y) {
    if (y.significand == 0.0) {
        failArithmetic(x.significand == 0.0 ? ArithmeticEvent::Invalid : ArithmeticEvent::DivideByZero);
    }
    const double quotient = x.significand / y.significand;  // in (0.5, 2)
    if (quotient == 0.0) return Real(quotient);
    return normalized(quotient, x.exponent - y.exponent);
}

Real operator-(Real x) {
    x.significand = -x.significand;
    return x;
}

bool operator>=(Real x, Real y) {
    const int xSign = (x.significand > 0.0) - (x.significand < 0.0);
    const int ySign = (y.significand > 0.0) - (y.significand < 0.0);
    if (xSign != ySign) return xSign > ySign;
    if (xSign == 0 || x.exponent == y.exponent) return x.significand >= y.significand;
    return xSign > 0 ? x.exponent > y.exponent : x.exponent < y.exponent;
}

double assign(Real x) {
    if (isNormalDouble(x)) return toNormalDouble(x);
    if (x.significand == 0.0) return x.significand;
    if (x.exponent >= doubleMinExponent) {
        if (x.exponent > doubleMaxExponent) failArithmetic(ArithmeticEvent::Overflow);
        return std::bit_cast<double>((bitsOf(x.significand) & ~exponentMask) |
                                     (static_cast<std::uint64_t>(x.exponent + static_cast<std::int64_t>(halfBias))
                                      << mantissaBits));
    }
    // Below the normal range: one multiplication by the (subnormal) power of two is the one
    // rounding to the subnormal grid. Below half the smallest subnormal it is zero.
    if (x.exponent < -1074) return std::copysign(0.0, x.significand);
    return x.significand * std::bit_cast<double>(std::uint64_t{1} << (x.exponent + 1074));
}

}  // namespace reduz
