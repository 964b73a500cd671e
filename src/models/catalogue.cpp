#include "models/catalogue.hpp"

#include "models/lag_loop.hpp"
#include "models/math_functions.hpp"

namespace reduz {

namespace {

using P = ModelParameters;

// 3.14159 as a single-precision value, widened: the models' pi.
constexpr double PI = 3.1415901184082031;

// Parts that several formulas share. Where a formula has two parts that can both fail, they
// are taken into named values in the order the formula gives: C++ leaves the order of the
// operands of one operator open, and the part taken first decides which failure is reported.

// (h * 1.5) / a - ((h / a) ^ 3.0) * 0.5
template <class N>
N sphericalRise(const Terms<N>& t) {
    const N linear = (t.h * 1.5) / t.a;
    const N cube = power(t.h / t.a, 3.0);
    return linear - cube * 0.5;
}

// cos((h / D) * PI) * exp(-((h * 3.0) / a)), the cosine first.
template <class N>
N dampenedWave(const Terms<N>& t) {
    const N wave = cos((t.h / t.D) * PI);
    const N damping = exp(-((t.h * 3.0) / t.a));
    return wave * damping;
}

// exp(-(h / (a * BETA))) * ((h / a) ^ (ALFA - 1.0)), the exponential first: with GAMMA(ALFA)
// and BETA ^ ALFA, taken before lag 0, the order in which the gamma density's parts fail.
template <class N>
N gammaLagPart(const Terms<N>& t) {
    const N decay = exp(-(t.h / (t.a * t.BETA)));
    const N rise = power(t.h / t.a, t.ALFA - 1.0);
    return decay * rise;
}

// g(h): W times the gamma density of shape ALFA and scale BETA at h / a.
template <class N>
N g(const Terms<N>& t) {
    return (gammaLagPart(t) * t.W) / (t.gammaOfAlfa * t.betaToAlfa);
}

// The value at lag h of each shape, as written with its row below.
constexpr auto autoLinear = [](const auto& t) { return t.h >= t.a ? t.s : 1.0 - ((1.0 - t.s) * t.h) / t.a; };
constexpr auto autoSpherical = [](const auto& t) { return t.h >= t.a ? t.s : 1.0 - sphericalRise(t) * (1.0 - t.s); };
constexpr auto autoExponential = [](const auto& t) { return 1.0 - (1.0 - exp(-((t.h * 3.0) / t.a))) * (1.0 - t.s); };
constexpr auto autoGaussian = [](const auto& t) { return 1.0 - (1.0 - exp(-(power(t.h / t.a, 2.0) * 3.0))) * (1.0 - t.s); };
constexpr auto nugget = [](const auto& t) { return t.s; };
constexpr auto autoHoleEffect = [](const auto& t) { return 1.0 - ((1.0 - cos((t.h / t.a) * PI)) * (1.0 - t.s)) / 2.0; };
constexpr auto autoDampenedHoleEffect = [](const auto& t) { return 1.0 - (1.0 - dampenedWave(t)) * (1.0 - t.s); };
constexpr auto powerLaw = [](const auto& t) { return power(t.h, t.W) * t.C; };

constexpr auto crossLinear = [](const auto& t) { return t.h >= t.a ? t.s : (t.h * t.s) / t.a; };
constexpr auto crossSpherical = [](const auto& t) { return t.h >= t.a ? t.s : sphericalRise(t) * t.s; };
constexpr auto crossExponential = [](const auto& t) { return (1.0 - exp(-((t.h * 3.0) / t.a))) * t.s; };
constexpr auto crossGaussian = [](const auto& t) { return (1.0 - exp(-(power(t.h / t.a, 2.0) * 3.0))) * t.s; };
constexpr auto crossHoleEffect = [](const auto& t) { return ((1.0 - cos((t.h / t.a) * PI)) * t.s) / 2.0; };
constexpr auto crossDampenedHoleEffect = [](const auto& t) { return (1.0 - dampenedWave(t)) * t.s; };
// In the gamma-based shapes the density term comes first, then the shape it is added to.
constexpr auto gammaExp = [](const auto& t) {
    const auto gh = g(t);
    return (gh + (1.0 - exp(-((t.h * 3.0) / t.a)))) * t.s;
};
constexpr auto gammaGauss = [](const auto& t) {
    const auto gh = g(t);
    return (gh + (1.0 - exp(-(power(t.h / t.a, 2.0) * 3.0)))) * t.s;
};
constexpr auto gammaSpher = [](const auto& t) {
    const auto gh = g(t);
    return t.h >= t.a ? (gh + 1.0) * t.s : (gh + sphericalRise(t)) * t.s;
};
constexpr auto testGamma = [](const auto& t) { return gammaLagPart(t) / (t.gammaOfAlfa * t.betaToAlfa); };

template <class F>
constexpr Formula formulaOf(F) {
    return Formula{&lagLoop<F>};
}

// The questions, each with its defaults in the order the answer gives the values. D's default
// is the sill times 0.95 as a single-precision value, widened.
constexpr Question askD{"Input D (half wave length):", {{{&P::D, "D", 0.949999988079071, &P::sill}}}, 1};
constexpr Question askSlopeAndPower{"Input C (SLOPE) AND W (POWER):", {{{&P::C, "C", 1.0}, {&P::W, "W", 1.0}}}, 2};
constexpr Question askGammaAndWeight{"INPUT ALFA, BETA & WEIGHT FOR GAMMA-BASED MODELS:",
                                     {{{&P::ALFA, "ALFA", 2.0}, {&P::BETA, "BETA", 1.0}, {&P::W, "W", 1.0}}}, 3};
constexpr Question askGamma{"INPUT ALFA & BETA FOR TESTING GAMMA DISTRIBUTION:",
                            {{{&P::ALFA, "ALFA", 2.0}, {&P::BETA, "BETA", 1.0}}}, 2};

// The report's parameter lines: the first value in F9.4, each further one in F9.2 (the second
// layout's ^ is always 5).
constexpr std::string_view twoFields = "(X,F9.4,F9.2)";
constexpr std::string_view manyFields = "(X,F9.4,^F9.2)";
constexpr ParameterLine sillRange{{&P::sill, &P::range}, 2};
constexpr ParameterLine sillOnly{{&P::sill}, 1};
constexpr ParameterLine sillRangeD{{&P::sill, &P::range, &P::D}, 3};
constexpr ParameterLine sillRangeSlopePower{{&P::sill, &P::range, &P::C, &P::W}, 4};
constexpr ParameterLine sillRangeGamma{{&P::sill, &P::range, &P::ALFA, &P::BETA, &P::W}, 5};
constexpr ParameterLine rangeGamma{{&P::range, &P::ALFA, &P::BETA}, 3};

constexpr bool gamma = true;

constexpr Shape rows[] = {
    // kind, model, label, question, parameter line, gamma terms, formula
    {1, 1, "1-Linear: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(autoLinear)},
    {1, 2, "2-Spherical: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(autoSpherical)},
    {1, 3, "3-Exponential: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(autoExponential)},
    {1, 4, "4-Gaussian: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(autoGaussian)},
    {1, 5, "5-Nugget for proportion line: sill", nullptr, twoFields, sillOnly, !gamma, formulaOf(nugget)},
    {1, 6, "6-Test hole effect: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(autoHoleEffect)},
    {1, 7, "7-Dampened hole effect (cos exp): sill, range,    \thalf wave length", &askD, manyFields, sillRangeD,
     !gamma, formulaOf(autoDampenedHoleEffect)},
    {1, 8, "8-Power: sill, range, slope, power", &askSlopeAndPower, manyFields, sillRangeSlopePower, !gamma,
     formulaOf(powerLaw)},

    {2, 1, "1-Linear: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(crossLinear)},
    {2, 2, "2-Spherical: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(crossSpherical)},
    {2, 3, "3-Exponential: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(crossExponential)},
    {2, 4, "4-Gaussian: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(crossGaussian)},
    {2, 5, "5-Nugget for proportion line: sill", nullptr, twoFields, sillOnly, !gamma, formulaOf(nugget)},
    {2, 6, "6-Test hole effect: sill, range", nullptr, twoFields, sillRange, !gamma, formulaOf(crossHoleEffect)},
    {2, 7, "7-Dampened hole effect (cos exp):                 \tsill, range, half wave length", &askD, manyFields,
     sillRangeD, !gamma, formulaOf(crossDampenedHoleEffect)},
    {2, 8, "8-Power: sill, range, slope, power", &askSlopeAndPower, manyFields, sillRangeSlopePower, !gamma,
     formulaOf(powerLaw)},
    {2, 9, "9-Gamma-exp: sill, range, alfa, beta, weight", &askGammaAndWeight, manyFields, sillRangeGamma, gamma,
     formulaOf(gammaExp)},
    {2, 10, "10-Gamma-Gauss: sill, range, alfa, beta, weight", &askGammaAndWeight, manyFields, sillRangeGamma, gamma,
     formulaOf(gammaGauss)},
    {2, 11, "11-Gamma-spher: sill, range, alfa, beta, weight", &askGammaAndWeight, manyFields, sillRangeGamma, gamma,
     formulaOf(gammaSpher)},
    {2, 12, "12-Test Gamma: range, alfa, beta", &askGamma, manyFields, rangeGamma, gamma, formulaOf(testGamma)},
};

}  // namespace

std::span<const Shape> catalogue() { return rows; }

const Shape* findShape(std::int32_t kind, std::int32_t model) {
    for (const Shape& shape : rows) {
        if (shape.kind == kind && shape.model == model) return &shape;
    }
    return nullptr;
}

const Question* questionOf(std::int32_t model) {
    for (const Shape& shape : rows) {
        if (shape.model == model) return shape.question;
    }
    return nullptr;
}

double defaultOf(const Asked& asked, const ModelParameters& parameters) {
    if (asked.times == nullptr) return asked.value;
    return assign(Real(parameters.*asked.times) * asked.value);
}

}  // namespace reduz
