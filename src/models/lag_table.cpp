#include "models/lag_table.hpp"

#include "models/gamma.hpp"
#include "models/real.hpp"

namespace reduz {

namespace {

// 3.14159 as a single-precision value, widened: the models' pi.
constexpr double PI = 3.1415901184082031;

// Each formula is written in the order its operations are carried out; only the final value
// is brought to the 64-bit range.

// The parts of the gamma density that do not depend on the lag: GAMMA(ALFA), then BETA ^ ALFA.
struct GammaScale {
    Real gamma;
    Real scale;
};

GammaScale gammaScale(const ModelParameters& p) {
    const Real gamma = GAMMA(p.ALFA);
    const Real scale = power(p.BETA, p.ALFA);
    return {gamma, scale};
}

// exp(-(h / (a * BETA))) * ((h / a) ^ (ALFA - 1.0)) over GAMMA(ALFA) * (BETA ^ ALFA), weighted.
// The parts are evaluated GAMMA, BETA ^ ALFA, exponential, power: that order decides which
// failure of several is reported. The first two are the same at every lag, so they are taken
// once, before lag 0; a failure of theirs still comes first, at lag 0.
Real gammaDensity(const ModelParameters& p, const GammaScale& g, Real h, bool weighted) {
    const Real a = p.range;
    const Real decay = exp(-(h / (a * p.BETA)));
    const Real rise = power(h / a, Real(p.ALFA) - 1.0);
    const Real density = decay * rise;
    const Real numerator = weighted ? density * p.W : density;
    return numerator / (g.gamma * g.scale);
}

// The spherical rise (h * 1.5) / a - ((h / a) ^ 3.0) * 0.5.
Real sphericalRise(Real h, Real a) {
    const Real linear = (h * 1.5) / a;
    const Real cube = power(h / a, 3.0);
    return linear - cube * 0.5;
}

// The dampened wave cos((h / D) * PI) * exp(-((h * 3.0) / a)), the cosine first.
Real dampenedWave(const ModelParameters& p, Real h) {
    const Real wave = cos((h / p.D) * PI);
    const Real damping = exp(-((h * 3.0) / p.range));
    return wave * damping;
}

Real autoValue(const ModelParameters& p, Real h) {
    const Real s = p.sill;
    const Real a = p.range;
    switch (p.model) {
        case 1: return h >= a ? s : 1.0 - ((1.0 - s) * h) / a;
        case 2: return h >= a ? s : 1.0 - sphericalRise(h, a) * (1.0 - s);
        case 3: return 1.0 - (1.0 - exp(-((h * 3.0) / a))) * (1.0 - s);
        case 4: return 1.0 - (1.0 - exp(-(power(h / a, 2.0) * 3.0))) * (1.0 - s);
        case 5: return s;
        case 6: return 1.0 - ((1.0 - cos((h / a) * PI)) * (1.0 - s)) / 2.0;
        case 7: return 1.0 - (1.0 - dampenedWave(p, h)) * (1.0 - s);
        case 8: return power(h, p.W) * p.C;
        default: return 0.0;
    }
}

// In the gamma-based shapes the density term comes first, then the shape it is added to.
Real crossValue(const ModelParameters& p, const GammaScale& gs, Real h) {
    const Real s = p.sill;
    const Real a = p.range;
    switch (p.model) {
        case 1: return h >= a ? s : (h * s) / a;
        case 2: return h >= a ? s : sphericalRise(h, a) * s;
        case 3: return (1.0 - exp(-((h * 3.0) / a))) * s;
        case 4: return (1.0 - exp(-(power(h / a, 2.0) * 3.0))) * s;
        case 5: return s;
        case 6: return ((1.0 - cos((h / a) * PI)) * s) / 2.0;
        case 7: return (1.0 - dampenedWave(p, h)) * s;
        case 8: return power(h, p.W) * p.C;
        case 9: {
            const Real g = gammaDensity(p, gs, h, true);
            return (g + (1.0 - exp(-((h * 3.0) / a)))) * s;
        }
        case 10: {
            const Real g = gammaDensity(p, gs, h, true);
            return (g + (1.0 - exp(-(power(h / a, 2.0) * 3.0)))) * s;
        }
        case 11: {
            const Real g = gammaDensity(p, gs, h, true);
            if (h >= a) return (g + 1.0) * s;
            return (g + sphericalRise(h, a)) * s;
        }
        case 12: return gammaDensity(p, gs, h, false);
        default: return 0.0;
    }
}

bool usesGamma(const ModelParameters& p) { return p.kind == 2 && p.model >= 9 && p.model <= 12; }

double valueAt(const ModelParameters& p, const GammaScale& g, double h) {
    if (!inCatalogue(p)) return 0.0;
    return assign(p.kind == 1 ? autoValue(p, h) : crossValue(p, g, h));
}

}  // namespace

bool inCatalogue(const ModelParameters& p) {
    return (p.kind == 1 && p.model >= 1 && p.model <= 8) ||
           (p.kind == 2 && p.model >= 1 && p.model <= 12);
}

double modelValue(const ModelParameters& p, double h) {
    return valueAt(p, usesGamma(p) ? gammaScale(p) : GammaScale{}, h);
}

void computeLagTable(const ModelParameters& p, LagTable& table) {
    const std::int32_t lastLag = p.maxLag < maxTableLag ? p.maxLag : maxTableLag;
    if (lastLag < 0) return;
    const GammaScale g = usesGamma(p) ? gammaScale(p) : GammaScale{};
    for (std::int32_t lag = 0; lag <= lastLag; ++lag) {
        table[static_cast<std::size_t>(lag)] = valueAt(p, g, static_cast<double>(lag));
    }
}

}  // namespace reduz
