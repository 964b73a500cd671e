#include "models/lag_table.hpp"

#include <cassert>

#include "models/gamma.hpp"
#include "models/math_functions.hpp"

namespace reduz {

namespace {

template <class Number>
void takeParameters(Terms<Number>& t, const ModelParameters& p) {
    t.s = p.sill;
    t.a = p.range;
    t.D = p.D;
    t.C = p.C;
    t.W = p.W;
    t.ALFA = p.ALFA;
    t.BETA = p.BETA;
}

// The parameters as formula values, and the gamma terms when the shape has them: taken on the
// exact path, each is a double, the same in both arithmetics.
LagTerms termsOf(const Shape& shape, const ModelParameters& p) {
    LagTerms terms{};
    takeParameters(terms.exact, p);
    takeParameters(terms.plain, p);
    if (shape.usesGamma) {
        terms.exact.gammaOfAlfa = GAMMA(p.ALFA);
        terms.exact.betaToAlfa = power(terms.exact.BETA, terms.exact.ALFA);
        terms.plain.gammaOfAlfa = assign(terms.exact.gammaOfAlfa);
        terms.plain.betaToAlfa = assign(terms.exact.betaToAlfa);
    }
    return terms;
}

void evaluate(const Shape& shape, const ModelParameters& parameters, double firstLag, std::span<double> values,
              Path path) {
    if (values.empty()) return;
    LagTerms terms = termsOf(shape, parameters);
    shape.formula.lags(terms, firstLag, values, path);
}

}  // namespace

void evaluateShape(const Shape& shape, const ModelParameters& parameters, std::int32_t firstLag,
                   std::span<double> values) {
    evaluate(shape, parameters, firstLag, values, Path::PlainFirst);
}

void evaluateShapeExactly(const Shape& shape, const ModelParameters& parameters, std::int32_t firstLag,
                          std::span<double> values) {
    evaluate(shape, parameters, firstLag, values, Path::ExactOnly);
}

double shapeValue(const Shape& shape, const ModelParameters& parameters, double h) {
    double value = 0.0;
    evaluate(shape, parameters, h, std::span<double>(&value, 1), Path::ExactOnly);
    return value;
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
