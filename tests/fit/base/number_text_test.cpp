// Numbers as the input writes them: a case a line, grouped by what is probed.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "fit/base/number_text.hpp"

namespace reduz::fit {
namespace {

TEST(NumberText, ParseNumber) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        // the forms a spreadsheet writes
        {"12.5", 12.5}, {"+3", 3}, {"-0.25", -0.25}, {"1e2", 100}, {"1E-2", 0.01}, {".5", 0.5},
        // beyond a double's range: too small is a number (0, or the nearest subnormal), too large is not
        {"1e-400", 0.0}, {"-1e-400", -0.0}, {"4e-324", 4.9406564584124654e-324}, {"1e400", std::nullopt},
        {"-1e309", std::nullopt},
        // not numbers
        {"", std::nullopt}, {"1O", std::nullopt}, {"inf", std::nullopt}, {"nan", std::nullopt}, {"1,5", std::nullopt},
        {"+-1", std::nullopt}, {"0x10", std::nullopt}, {" 1", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<double> value = parseNumber(c.text);
        ASSERT_EQ(value.has_value(), c.value.has_value()) << c.text;
        if (value) {
            EXPECT_EQ(*value, *c.value) << c.text;
            EXPECT_EQ(std::signbit(*value), std::signbit(*c.value)) << c.text;
        }
    }
}

TEST(NumberText, ParseWholeDecimal) {
    constexpr long long lowest = std::numeric_limits<long long>::min();
    constexpr long long highest = std::numeric_limits<long long>::max();
    struct Case {
        const char* text;
        std::optional<long long> value;
    };
    const Case cases[] = {
        // exactly, where a double could not tell neighbours apart
        {"9007199254740993", 9007199254740993LL}, {"9223372036854775807", highest}, {"-9223372036854775808", lowest},
        {"9223372036854775808", std::nullopt}, {"-9223372036854775809", std::nullopt},
        // whole values in any decimal form
        {"2.0", 2}, {"+2.000", 2}, {"-0.0", 0}, {"1.5e1", 15}, {"150e-1", 15}, {"1e18", 1000000000000000000LL},
        {"0.0e99999", std::nullopt}, {"00012", 12}, {"9.223372036854775807e18", highest}, {"1e19", std::nullopt},
        // not whole, or no number
        {"2.5", std::nullopt}, {"1e-1", std::nullopt}, {"", std::nullopt}, {".", std::nullopt}, {"e5", std::nullopt},
        {"1e", std::nullopt}, {"1.2.3", std::nullopt}, {"--1", std::nullopt}, {"1 ", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseWholeDecimal(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace reduz::fit
