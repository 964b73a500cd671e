#include "models/real.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "failure/float_settings.hpp"
#include "failure/run_failure.hpp"
#include "support/wide_real.hpp"

namespace reduz {
namespace {

using testing::scaled;

std::optional<RunFailure> failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunFailure& failure) {
        return failure;
    }
    return std::nullopt;
}

// Same value and the same sign of zero.
bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

std::string hex(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

#define EXPECT_SAME(actual, expected) EXPECT_PRED2(sameBits, actual, expected) << hex(actual) << " vs " << hex(expected)

enum class Op { Add, Sub, Mul, Div };

Real apply(Op op, Real x, Real y) {
    switch (op) {
        case Op::Add: return x + y;
        case Op::Sub: return x - y;
        case Op::Mul: return x * y;
        case Op::Div: return x / y;
    }
    return Real();
}

double applyPlain(Op op, double x, double y) {
    switch (op) {
        case Op::Add: return x + y;
        case Op::Sub: return x - y;
        case Op::Mul: return x * y;
        case Op::Div: return x / y;
    }
    return 0.0;
}

class RealTest : public ::testing::Test {
protected:
    void SetUp() override { setUpFloatSettings(); }
};

struct OpCase {
    Op op;
    double x;
    double y;
    double expected;
};

// Exact rounded results near and at halfway points: ties go to the even neighbour, anything
// beyond a tie goes to the nearer one.
const std::vector<OpCase> roundingCases = {
    {Op::Add, 1.0, 0x1p-53, 1.0},                          // tie, 1 is even
    {Op::Add, 1.0, 0x3p-53, 0x1.0000000000002p0},          // tie between 1+2^-52 and 1+2^-51
    {Op::Add, 1.0, 0x1.0000000000001p-53, 0x1.0000000000001p0},  // just above the tie
    {Op::Add, 0x1.0000000000001p0, 0x1p-53, 0x1.0000000000002p0},  // tie from an odd value
    {Op::Sub, 1.0, 0x1p-54, 1.0},                          // tie below 1, 1 is even
    {Op::Sub, 1.0, 0x1.0000000000001p-54, 0x1.fffffffffffffp-1},  // just beyond it
    {Op::Add, 1.0, 0x1p-54, 1.0},                          // a quarter of a place
    {Op::Add, 1.0, 0x1p-80, 1.0},                          // far apart: no effect
    {Op::Sub, 1.0, 0x1p-80, 1.0},
    {Op::Sub, 0x1p1000, 0x1p-1000, 0x1p1000},
    {Op::Add, 0x1p-1000, 0x1p1000, 0x1p1000},
    {Op::Sub, 1.0, 0x1.fffffffffffffp-1, 0x1p-53},         // exact cancellation
    {Op::Mul, 0x1.0000000000001p0, 0x1.0000000000001p0, 0x1.0000000000002p0},
    {Op::Mul, 0x1.0000000000001p0, 1.5, 0x1.8000000000002p0},  // 1.5 + 1.5 ulp: tie to even
    {Op::Mul, 0x1.0000000000003p0, 1.5, 0x1.8000000000004p0},  // 1.5 + 4.5 ulp: tie to even
    {Op::Div, 1.0, 3.0, 0x1.5555555555555p-2},
    {Op::Div, 2.0, 3.0, 0x1.5555555555555p-1},
    {Op::Div, 1.0, 0x1.fffffffffffffp-1, 0x1.0000000000001p0},
};

TEST_F(RealTest, RoundsEachOperationToNearestEven) {
    for (const OpCase& c : roundingCases) {
        SCOPED_TRACE(hex(c.x) + " op " + hex(c.y));
        EXPECT_SAME(assign(apply(c.op, c.x, c.y)), c.expected);
        EXPECT_SAME(applyPlain(c.op, c.x, c.y), c.expected);  // the cases themselves are plain IEEE
    }
}

// The operation with its operands moved by 2^shift, and the result moved back.
Real shiftedResult(const OpCase& c, int shift) {
    const Real back = scaled(1.0, -shift);
    switch (c.op) {
        case Op::Add: return (scaled(c.x, shift) + scaled(c.y, shift)) * back;
        case Op::Sub: return (scaled(c.x, shift) - scaled(c.y, shift)) * back;
        case Op::Mul: return scaled(c.x, shift) * c.y * back;
        case Op::Div: return scaled(c.x, shift) / c.y * back;
    }
    return Real();
}

TEST_F(RealTest, RoundsTheSameWayBeyondTheDoubleRange) {
    for (const int shift : {5000, -5000, 15000, -15000}) {
        for (const OpCase& c : roundingCases) {
            SCOPED_TRACE(hex(c.x) + " op " + hex(c.y) + " shifted by 2^" + std::to_string(shift));
            EXPECT_SAME(assign(shiftedResult(c, shift)), c.expected);
        }
    }
}

TEST_F(RealTest, AgreesWithPlainDoublesOnOrdinaryValues) {
    const std::vector<OpCase> cases = {
        {Op::Add, 0.1, 0.2, 0.1 + 0.2},       {Op::Sub, 0.3, 0.1, 0.3 - 0.1},
        {Op::Mul, 0.1, 3.0, 0.1 * 3.0},       {Op::Div, 1.0, 10.0, 1.0 / 10.0},
        {Op::Div, 22.0, 7.0, 22.0 / 7.0},     {Op::Mul, 1e300, 1e-300, 1e300 * 1e-300},
        {Op::Sub, -2.5, -2.5, 0.0},           {Op::Add, -0.75, 1e-17, -0.75 + 1e-17},
        {Op::Mul, -3.0, 0.25, -0.75},         {Op::Div, -1.0, 0x1p-1000, -0x1p1000},
        {Op::Add, 0x1.fffffffffffffp1023, -0x1p970, 0x1.ffffffffffffep1023},
    };
    for (const OpCase& c : cases) {
        SCOPED_TRACE(hex(c.x) + " op " + hex(c.y));
        EXPECT_SAME(assign(apply(c.op, c.x, c.y)), c.expected);
    }
}

double randomDouble(std::mt19937_64& random, int minExponent, int maxExponent) {
    std::uniform_int_distribution<int> exponent(minExponent, maxExponent);
    std::uniform_int_distribution<std::uint64_t> mantissa(0, (std::uint64_t{1} << 52) - 1);
    const double v = std::ldexp(1.0 + std::ldexp(static_cast<double>(mantissa(random)), -52), exponent(random));
    return random() & 1 ? -v : v;
}

TEST_F(RealTest, RandomSweepAgreesWithPlainDoubles) {
    std::mt19937_64 random(20240611);
    const Op ops[] = {Op::Add, Op::Sub, Op::Mul, Op::Div};
    int compared = 0;
    for (int i = 0; i < 200000; ++i) {
        const double x = randomDouble(random, -400, 400);
        // Addends near x as well, to reach cancellation and every alignment distance.
        const double y = (i % 2) ? randomDouble(random, -400, 400)
                                 : x * randomDouble(random, -70, 2);
        const Op op = ops[i % 4];
        const double plain = applyPlain(op, x, y);
        if (!std::isnormal(plain) && plain != 0.0) continue;
        ++compared;
        const double real = assign(apply(op, x, y));
        if (!sameBits(real, plain)) {
            ADD_FAILURE() << hex(x) << " op " << static_cast<int>(op) << " " << hex(y) << ": " << hex(real)
                          << " vs " << hex(plain);
            break;
        }
    }
    EXPECT_GT(compared, 190000);
}

TEST_F(RealTest, RandomSweepIsTheSameAtEveryExponent) {
    // Moving both operands by a power of two moves the result by it exactly.
    std::mt19937_64 random(77);
    int compared = 0;
    for (int i = 0; i < 50000; ++i) {
        const double x = randomDouble(random, -100, 100);
        const double y = (i % 2) ? randomDouble(random, -100, 100) : x * randomDouble(random, -70, 2);
        const int shift = (i % 3 == 0) ? 15000 : (i % 3 == 1) ? -15000 : 2000;
        const Real sx = scaled(x, shift);
        const Real sy = scaled(y, shift);
        const Real down = scaled(1.0, -shift);
        ++compared;
        EXPECT_SAME(assign((sx + sy) * down), x + y);
        EXPECT_SAME(assign((sx - sy) * down), x - y);
        EXPECT_SAME(assign(sx * y * down), x * y);
        EXPECT_SAME(assign(sx / y * down), x / y);
        EXPECT_SAME(assign(sx / sy), x / y);
        if (HasFailure()) break;
    }
    EXPECT_EQ(compared, 50000);
}

TEST_F(RealTest, IntermediatesKeepTheExtendedExponentRange) {
    // A product above the largest double that a division brings back is no failure.
    EXPECT_SAME(assign(Real(1e300) * Real(1e10) / Real(1e20)), 0x1.485ce9e7a065fp+963);
    EXPECT_SAME(assign(Real(0x1p1000) * 0x1p100 / 0x1p200), 0x1p900);
    // The extremes of the extended range, and the first values beyond it.
    const Real largest = scaled(0x1.fffffffffffffp0, 16383);
    EXPECT_SAME(assign(largest * scaled(1.0, -8000) * scaled(1.0, -8383)), 0x1.fffffffffffffp0);
    const Real smallest = scaled(1.0, -16382);
    EXPECT_SAME(assign(smallest * scaled(1.0, 16382)), 1.0);
    EXPECT_SAME(assign((smallest * 0.5) * scaled(1.0, 16383)), 0.0);  // underflowed to zero
    EXPECT_SAME(assign((-smallest * 0.5) * scaled(1.0, 16383)), -0.0);
}

TEST_F(RealTest, OverflowBeyondTheExtendedRangeFailsAtThatOperation) {
    const Real largest = scaled(0x1.fffffffffffffp0, 16383);
    const std::vector<std::function<void()>> actions = {
        [&] { (void)(largest * 2.0); },
        [&] { (void)(largest + scaled(0x1p-54, 16384)); },  // a tie that rounds up to 2^16384
        [&] { (void)(largest / 0.5); },
        [&] { (void)(-largest - largest); },
    };
    for (const auto& action : actions) {
        const auto failure = failureOf(action);
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->letter(), 'M');
        EXPECT_EQ(failure->number, 6104);
        EXPECT_EQ(failure->message, "floating-point error: overflow");
    }
    EXPECT_FALSE(failureOf([&] { (void)(largest + scaled(0x1.fffffffffffffp-55, 16384)); }).has_value());
}

struct TinyCase {
    Real value;
    double expected;
};

TEST_F(RealTest, SubnormalResultsKeepTheirBitsUntilAssigned) {
    // 0x1.0000000000001p-1080 is below every double, but multiplied back up it is whole.
    const Real tiny = Real(0x1.0000000000001p-540) * 0x1p-540;
    EXPECT_SAME(assign(tiny * 0x1p100), 0x1.0000000000001p-980);
    EXPECT_SAME(0x1.0000000000001p-540 * 0x1p-540 * 0x1p100, 0.0);  // plain doubles lose it

    // assign rounds the 53-bit value once to the subnormal grid (units of 2^-1074), ties to even.
    const std::vector<TinyCase> cases = {
        {Real(0x1.8p-1000) * 0x1p-74, 0x1p-1073},          // 1.5 units -> 2
        {Real(0x1.4p-1000) * 0x1p-73, 0x1p-1073},          // 2.5 units -> 2
        {Real(0x1.cp-1000) * 0x1p-73, 0x1p-1072},          // 3.5 units -> 4
        {Real(0x1p-1000) * 0x1p-75, 0.0},                  // half a unit -> 0
        {Real(0x1.0000000000001p-1000) * 0x1p-75, 0x1p-1074},  // just above half a unit
        {Real(-0x1.0000000000001p-1000) * 0x1p-75, -0x1p-1074},
        {Real(-0x1p-1000) * 0x1p-75, -0.0},
        {Real(0x1.fffffffffffffp-1000) * 0x1p-76, 0.0},    // below half a unit
        {Real(0x1.0000000000001p-1000) * 0x1p-80, 0.0},
        {Real(0x1.8000000000001p-1000) * 0x1p-70, 0x1.8p-1070},
        {Real(0x1.fffffffffffffp-1) * 0x1p-1022, 0x1p-1022},  // rounds up to the smallest normal
        {Real(0x1.23456789abcdep-1050), 0x1.23456789abcdep-1050},  // a subnormal double stays exact
        {Real(0x1p-1074) * 0x1p1000 * 0x1p74, 1.0},
    };
    for (const TinyCase& c : cases) EXPECT_SAME(assign(c.value), c.expected);

    // A product just below 1.5 units that rounds to exactly 1.5 units in 53 bits: the run's
    // value (rounded to 53 bits, then to the grid) is 2 units where a plain double has 1.
    const double a = 0x1.fffffff8p-501;   // (1 - 2^-30) * 2^-500
    const double b = 0x1.80000006p-574;   // 3 * (1 + 2^-30) * 2^-575
    EXPECT_SAME(assign(Real(a) * b), 0x1p-1073);
    EXPECT_SAME(a * b, 0x1p-1074);
}

TEST_F(RealTest, AssignOfAValueBeyondTheLargestDoubleFails) {
    const std::vector<std::function<double()>> beyond = {
        [] { return assign(Real(1e300) * Real(1e10)); },
        [] { return assign(Real(0x1.fffffffffffffp1023) + 0x1p970); },  // rounds up to 2^1024
        [] { return assign(-Real(0x1.fffffffffffffp1023) * 2.0); },
        [] { return assign(Real(1.0) / 0x1p-1074); },
    };
    for (const auto& action : beyond) {
        const auto failure = failureOf([&] { (void)action(); });
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->letter(), 'M');
        EXPECT_EQ(failure->number, 6104);
        EXPECT_EQ(failure->message, "floating-point error: overflow");
    }
    // Just short of half a place above the largest double, the sum rounds back to it.
    EXPECT_SAME(assign(Real(0x1.fffffffffffffp1023) + 0x1.fffffffffffffp969), 0x1.fffffffffffffp1023);
    EXPECT_SAME(assign(Real(1.0) / 0x1p-1023), 0x1p1023);
}

TEST_F(RealTest, InvalidAndDivideByZeroFail) {
    struct FailureCase {
        double x;
        double y;
        int number;
        const char* message;
    };
    const std::vector<FailureCase> cases = {
        {0.0, 0.0, 6101, "floating-point error: invalid"},
        {-0.0, 0.0, 6101, "floating-point error: invalid"},
        {0.0, -0.0, 6101, "floating-point error: invalid"},
        {1.0, 0.0, 6103, "floating-point error: divide by zero"},
        {-1.0, 0.0, 6103, "floating-point error: divide by zero"},
        {0x1p-1074, -0.0, 6103, "floating-point error: divide by zero"},
        {1e300, 0.0, 6103, "floating-point error: divide by zero"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(hex(c.x) + " / " + hex(c.y));
        const auto failure = failureOf([&] { (void)(Real(c.x) / c.y); });
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->letter(), 'M');
        EXPECT_EQ(failure->statement, StatementKind::Math);
        EXPECT_EQ(failure->number, c.number);
        EXPECT_EQ(failure->message, c.message);
    }
    // An extended-range value divided by zero is the same failure.
    const auto failure = failureOf([] { (void)(Real(1e300) * 1e300 / 0.0); });
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->number, 6103);
}

TEST_F(RealTest, NonFiniteDoublesCannotEnterAFormula) {
    const auto nan = failureOf([] { (void)Real(std::numeric_limits<double>::quiet_NaN()); });
    ASSERT_TRUE(nan.has_value());
    EXPECT_EQ(nan->number, 6101);
    const auto inf = failureOf([] { (void)Real(-std::numeric_limits<double>::infinity()); });
    ASSERT_TRUE(inf.has_value());
    EXPECT_EQ(inf->number, 6104);
}

TEST_F(RealTest, ZerosKeepTheirSigns) {
    const std::vector<OpCase> cases = {
        {Op::Add, -0.0, -0.0, -0.0}, {Op::Add, 0.0, -0.0, 0.0},  {Op::Add, -0.0, 0.0, 0.0},
        {Op::Sub, -0.0, 0.0, -0.0},  {Op::Sub, 0.0, 0.0, 0.0},   {Op::Sub, 1.5, 1.5, 0.0},
        {Op::Add, -1.5, 1.5, 0.0},   {Op::Mul, -0.0, 5.0, -0.0}, {Op::Mul, -2.0, 0.0, -0.0},
        {Op::Mul, -0.0, -1.0, 0.0},  {Op::Div, 0.0, -1.0, -0.0}, {Op::Div, -0.0, -1e300, 0.0},
        {Op::Add, -0.0, 2.0, 2.0},   {Op::Sub, 0.0, 2.0, -2.0},  {Op::Add, 0x1p-1074, -0.0, 0x1p-1074},
    };
    for (const OpCase& c : cases) {
        SCOPED_TRACE(hex(c.x) + " op " + hex(c.y));
        EXPECT_SAME(assign(apply(c.op, c.x, c.y)), c.expected);
    }
    EXPECT_SAME(assign(-Real(0.0)), -0.0);
    EXPECT_SAME(assign(-Real(-3.0)), 3.0);
}

TEST_F(RealTest, ComparesValuesOfAnyExponent) {
    struct CompareCase {
        Real x;
        Real y;
        bool atLeast;
    };
    const std::vector<CompareCase> cases = {
        {1.0, 1.0, true},
        {25.0, 25.0, true},
        {24.0, 25.0, false},
        {26.0, 25.0, true},
        {0.0, -0.0, true},
        {-0.0, 0.0, true},
        {0.0, 0x1p-1074, false},
        {0x1p-1074, 0.0, true},
        {-0x1p-1074, 0.0, false},
        {-1.0, -2.0, true},
        {-2.0, -1.0, false},
        {-0.75, -1.0, true},
        {0.75, 1.0, false},
        {scaled(1.0, 5000), 0x1.fffffffffffffp1023, true},
        {scaled(-1.0, 5000), -0x1.fffffffffffffp1023, false},
        {scaled(1.0, -5000), 0.0, true},
        {scaled(1.0, -5000), 0x1p-1074, false},
        {scaled(-1.0, -5000), -0x1p-1074, true},
        {1.0, -5.0, true},
        {-5.0, 1.0, false},
        {0.0, 3.0, false},
        {0.0, -3.0, true},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(hex(c.x.significand()) + "*2^" + std::to_string(c.x.exponent()) + " >= " +
                     hex(c.y.significand()) + "*2^" + std::to_string(c.y.exponent()));
        EXPECT_EQ(c.x >= c.y, c.atLeast);
    }
}

}  // namespace
}  // namespace reduz
