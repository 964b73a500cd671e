#include "models/lag_table.hpp"

#include <cassert>

#include "models/gamma.hpp"
#include "models/math_functions.hpp"

namespace reduz {

namespace {

// The parameters as formula values, and the gamma terms when the shape has them.
Terms<Real> termsOf(const Shape& shape, const ModelParameters& p) {
    Terms<Real> t{};
    t.s = p.sill;
    t.a = p.range;
    t.D = p.D;
    t.C = p.C;
    t.W = p.W;
    t.ALFA = p.ALFA;
    t.BETA = p.BETA;
    if (shape.usesGamma) {
        t.gammaOfAlfa = GAMMA(p.ALFA);
        t.betaToAlfa = power(t.BETA, t.ALFA);
    }
    return t;
}

}  // namespace

void evaluateShape(const Shape& shape, const ModelParameters& parameters, std::int32_t firstLag,
                   std::span<double> values) {
    if (values.empty()) return;
    Terms<Real> t = termsOf(shape, parameters);
    std::int32_t lag = firstLag;
    for (double& value : values) {
        t.h = static_cast<double>(lag++);
        value = assign(shape.formula.exact(t));
    }
}

double shapeValue(const Shape& shape, const ModelParameters& parameters, double h) {
    Terms<Real> t = termsOf(shape, parameters);
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
