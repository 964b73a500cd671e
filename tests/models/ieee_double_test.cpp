#include "models/ieee_double.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace reduz::ieee {
namespace {

// The bit trick against the logarithm itself, over the whole range it is asserted for
// (e log10 2 is never a whole number for e other than 0, and long double holds it to 1e-15).
TEST(FloorLog10Pow2, AgreesWithTheLogarithmOverItsRange) {
    for (int e = -1650; e <= 1650; ++e) {
        const long double exact = static_cast<long double>(e) * std::log10(2.0L);
        EXPECT_EQ(floorLog10Pow2(e), static_cast<int>(std::floor(exact))) << e;
    }
}

struct FieldCase {
    double value;
    std::uint64_t field;
    int binary;  // binaryExponent, for normal values
};

TEST(Fields, ExponentOfNormalValues) {
    const FieldCase cases[] = {
        {1.0, 1023, 0}, {0.75, halfField, -1}, {6.0, 1025, 2}, {-6.0, 1025, 2},
        {0x1p-1022, 1, -1022}, {0x1.fffffffffffffp1023, 2046, 1023},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(exponentField(bitsOf(c.value)), c.field) << c.value;
        EXPECT_TRUE(isNormalField(c.field)) << c.value;
        EXPECT_EQ(binaryExponent(bitsOf(c.value)), c.binary) << c.value;
    }
    EXPECT_FALSE(isNormalField(exponentField(bitsOf(0x1p-1074))));
    EXPECT_FALSE(isNormalField(exponentField(bitsOf(HUGE_VAL))));
    EXPECT_EQ(withField(-0.75, 1024), -3.0);
    EXPECT_EQ(powerOfTwo(-1022), 0x1p-1022);
    EXPECT_EQ(significandOf(bitsOf(1.5)), hiddenBit | quietBit);
}

}  // namespace
}  // namespace reduz::ieee
