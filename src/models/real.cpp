#include "models/real.hpp"

#include <cassert>
#include <cmath>
#include <cstdint>

#include "failure/float_settings.hpp"
#include "models/ieee_double.hpp"

namespace reduz {

using namespace ieee;

namespace {

// Exponent range of the extended format, for a significand in [0.5, 1): the largest value is
// (1 - 2^-53) * 2^16384, the smallest normal one 2^-16382 = 0.5 * 2^-16381.
constexpr std::int64_t maxExponent = 16384;
constexpr std::int64_t minExponent = -16381;

std::int64_t fieldOf(double value) { return static_cast<std::int64_t>(exponentField(bitsOf(value))); }

// A normal double moved into [0.5, 1), sign and fraction kept.
double halfSignificand(double value) { return withField(value, halfField); }

// A zero, of either sign, is a value whose bits other than the sign are all clear.
bool isZeroBits(std::uint64_t bits) { return (bits << 1) == 0; }

// An exponent of a normal double's Real, -1021 to 1024: one unsigned comparison.
bool isDoubleExponent(std::int64_t exponent) {
    return static_cast<std::uint64_t>(exponent - smallestNormalExponent) <=
           static_cast<std::uint64_t>(largestExponent - smallestNormalExponent);
}

}  // namespace

Real::Real(double significand, std::int64_t exponent) : significand_(significand), exponent_(exponent) {
    assert(significand == 0.0 || (std::fabs(significand) >= 0.5 && std::fabs(significand) < 1.0));
}

Real::Real(double value) {
    const std::uint64_t field = exponentField(bitsOf(value));
    significand_ = halfSignificand(value);
    exponent_ = static_cast<std::int64_t>(field) - static_cast<std::int64_t>(halfField);
    if (isNormalField(field)) return;
    exponent_ = 0;
    if (value == 0.0) {
        significand_ = value;  // keeps the sign of the zero
        return;
    }
    // A value that is not a number or not finite cannot take part in a formula.
    if (field == specialField) failArithmetic(std::isnan(value) ? ArithmeticEvent::Invalid : ArithmeticEvent::Overflow);
    // Subnormal: scaling by 2^64 is exact and makes it normal.
    const double scaled = value * 0x1p64;
    significand_ = halfSignificand(scaled);
    exponent_ = fieldOf(scaled) - static_cast<std::int64_t>(halfField) - 64;
}

// A nonzero normal double, the result of one operation on significands, placed at `exponent`
// (added to its own binary exponent) and checked against the extended range.
Real Real::normalized(double value, std::int64_t exponent) {
    const std::int64_t total = exponent + (fieldOf(value) - static_cast<std::int64_t>(halfField));
    if (total > maxExponent) failArithmetic(ArithmeticEvent::Overflow);
    if (total < minExponent) return Real(std::copysign(0.0, value));
    return Real(halfSignificand(value), total);
}

bool Real::isTiny() const { return !isZero() && exponent_ < smallestNormalExponent; }
bool Real::isHuge() const { return exponent_ > largestExponent; }
bool Real::inDoubleRange() const { return exponent_ >= smallestNormalExponent && exponent_ <= largestExponent; }

namespace {

// Nonzero, and a normal double as it stands.
bool isNormalDouble(Real x) { return !isZeroBits(bitsOf(x.significand())) && isDoubleExponent(x.exponent()); }

// The double of a Real that isNormalDouble: the significand's exponent field (that of
// [0.5, 1)) moved by the exponent.
double toNormalDouble(Real x) {
    return fromBits(bitsOf(x.significand()) + (static_cast<std::uint64_t>(x.exponent()) << fractionBitCount));
}

}  // namespace

// The sum by its significands, whatever the exponents: the general road of operator+.
Real Real::sumOf(Real x, Real y) {
    if (y.isZero()) {
        // Two zeros add as doubles do (-0 + -0 is -0, otherwise +0).
        if (x.isZero()) return Real(x.significand() + y.significand());
        return x;
    }
    if (x.isZero()) return y;
    if (x.exponent() < y.exponent()) {
        const Real larger = y;
        y = x;
        x = larger;
    }
    const std::int64_t gap = x.exponent() - y.exponent();
    // The smaller addend is then far below half of the larger one's last place (even just
    // under a power of two), so the exact sum rounds back to the larger one.
    if (gap > 63) return x;
    // Aligning by at most 2^-63 keeps the smaller significand normal and exact, so the one
    // addition of doubles is the one rounding of the exact sum.
    const double sum = x.significand() + y.significand() * powerOfTwo(-gap);
    if (sum == 0.0) return Real();
    return normalized(sum, x.exponent());
}

Real operator+(Real x, Real y) {
    // Two normal doubles whose sum is one: the addition of the doubles is the one rounding of
    // the exact sum, as in sumOf. Sums that leave the normal range (zero among them) go the
    // general road.
    if (isNormalDouble(x) && isNormalDouble(y)) {
        const double sum = toNormalDouble(x) + toNormalDouble(y);
        const std::uint64_t field = exponentField(bitsOf(sum));
        if (isNormalField(field)) {
            return Real(halfSignificand(sum), static_cast<std::int64_t>(field) - static_cast<std::int64_t>(halfField));
        }
    }
    return Real::sumOf(x, y);
}

Real operator-(Real x, Real y) { return x + -y; }

Real operator*(Real x, Real y) {
    const double product = x.significand_ * y.significand_;  // in [0.25, 1): never subnormal
    if (product == 0.0) return Real(product);
    return Real::normalized(product, x.exponent_ + y.exponent_);
}

Real operator/(Real x, Real y) {
    if (y.isZero()) failArithmetic(x.isZero() ? ArithmeticEvent::Invalid : ArithmeticEvent::DivideByZero);
    const double quotient = x.significand_ / y.significand_;  // in (0.5, 2)
    if (quotient == 0.0) return Real(quotient);
    return Real::normalized(quotient, x.exponent_ - y.exponent_);
}

Real operator-(Real x) { return Real(-x.significand_, x.exponent_); }

Real abs(Real x) { return Real(std::fabs(x.significand_), x.exponent_); }

Real scaledByPowerOfTwo(Real x, std::int64_t n) {
    if (x.isZero()) return x;
    return Real(x.significand_, x.exponent_ + n);
}

bool operator>=(Real x, Real y) {
    const int xSign = (x.significand_ > 0.0) - (x.significand_ < 0.0);
    const int ySign = (y.significand_ > 0.0) - (y.significand_ < 0.0);
    if (xSign != ySign) return xSign > ySign;
    if (xSign == 0 || x.exponent_ == y.exponent_) return x.significand_ >= y.significand_;
    return xSign > 0 ? x.exponent_ > y.exponent_ : x.exponent_ < y.exponent_;
}

double assign(Real x) {
    if (isNormalDouble(x)) return toNormalDouble(x);
    if (x.isZero()) return x.significand_;
    if (x.exponent_ > largestExponent) failArithmetic(ArithmeticEvent::Overflow);
    // Below the normal range: one multiplication by the (subnormal) power of two is the one
    // rounding to the subnormal grid. Below half the smallest subnormal it is zero.
    if (x.exponent_ < subnormalUnitExponent) return std::copysign(0.0, x.significand_);
    return x.significand_ * fromBits(std::uint64_t{1} << (x.exponent_ - subnormalUnitExponent));
}

}  // namespace reduz
