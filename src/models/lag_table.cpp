#include "models/lag_table.hpp"

#include <cassert>
#include <cfenv>

#include "models/gamma.hpp"
#include "models/math_functions.hpp"

namespace reduz {

namespace {

// The flags by which a plain evaluation may part from the exact one. Inexact is left out:
// every rounding raises it, and both paths round alike.
constexpr int partingFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW;

template <class Number>
Terms<Number> parameterTerms(const ModelParameters& p) {
    Terms<Number> t{};
    t.s = p.sill;
    t.a = p.range;
    t.D = p.D;
    t.C = p.C;
    t.W = p.W;
    t.ALFA = p.ALFA;
    t.BETA = p.BETA;
    return t;
}

// The parameters as exact formula values, and the gamma terms when the shape has them.
Terms<Real> exactTerms(const Shape& shape, const ModelParameters& p) {
    Terms<Real> t = parameterTerms<Real>(p);
    if (shape.usesGamma) {
        t.gammaOfAlfa = GAMMA(p.ALFA);
        t.betaToAlfa = power(t.BETA, t.ALFA);
    }
    return t;
}

// The same as plain values. The gamma terms are the exact path's: each is a double.
Terms<Plain> plainTerms(const ModelParameters& p, const Terms<Real>& exact) {
    Terms<Plain> t = parameterTerms<Plain>(p);
    t.gammaOfAlfa = assign(exact.gammaOfAlfa);
    t.betaToAlfa = assign(exact.betaToAlfa);
    return t;
}

// The compiler moves floating-point operations freely across calls such as fetestexcept, as
// they touch no memory. These two empty statements pin a lag's operations between them: the
// first tells it that the terms may have changed (nothing computed from them can be moved
// above it, or out of the loop), the second that the value is read (everything it is made of
// is done by then). Both are ordered with the flags' calls by their memory clobber.
void lagBegins(Terms<Plain>& t) { asm volatile("" : : "r"(&t) : "memory"); }
void lagEnds(double value) { asm volatile("" : : "g"(value) : "memory"); }

}  // namespace

void evaluateShape(const Shape& shape, const ModelParameters& parameters, std::int32_t firstLag,
                   std::span<double> values) {
    if (values.empty()) return;
    Terms<Real> exact = exactTerms(shape, parameters);
    Terms<Plain> plain = plainTerms(parameters, exact);
    std::feclearexcept(partingFlags);
    std::int32_t lag = firstLag;
    for (double& value : values) {
        const double h = static_cast<double>(lag++);
        plain.h = h;
        lagBegins(plain);
        double result = shape.formula.plain(plain).value;
        lagEnds(result);
        // Where no flag is raised, the plain result is the exact one, bit for bit:
        // - each +, -, *, / is one operation rounded to 53 bits to nearest in both, on the same
        //   operands; without overflow or underflow the double's exponent range changes nothing
        //   (a subnormal result that is exact raises no underflow, and Real holds it exactly);
        // - exp, cos and power call the same library functions with the same doubles, and leave
        //   to the exact path the arguments it judges on its own road (models/plain.hpp);
        // - each exact failure comes with a flag: 0/0 and a negative base to a fractional power
        //   invalid, x/0 and 0 to a negative power divide-by-zero, exp, power and values beyond
        //   the largest double overflow, a cosine's argument of 2^63 or more invalid;
        // - the operations are not contracted into fused multiply-adds (CMakeLists.txt), and
        //   a branch (h >= a) compares the same values.
        // So only a flagged lag is evaluated again, on the exact path alone, which decides its
        // value and its first failure; the lags before it are then the exact path's too.
        if (std::fetestexcept(partingFlags) != 0) {
            exact.h = h;
            result = assign(shape.formula.exact(exact));
            std::feclearexcept(partingFlags);
        }
        value = result;
    }
}

void evaluateShapeExactly(const Shape& shape, const ModelParameters& parameters, std::int32_t firstLag,
                          std::span<double> values) {
    if (values.empty()) return;
    Terms<Real> t = exactTerms(shape, parameters);
    std::int32_t lag = firstLag;
    for (double& value : values) {
        t.h = static_cast<double>(lag++);
        value = assign(shape.formula.exact(t));
    }
}

double shapeValue(const Shape& shape, const ModelParameters& parameters, double h) {
    Terms<Real> t = exactTerms(shape, parameters);
    t.h = h;
    return assign(shape.formula.exact(t));
}

void computeLagTable(const ModelParameters& parameters, LagTable& table) {
    assert(parameters.maxLag <= maxTableLag);
    if (parameters.maxLag < 0) return;
    const std::span<double> lags(table.data(), static_cast<std::size_t>(parameters.maxLag) + 1);
    const Shape* shape = findShape(parameters.kind, parameters.model);
    if (shape == nullptr) {
        for (double& value : lags) value = 0.0;
        return;
    }
    evaluateShape(*shape, parameters, 0, lags);
}

}  // namespace reduz
