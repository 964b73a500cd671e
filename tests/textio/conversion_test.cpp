#include "textio/conversion.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace reduz {
namespace {

struct IntegerCase {
    std::string text;
    std::int32_t value;
    int failure;  // 0: the text gives the value
};

struct RealCase {
    std::string text;
    double value;
    int failure;
};

const std::string zeros300(300, '0');

void checkIntegers(const std::vector<IntegerCase>& cases) {
    for (const IntegerCase& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        const Converted<std::int32_t> got = convertInteger(c.text);
        EXPECT_EQ(got.failure ? ioFailureNumber(*got.failure) : 0, c.failure);
        if (c.failure == 0) {
            EXPECT_EQ(got.value, c.value);
        }
    }
}

// Compared bit for bit, so that the sign of a zero and the last place count.
void checkReals(const std::vector<RealCase>& cases) {
    for (const RealCase& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        const Converted<double> got = convertReal(c.text);
        EXPECT_EQ(got.failure ? ioFailureNumber(*got.failure) : 0, c.failure);
        if (c.failure == 0) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(got.value), std::bit_cast<std::uint64_t>(c.value))
                << got.value << " expected " << c.value;
        }
    }
}

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

TEST(IntegerConversion, Limits) {
    checkIntegers({
        {"2147483647", 2147483647, 0},
        {"+2147483647", 2147483647, 0},
        {"2147483648", 0, 6100},
        {"+2147483648", 0, 6100},
        {"-2147483647", -2147483647, 0},
        {"-2147483648", int32Min, 0},
        {"-2147483649", 0, 6100},
        {"-02147483648", 0, 6100},  // only the exact text reaches the lowest value
        {"21474836470", 0, 6100},
        {"99999999999x", 0, 6100},  // the digit that overflows is met before the letter
        {"0", 0, 0},
        {"007", 7, 0},
        {zeros300 + "5", 5, 0},
    });
}

TEST(IntegerConversion, Bases) {
    checkIntegers({
        {"16#32", 50, 0},
        {"16#1F", 31, 0},
        {"#1F", 31, 0},
        {"0#1f", 31, 0},
        {"00#1F", 31, 0},
        {"2#101", 5, 0},
        {"8#777", 511, 0},
        {"36#Zz", 1295, 0},
        {"10#2147483647", 2147483647, 0},
        {"10#2147483648", 0, 6100},
        {"16#7FFFFFFF", 2147483647, 0},
        {"16#80000000", int32Min, 0},
        {"16#FFFFFFFF", -1, 0},
        {"2#11111111111111111111111111111111", -1, 0},
        {"#100000000", 0, 6100},
        {"-16#FF", -255, 0},
        {"-#FFFFFFFF", 1, 0},
        {"#", 0, 0},
        {"1#1", 0, 6303},
        {"37#1", 0, 6303},
        {"99999999999#1", 0, 6100},
        {"2#102", 0, 6101},
        {"16#G", 0, 6101},
        {"16#-1", 0, 6101},
        {"16#1#2", 0, 6302},
        {"A#1", 0, 6101},
    });
}

TEST(IntegerConversion, SignsAndCtrlZ) {
    checkIntegers({
        {"+", 0, 0},
        {"-", 0, 0},
        {"+5", 5, 0},
        {"-5", -5, 0},
        {"--5", 0, 6101},
        {"+-5", 0, 6101},
        {"5-", 0, 6101},
        {"\x1a", 0, 0},
        {"-\x1a", 0, 0},
        {"12\x1a" "34", 12, 0},
        {"16#F\x1a" "ZZ", 15, 0},
    });
}

TEST(IntegerConversion, InvalidTexts) {
    checkIntegers({
        {"50.", 0, 6101},
        {"5E1", 0, 6101},
        {"1D2", 0, 6101},
        {".", 0, 6101},
        {"E", 0, 6101},
        {"0x10", 0, 6101},
        {"x99999999999", 0, 6101},
        {"1'", 0, 6101},
    });
}

TEST(RealConversion, MantissaForms) {
    checkReals({
        {"3", 3.0, 0},
        {"0.25", 0.25, 0},
        {"25.", 25.0, 0},
        {".5", 0.5, 0},
        {"+.5", 0.5, 0},
        {"-0.25", -0.25, 0},
        {"007.50", 7.5, 0},
        {zeros300 + "5", 5.0, 0},
        {"0." + zeros300 + "1E301", 1.0, 0},
        {"1" + zeros300 + "E-300", 1.0, 0},
    });
}

TEST(RealConversion, ExponentForms) {
    checkReals({
        {"1D-2", 0.01, 0},
        {"1d-2", 0.01, 0},
        {"1E-2", 0.01, 0},
        {"1e+2", 100.0, 0},
        {"2.5+1", 25.0, 0},
        {"2.5-1", 0.25, 0},
        {"1.5+3", 1500.0, 0},
        {".5E1", 5.0, 0},
        {"5.E-1", 0.5, 0},
        {"1E0000000000000000000001", 10.0, 0},
    });
}

TEST(RealConversion, SignedZeros) {
    checkReals({
        {"0", 0.0, 0},
        {"+0", 0.0, 0},
        {"-0", -0.0, 0},
        {"-0.0E5", -0.0, 0},
        {"0E99999999999999999999", 0.0, 0},
        {"-.000E-99999999999999999999", -0.0, 0},
    });
}

TEST(RealConversion, RoundingAndRange) {
    checkReals({
        {"0.1", 0.1, 0},
        {"2.675", 2.675, 0},
        {"9007199254740993", 9007199254740992.0, 0},  // a tie goes to even
        {"9007199254740995", 9007199254740996.0, 0},
        {"9007199254740993." + zeros300 + "1", 9007199254740994.0, 0},
        {"1.7976931348623157E308", std::numeric_limits<double>::max(), 0},
        {"1.7976931348623158E308", std::numeric_limits<double>::max(), 0},
        {"1.7976931348623159E308", 0, 6102},
        {"1E309", 0, 6102},
        {"1E400", 0, 6102},
        {"-1E400", 0, 6102},
        {"1E99999999999999999999", 0, 6102},
        {"2.2250738585072011E-308", 2.2250738585072009e-308, 0},
        {"1E-310", 1e-310, 0},
        {"4.9406564584124654E-324", std::numeric_limits<double>::denorm_min(), 0},
        {"2.4703282292062328E-324", std::numeric_limits<double>::denorm_min(), 0},
        {"2.4703282292062327E-324", 0.0, 0},
        {"1E-400", 0.0, 0},
        {"-1E-400", -0.0, 0},
    });
}

TEST(RealConversion, InvalidTexts) {
    checkReals({
        {"", 0, 6103},
        {"+", 0, 6103},
        {"-", 0, 6103},
        {".", 0, 6103},
        {"+.", 0, 6103},
        {"E5", 0, 6103},
        {".E5", 0, 6103},
        {"1E", 0, 6103},
        {"1E+", 0, 6103},
        {"1+", 0, 6103},
        {"1.5d", 0, 6103},
        {"1.5.2", 0, 6103},
        {"1#2", 0, 6103},
        {"16#32", 0, 6103},
        {"1e5.5", 0, 6103},
        {"1E5E5", 0, 6103},
        {"1+-3", 0, 6103},
        {"1e-+3", 0, 6103},
        {"++1", 0, 6103},
        {"0.25abc", 0, 6103},
        {"1f", 0, 6103},
        {"inf", 0, 6103},
        {"-infinity", 0, 6103},
        {"nan", 0, 6103},
        {"0x1p3", 0, 6103},
        {"\x1a", 0, 6103},
        {"1\x1a", 0, 6103},
    });
}

}  // namespace
}  // namespace reduz
