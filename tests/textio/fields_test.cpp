#include "textio/fields.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

using reduz::renderFixed;
using reduz::renderInteger;

double fromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

struct FixedCase {
    double value;
    int w;
    int d;
    const char* expected;
};

constexpr double infinity = std::numeric_limits<double>::infinity();

const FixedCase fixedCases[] = {
    // Plain values: no zero in front of the point, never a plus sign.
    {0.25, 9, 4, "    .2500"},
    {25.0, 9, 2, "    25.00"},
    {1.0, 9, 4, "   1.0000"},
    {-0.25, 9, 4, "   -.2500"},
    {0.6, 9, 4, "    .6000"},
    {-999.9999, 9, 4, "-999.9999"},
    {1e20, 30, 2, "      100000000000000000000.00"},  // digits past the 16th kept come out as 0

    // Ties round away from zero; the stored value decides which side of the tie it lies.
    {0.125, 9, 2, "      .13"},  // stored exactly: a true tie
    {-0.125, 9, 2, "     -.13"},
    {12.5, 5, 0, "  13."},
    {2.675, 9, 2, "     2.67"},  // stored 2.67499999999999982..., 17 digits keep it below
    {1.005, 9, 2, "     1.00"},  // stored 1.00499999999999989...: "10049999999999999"
    // Stored 0.99995000000000000551 and 9.99995000000000011653: already above the tie, so the
    // 17 digits ("99995", "999995") round up at the fourth decimal, whatever else is done.
    {0.99995, 9, 4, "   1.0000"},
    {9.99995, 9, 4, "  10.0000"},
    // Stored just below the tie, but only in the 18th digit: 0.99499999999999999556 has
    // 17 digits "99499999999999999" and an 18th digit 5, which lifts them to "995", a tie.
    {0.995, 9, 2, "     1.00"},
    {0.00035, 9, 4, "    .0004"},  // 0.000349999999999999996 -> "35"
    {0.105, 9, 2, "      .11"},    // 0.104999999999999996 -> "105"

    // Carries through nines, adding an integer digit.
    {9.99996, 9, 4, "  10.0000"},
    {999999.99, 9, 2, "999999.99"},  // stored 999999.98999999999..., the carry stops at the 8
    {0.7, 5, 0, "   1."},
    {-0.00005, 9, 4, "   -.0001"},  // no digit kept, the first digit 5 carries out

    // Zero of both signs, values zero at this precision: no sign.
    {0.0, 9, 4, "    .0000"},
    {-0.0, 9, 4, "    .0000"},
    {0.0, 9, 2, "      .00"},
    {0.00004, 9, 4, "    .0000"},
    {-0.00004, 9, 4, "    .0000"},
    {0.0000001, 9, 4, "    .0000"},
    {-0.0000001, 9, 4, "    .0000"},
    // Without decimals a single 0 stands in front of the point, however small the value.
    {0.0, 5, 0, "   0."},
    {-0.3, 5, 0, "   0."},
    {0.04, 5, 0, "   0."},

    // Too wide for the field: asterisks.
    {10000.0, 9, 4, "*********"},
    {-100000.0, 9, 2, "*********"},
    {99999.999, 8, 2, "********"},  // the carry makes 100000.00: one character too many
    {99999.999, 9, 2, "100000.00"},
    {0.5, 0, 0, ""},

    // Infinities and NaNs: a marker filled with full stops, or cut to the width; no sign.
    {infinity, 9, 2, "1#INF...."},
    {-infinity, 9, 2, "1#INF...."},
    {fromBits(0xFFF8000000000000), 9, 4, "1#IND...."},   // the processor's default NaN
    {fromBits(0x7FF8000000000000), 9, 4, "1#QNAN..."},   // positive: not the default one
    {fromBits(0xFFF8000000000001), 9, 4, "1#QNAN..."},   // further fraction bits
    {fromBits(0x7FF0000000000001), 9, 4, "1#SNAN..."},
    {fromBits(0xFFF4000000000000), 9, 4, "1#SNAN..."},
    {infinity, 3, 1, "1#I"},
    {fromBits(0x7FF0000000000001), 5, 1, "1#SNA"},
    {fromBits(0xFFF8000000000000), 5, 1, "1#IND"},
};

TEST(RenderFixed, FieldTable) {
    for (const FixedCase& c : fixedCases) {
        EXPECT_EQ(renderFixed(c.value, c.w, c.d), c.expected)
            << "value " << c.value << " in F" << c.w << '.' << c.d;
    }
}

struct IntegerCase {
    std::int32_t value;
    int w;
    const char* expected;
};

const IntegerCase integerCases[] = {
    {7, 3, "  7"},
    {0, 3, "  0"},
    {999, 3, "999"},
    {1000, 3, "***"},
    {-5, 3, " -5"},
    {-99, 3, "-99"},
    {-100, 3, "***"},
    {std::numeric_limits<std::int32_t>::min(), 12, " -2147483648"},
    {std::numeric_limits<std::int32_t>::max(), 10, "2147483647"},
};

TEST(RenderInteger, FieldTable) {
    for (const IntegerCase& c : integerCases) {
        EXPECT_EQ(renderInteger(c.value, c.w), c.expected) << "value " << c.value << " in I" << c.w;
    }
}

// The layouts never give these; the assertions hold where assertions are compiled in.
TEST(RenderFixed, NegativeWidthOrDecimalsRefused) {
#ifdef NDEBUG
    GTEST_SKIP() << "assertions are compiled out";
#else
    EXPECT_DEATH(renderFixed(1.0, -1, 2), "");
    EXPECT_DEATH(renderFixed(1.0, 9, -1), "");
    EXPECT_DEATH(renderInteger(1, -1), "");
#endif
}

}  // namespace
