#pragma once
// The lag loop, made for each formula of the catalogue (catalogue.cpp) with the formula inlined
// into it. On the plain-first path each lag is taken in plain doubles and again on the exact
// path only where a floating-point flag says the two may part; the values and the failure are
// the exact path's alone either way.
//   lagLoop<F>(terms, 0.0, v[3], Path::PlainFirst) -> F at lags 0, 1, 2 into v
//   lagLoop<F>(terms, 0.0, v[3], Path::ExactOnly)  -> the same bits, each lag exactly
// A failure ends the loop at its lag: the slots before it are filled, the rest untouched.

#include <algorithm>
#include <array>
#include <cfenv>
#include <span>

#include "models/catalogue.hpp"
#include "models/plain.hpp"
#include "models/real.hpp"

namespace reduz {

namespace lag_loop {

// The flags by which a plain evaluation may part from the exact one. Inexact is left out:
// every rounding raises it, and both paths round alike.
inline constexpr int partingFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW;

// Lags taken together before the flags are tested: reading them costs as much as a simple
// formula. A block that raised none is copied out; one that did is taken again lag by lag,
// so that the slots from a failing lag on stay untouched.
inline constexpr std::size_t blockLength = 32;

// The compiler moves floating-point operations freely across calls such as fetestexcept, as
// they touch no memory. These two empty statements pin a lag's operations between them: the
// first tells it that the terms may have changed (nothing computed from them can be moved
// above it, or out of the loop), the second that the value is read (everything it is made of
// is done by then). Both are ordered with the flags' calls by their memory clobber.
inline void lagBegins(Terms<Plain>& t) { asm volatile("" : : "r"(&t) : "memory"); }
inline void lagEnds(double value) { asm volatile("" : : "g"(value) : "memory"); }

template <class F>
double plainLag(Terms<Plain>& t, double h) {
    t.h = h;
    lagBegins(t);
    const double result = F{}(t).value;
    lagEnds(result);
    return result;
}

template <class F>
double exactLag(Terms<Real>& t, double h) {
    t.h = h;
    return assign(F{}(t));
}

// One lag on its own: plain, and again on the exact path when it raises a flag.
//
// Where no flag is raised, the plain result is the exact one, bit for bit:
// - each +, -, *, / is one operation rounded to 53 bits to nearest in both, on the same
//   operands; without overflow or underflow the double's exponent range changes nothing (a
//   subnormal result that is exact raises no underflow, and Real holds it exactly);
// - exp, cos and power call the same library functions with the same doubles, and leave to
//   the exact path the arguments it judges on its own road (models/plain.hpp);
// - each exact failure comes with a flag: 0/0 and a negative base to a fractional power
//   invalid, x/0 and 0 to a negative power divide-by-zero, exp, power and values beyond the
//   largest double overflow, a cosine's argument of 2^63 or more invalid;
// - the operations are not contracted into fused multiply-adds (CMakeLists.txt), and a
//   branch (h >= a) compares the same values.
// So a flagged lag is the only one to evaluate again, on the exact path alone, which decides
// its value and its first failure; the lags before it are then the exact path's too.
template <class F>
double checkedLag(LagTerms& terms, double h) {
    std::feclearexcept(partingFlags);
    const double result = plainLag<F>(terms.plain, h);
    if (std::fetestexcept(partingFlags) == 0) return result;
    return exactLag<F>(terms.exact, h);
}

}  // namespace lag_loop

template <class F>
void lagLoop(LagTerms& terms, double firstLag, std::span<double> values, Path path) {
    using namespace lag_loop;
    if (path == Path::ExactOnly) {
        for (double& value : values) value = exactLag<F>(terms.exact, firstLag++);
        return;
    }
    std::feclearexcept(partingFlags);
    for (std::size_t start = 0; start < values.size(); start += blockLength) {
        const std::span<double> slots = values.subspan(start, std::min(blockLength, values.size() - start));
        const double h = firstLag + static_cast<double>(start);
        std::array<double, blockLength> block;
        for (std::size_t i = 0; i < slots.size(); ++i) block[i] = plainLag<F>(terms.plain, h + static_cast<double>(i));
        if (std::fetestexcept(partingFlags) == 0) {
            std::copy_n(block.begin(), slots.size(), slots.begin());
            continue;
        }
        for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = checkedLag<F>(terms, h + static_cast<double>(i));
        std::feclearexcept(partingFlags);
    }
}

}  // namespace reduz
