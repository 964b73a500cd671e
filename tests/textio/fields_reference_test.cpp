// renderFixed against a reference that takes every field from the whole exact decimal
// expansion (767 digits after the point) and composes it as plainly as it can. The program's
// renderFixed reads its 17 digits by a quicker road for most values; the two must agree on
// every value, every width and every number of decimals. The values are drawn with a fixed
// seed, so a failure comes back on every run.

#include "textio/fields.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

// ---- The reference ----------------------------------------------------------------------

struct Expansion {
    std::string digits;
    int exponent = 0;
};

bool incrementDigits(std::string& digits) {
    for (auto place = digits.rbegin(); place != digits.rend(); ++place) {
        if (*place != '9') {
            ++*place;
            return false;
        }
        *place = '0';
    }
    return true;
}

// 17 significant digits of the exact expansion, rounded half up on the 18th.
Expansion expandExactly(double magnitude) {
    std::array<char, 800> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                       std::chars_format::scientific, 767);
    const std::string_view scientific(text.data(), static_cast<std::size_t>(written.ptr - text.data()));
    const std::size_t mark = scientific.find('e');
    std::string digits(1, scientific[0]);
    digits.append(scientific.substr(2, 17));
    int exponent = 0;
    std::string_view exponentText = scientific.substr(mark + 1);
    if (exponentText.front() == '+') exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    Expansion expansion;
    expansion.exponent = exponent + 1;
    const bool roundUp = digits[17] >= '5';
    digits.resize(17);
    if (roundUp && incrementDigits(digits)) {
        digits.assign(1, '1');
        ++expansion.exponent;
    }
    digits.erase(digits.find_last_not_of('0') + 1);
    expansion.digits = digits;
    return expansion;
}

std::string fit(std::string text, int w) {
    const auto width = static_cast<std::size_t>(w);
    if (text.size() > width) return std::string(width, '*');
    return std::string(width - text.size(), ' ') + text;
}

// Finite values only.
std::string referenceFixed(double value, int w, int d) {
    const bool zero = value == 0.0;
    bool negative = !zero && std::signbit(value);
    Expansion expansion = zero ? Expansion{"0", 0} : expandExactly(std::fabs(value));
    std::string digits = expansion.digits;
    const long long e = expansion.exponent;
    long long integerDigits = e;
    long long keptDigits = e + d;
    if (e < -d) return fit((d == 0 ? "0." : ".") + std::string(static_cast<std::size_t>(d), '0'), w);
    const auto roundAt = static_cast<std::size_t>(std::min(16LL, keptDigits));
    if (digits.size() > roundAt) {
        const bool roundUp = digits[roundAt] >= '5';
        digits.resize(roundAt);
        if (roundUp && incrementDigits(digits)) {
            digits.insert(0, 1, '1');
            ++integerDigits;
            ++keptDigits;
        }
    }
    if (digits.find_first_not_of('0') == std::string::npos) negative = false;
    if (integerDigits == 0 && keptDigits == 0) return fit("0.", w);
    std::string text = negative ? "-" : "";
    std::string fraction = digits;
    if (integerDigits > 0) {
        const auto count = static_cast<std::size_t>(integerDigits);
        const std::string whole = fraction.substr(0, std::min(count, fraction.size()));
        text += whole + std::string(count - whole.size(), '0');
        fraction.erase(0, whole.size());
    }
    text += '.';
    if (integerDigits < 0) text += std::string(static_cast<std::size_t>(-integerDigits), '0');
    text += fraction;
    const std::size_t decimals = text.size() - text.find('.') - 1;
    if (decimals < static_cast<std::size_t>(d)) text += std::string(static_cast<std::size_t>(d) - decimals, '0');
    return fit(text, w);
}

// ---- The values ---------------------------------------------------------------------------

class Values {
public:
    explicit Values(std::uint64_t seed) : random_(seed) {}

    // Any finite double, subnormals included, by its bits.
    double anyBits() {
        for (;;) {
            const double value = std::bit_cast<double>(random_());
            if (std::isfinite(value)) return value;
        }
    }

    // Magnitudes from 10^-7 to 10^8 spread evenly over the decades, with either sign.
    double ordinary() {
        const double decade = std::uniform_real_distribution<double>(-7.0, 8.0)(random_);
        return sign() * std::pow(10.0, decade);
    }

    // A few last places around a decimal tie k.5 * 10^-d, where the rounding decides.
    double nearTie(int d) {
        const double k = static_cast<double>(random_() % 100'000'000ULL);
        const double tie = (k + 0.5) / std::pow(10.0, d);
        return sign() * stepped(tie, static_cast<int>(random_() % 7) - 3);
    }

    // A few last places around a power of ten.
    double nearPowerOfTen() {
        const int power = static_cast<int>(random_() % 44) - 22;
        return sign() * stepped(std::pow(10.0, power), static_cast<int>(random_() % 9) - 4);
    }

    // The nearest double to a decimal text whose digits 18 to 25 hold a 5 then nines or zeros,
    // or runs of nines: where a carry from the far digits meets the 18th.
    double carryProne() {
        std::string text = "0.";
        const int length = 1 + static_cast<int>(random_() % 17);
        for (int i = 0; i < length; ++i) text += static_cast<char>('0' + random_() % 10);
        static constexpr const char* tails[] = {"5", "49999999", "50000000", "99999999", "00000000",
                                                "4999999999999", "5000000000001", "9"};
        text += tails[random_() % std::size(tails)];
        for (int i = 0; i < 6; ++i) text += static_cast<char>('0' + random_() % 10);
        text += 'e';
        text += std::to_string(static_cast<int>(random_() % 20) - 8);
        double value = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return sign() * stepped(value, static_cast<int>(random_() % 3) - 1);
    }

    int below(int limit) { return static_cast<int>(random_() % static_cast<std::uint64_t>(limit)); }

private:
    double sign() { return (random_() & 1) != 0 ? -1.0 : 1.0; }

    static double stepped(double value, int steps) {
        for (; steps > 0; --steps) value = std::nextafter(value, HUGE_VAL);
        for (; steps < 0; ++steps) value = std::nextafter(value, -HUGE_VAL);
        return value;
    }

    std::mt19937_64 random_;
};

// Compares one value in the program's two fields and in a field drawn at random.
void compareFields(double value, Values& values, int& failures) {
    const int d = values.below(19);
    const int w = values.below(36);
    const std::array<std::array<int, 2>, 4> fields = {{{9, 4}, {9, 2}, {w, d}, {30, values.below(8)}}};
    for (const auto& [width, decimals] : fields) {
        const std::string expected = referenceFixed(value, width, decimals);
        const std::string got = reduz::renderFixed(value, width, decimals);
        if (got != expected && ++failures <= 20) {
            char shown[64];
            std::snprintf(shown, sizeof shown, "%a", value);
            ADD_FAILURE() << shown << " (" << value << ") in F" << width << '.' << decimals << ": \"" << got
                          << "\", expected \"" << expected << '"';
        }
    }
}

TEST(RenderFixedAgainstExactExpansion, RandomValues) {
    Values values(0x5EED'F1E1D5ULL);
    int failures = 0;
    for (int i = 0; i < 30'000; ++i) {
        compareFields(values.anyBits(), values, failures);
        compareFields(values.ordinary(), values, failures);
        compareFields(values.nearTie(values.below(9)), values, failures);
        compareFields(values.nearPowerOfTen(), values, failures);
        compareFields(values.carryProne(), values, failures);
    }
    EXPECT_EQ(failures, 0);
}

// Every power of two the quick road covers and a little beyond, with its neighbours, and the
// tables' own kind of values: whole numbers, halves and the model values of a first run.
TEST(RenderFixedAgainstExactExpansion, EdgesOfTheQuickRoad) {
    Values values(0xED6E5ULL);
    int failures = 0;
    for (int power = -30; power <= 60; ++power) {
        const double base = std::ldexp(1.0, power);
        for (const double value : {base, std::nextafter(base, 0.0), std::nextafter(base, HUGE_VAL),
                                   std::ldexp(1.0, power + 1) - std::ldexp(1.0, power - 52)}) {
            compareFields(value, values, failures);
            compareFields(-value, values, failures);
        }
    }
    for (int k = 0; k <= 20'000; ++k) {
        compareFields(k, values, failures);
        compareFields(k + 0.5, values, failures);
        compareFields(k / 10'000.0, values, failures);
        compareFields(0.25 * (1.0 - std::exp(-(k * 3.0) / 25.0)), values, failures);
    }
    for (const double value : {0.0, -0.0, 5e-324, -5e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
                               9007199254740991.0, 9007199254740992.0, 1.5258789062499998e-05, 1e-5,
                               0.99995, 9.99995, 0.995, 999999.99, 2.675, 1.005}) {
        compareFields(value, values, failures);
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
