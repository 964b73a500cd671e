// evaluateShape, which takes each lag in plain doubles and again on the exact path only where a
// floating-point flag says it may differ, against evaluateShapeExactly over generated parameter
// sets for all twenty shapes: the same bits in every slot, the same failure (number and
// message) or none, at the same lag (the slots from the failing lag on stay untouched in both).
// The sets lean toward the edges where the two arithmetics part: huge and tiny ranges, ALFA at
// and near GAMMA's poles and above 171, BETA near 0 and below it, W and the range at 0 and
// below, cosine arguments near 2^63, subnormal values. They come from a fixed seed, so a
// difference comes back on every run; the message names the parameters.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "failure/run_failure.hpp"
#include "models/catalogue.hpp"
#include "models/lag_table.hpp"

namespace reduz {
namespace {

using Evaluation = void (*)(const Shape&, const ModelParameters&, std::int32_t, std::span<double>);

// A slot that still holds this NaN, which no formula makes, was not written.
constexpr std::uint64_t untouched = 0x7FF4DEADBEEF0001;

struct Outcome {
    std::vector<std::uint64_t> bits;  // each slot's
    std::string failure;              // number and message, or empty
};

Outcome outcomeOf(Evaluation evaluate, const Shape& shape, const ModelParameters& p, std::int32_t firstLag,
                  std::size_t count) {
    std::vector<double> values(count, std::bit_cast<double>(untouched));
    Outcome outcome;
    try {
        evaluate(shape, p, firstLag, values);
    } catch (const RunFailure& failure) {
        outcome.failure = std::to_string(failure.number) + " " + failure.message;
    }
    for (const double value : values) outcome.bits.push_back(std::bit_cast<std::uint64_t>(value));
    return outcome;
}

// Whether the two evaluations agree; a difference is reported.
bool agree(const Outcome& quick, const Outcome& exact, const std::string& what) {
    EXPECT_EQ(quick.failure, exact.failure) << what;
    EXPECT_EQ(quick.bits, exact.bits) << what;
    return quick.failure == exact.failure && quick.bits == exact.bits;
}

class EdgeParameters {
public:
    explicit EdgeParameters(std::uint64_t seed) : random_(seed) {}

    ModelParameters next(const Shape& shape, std::int32_t someLag) {
        ModelParameters p;
        p.kind = shape.kind;
        p.model = shape.model;
        p.sill = choose({uniform(0.0, 1.0), uniform(-2.0, 2.0), anyMagnitude()});
        p.range = lengthNear(uniform(1.0, 100.0), someLag);
        p.D = lengthNear(uniform(0.1, 50.0), someLag);
        p.C = choose({uniform(-5.0, 5.0), anyMagnitude(), near(DBL_MAX)});
        p.W = choose({uniform(-2.0, 3.0), whole(-3, 3), near(0.0), anyMagnitude(), uniform(300.0, 1100.0)});
        p.ALFA = choose({uniform(0.5, 5.0), near(poles[below(std::size(poles))]), near(1.0), uniform(170.0, 180.0),
                         uniform(-6.0, 0.0), whole(-6, 6), anyMagnitude()});
        p.BETA = choose({uniform(0.1, 3.0), near(0.0), uniform(-3.0, 0.0), whole(-3, 3), anyMagnitude()});
        return p;
    }

    std::int32_t below(std::size_t n) { return static_cast<std::int32_t>(random_() % n); }
    bool chance(double p) { return uniform(0.0, 1.0) < p; }

private:
    // GAMMA's series divides by zero at 0, -1, -2, -3 and -4, and takes the log of zero at -4.5.
    static constexpr double poles[] = {0.0, -1.0, -2.0, -3.0, -4.0, -4.5};

    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }
    double whole(int low, int high) { return low + below(static_cast<std::size_t>(high - low + 1)); }

    // One of the candidates, the first (the typical value) half of the time.
    double choose(std::initializer_list<double> candidates) {
        if (chance(0.5)) return *candidates.begin();
        return candidates.begin()[below(candidates.size())];
    }

    // x itself, a few last places away, or a little way off; either sign of zero for 0. Finite,
    // as the reader makes every parameter.
    double near(double x) {
        double y = x;
        switch (below(4)) {
            case 0: return x == 0.0 && chance(0.5) ? -0.0 : x;
            case 1: {
                const double toward = chance(0.5) ? HUGE_VAL : -HUGE_VAL;
                for (std::int32_t steps = 1 + below(4); steps > 0; --steps) y = std::nextafter(y, toward);
                break;
            }
            default:
                y += std::copysign(std::pow(10.0, uniform(-320.0, -1.0)), uniform(-1.0, 1.0)) * std::max(1.0, std::fabs(x));
                break;
        }
        return std::isfinite(y) ? y : x;
    }

    // Any sign and decimal exponent, subnormals and values near the largest double included.
    double anyMagnitude() {
        const double magnitude = std::pow(10.0, uniform(-325.0, 308.25));
        return chance(0.5) ? -magnitude : magnitude;
    }

    // A range or D: typical, zero or below, huge or tiny, near a lag (where h >= a turns), or
    // one that puts the cosine's argument (h / a) * PI near 2^63 at that lag, or exp(-3 h / a)
    // among the subnormals.
    double lengthNear(double typical, std::int32_t lag) {
        const double h = lag;
        const double cosBound = h * 3.1415901184082031 / 0x1p63;
        return choose({typical, near(0.0), uniform(-100.0, 0.0), std::pow(10.0, uniform(290.0, 308.2)),
                       std::pow(10.0, uniform(-323.0, -290.0)), near(h), near(cosBound),
                       3.0 * h / uniform(700.0, 750.0), uniform(0.2, 3.0), subnormalQuotient});
    }
    // 1 / a is then 2^-1023, a subnormal taken exactly: at lag 1 it is the base of the power
    // in the gamma density, unflagged.
    static constexpr double subnormalQuotient = 0x1p1023;

    std::mt19937_64 random_;
};

std::string describe(const ModelParameters& p, std::int32_t firstLag, std::size_t count) {
    std::ostringstream text;
    text.precision(17);
    text << "kind " << p.kind << " model " << p.model << ", lags " << firstLag << " to "
         << firstLag + static_cast<std::int64_t>(count) - 1 << ": sill " << p.sill << " range " << p.range << " D "
         << p.D << " C " << p.C << " W " << p.W << " ALFA " << p.ALFA << " BETA " << p.BETA;
    return text.str();
}

TEST(PlainPath, GivesTheExactPathsBitsAndFailuresOverGeneratedParameters) {
    EdgeParameters generator(0x5EEDF00DULL);
    constexpr int setsPerShape = 2000;
    std::set<std::string> failuresSeen;
    int subnormalValues = 0;
    for (const Shape& shape : catalogue()) {
        for (int set = 0; set < setsPerShape; ++set) {
            // Mostly short stretches from lag 0 or from anywhere in the table, now and then the
            // whole table, or lags far beyond it.
            std::int32_t firstLag = generator.chance(0.6) ? 0 : generator.below(1001);
            std::size_t count = 1 + static_cast<std::size_t>(generator.below(40));
            if (generator.chance(0.01)) count = 1001;
            if (generator.chance(0.03)) firstLag = 1000 + generator.below(100000000);
            const std::int32_t someLag = firstLag + generator.below(count);
            const ModelParameters p = generator.next(shape, someLag);
            const Outcome quick = outcomeOf(evaluateShape, shape, p, firstLag, count);
            const Outcome exact = outcomeOf(evaluateShapeExactly, shape, p, firstLag, count);
            if (!agree(quick, exact, describe(p, firstLag, count))) return;
            if (!exact.failure.empty()) failuresSeen.insert(exact.failure);
            for (const std::uint64_t bits : exact.bits) {
                subnormalValues += std::fpclassify(std::bit_cast<double>(bits)) == FP_SUBNORMAL;
            }
        }
    }
    // The sets reach every numeric failure and the subnormal values, or they say little.
    const std::set<std::string> everyFailure = {
        "6101 floating-point error: invalid", "6103 floating-point error: divide by zero",
        "6104 floating-point error: overflow", "6201 **: DOMAIN error", "6201 log: DOMAIN error",
        "6202 **: SING error", "6202 log: SING error", "6203 **: OVERFLOW error", "6203 exp: OVERFLOW error",
        "6205 cos: TLOSS error",
    };
    EXPECT_EQ(failuresSeen, everyFailure);
    EXPECT_GT(subnormalValues, 100);
}

// (1 / 2^1023) ^ (ALFA - 1) at lag 1, range 2^1023 and BETA 0.5 (the exponential's argument is
// then a normal -2^-1022): for a subnormal base the library's pow and the exact path's own road
// part by a last place at these ALFA, which generated sets seldom hit.
TEST(PlainPath, LeavesASubnormalBaseOfAPowerToTheExactPath) {
    const std::pair<std::int32_t, double> cases[] = {{12, 0.00713}, {9, 0.01754}};
    for (const auto& [model, alfa] : cases) {
        const ModelParameters p{
            .model = model, .kind = 2, .sill = 0.25, .range = 0x1p1023, .W = 1.0, .ALFA = alfa, .BETA = 0.5};
        const Shape& shape = *findShape(2, model);
        agree(outcomeOf(evaluateShape, shape, p, 1, 3), outcomeOf(evaluateShapeExactly, shape, p, 1, 3), describe(p, 1, 3));
    }
}

}  // namespace
}  // namespace reduz
