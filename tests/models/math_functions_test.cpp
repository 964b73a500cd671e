#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "failure/float_settings.hpp"
#include "failure/run_failure.hpp"
#include "support/wide_real.hpp"
#include "models/math_functions.hpp"
#include "models/real.hpp"

namespace reduz {
namespace {

using testing::scaled;

// The value of 1e300 * 1e10, rounded to 53 bits: about 1e310.
Real aboutE310() { return Real(1e300) * Real(1e10); }

std::string hex(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

struct FunctionCase {
    const char* what;
    std::function<Real()> call;
    double value = 0.0;       // the exact 64-bit result, sign of zero included, when it succeeds
    int number = 0;           // otherwise the failure
    const char* message = "";
};

FunctionCase gives(const char* what, std::function<Real()> call, double value) {
    return {what, std::move(call), value, 0, ""};
}

FunctionCase fails(const char* what, std::function<Real()> call, int number, const char* message) {
    return {what, std::move(call), 0.0, number, message};
}

void check(const std::vector<FunctionCase>& cases) {
    setUpFloatSettings();
    for (const FunctionCase& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            const Real result = c.call();
            const double value = assign(result);
            if (c.number != 0) {
                ADD_FAILURE() << "expected failure " << c.number << ", got " << hex(value);
            } else {
                EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(c.value))
                    << hex(value) << " vs " << hex(c.value);
            }
        } catch (const RunFailure& failure) {
            if (c.number == 0) {
                ADD_FAILURE() << "unexpected failure " << failure.number << " " << failure.message;
            } else {
                EXPECT_EQ(failure.letter(), 'M');
                EXPECT_EQ(failure.statement, StatementKind::Math);
                EXPECT_EQ(failure.number, c.number);
                EXPECT_EQ(failure.message, c.message);
            }
        }
    }
}

constexpr int DOMAIN = 6201;
constexpr int SING = 6202;
constexpr int OVERFLOW = 6203;
constexpr int TLOSS = 6205;

TEST(MathFunctionsTest, PowerOfZeroAndToTheZero) {
    check({
        gives("0 ** 0", [] { return power(0.0, 0.0); }, 1.0),
        gives("-0 ** 0", [] { return power(-0.0, 0.0); }, 1.0),
        gives("0 ** -0", [] { return power(0.0, -0.0); }, 1.0),
        gives("-7.5 ** 0", [] { return power(-7.5, 0.0); }, 1.0),
        gives("1e310 ** 0", [] { return power(aboutE310(), 0.0); }, 1.0),
        gives("0 ** 2", [] { return power(0.0, 2.0); }, 0.0),
        gives("0 ** 0.5", [] { return power(0.0, 0.5); }, 0.0),
        gives("-0 ** 3", [] { return power(-0.0, 3.0); }, -0.0),
        gives("-0 ** 2", [] { return power(-0.0, 2.0); }, 0.0),
        gives("-0 ** 2.5", [] { return power(-0.0, 2.5); }, 0.0),
        gives("-0 ** 2^1100", [] { return power(-0.0, scaled(1.0, 1100)); }, 0.0),
        fails("0 ** -1", [] { return power(0.0, -1.0); }, SING, "**: SING error"),
        fails("-0 ** -2", [] { return power(-0.0, -2.0); }, SING, "**: SING error"),
        fails("0 ** -0.5", [] { return power(0.0, -0.5); }, SING, "**: SING error"),
        fails("0 ** -2^-1100", [] { return power(0.0, scaled(-1.0, -1100)); }, SING, "**: SING error"),
    });
}

TEST(MathFunctionsTest, PowerOfNegativeBases) {
    check({
        gives("-2 ** 3", [] { return power(-2.0, 3.0); }, -8.0),
        gives("-2 ** 2", [] { return power(-2.0, 2.0); }, 4.0),
        gives("-2 ** -1", [] { return power(-2.0, -1.0); }, -0.5),
        gives("-1 ** 2^1100", [] { return power(-1.0, scaled(1.0, 1100)); }, 1.0),
        gives("-1 ** 2^53+2", [] { return power(-1.0, 0x1.0000000000001p53); }, 1.0),
        gives("-1 ** 2^53-1", [] { return power(-1.0, 0x1.fffffffffffffp52); }, -1.0),
        gives("-2^2000 ** -1", [] { return power(scaled(-1.0, 2000), -1.0); }, -0.0),
        gives("-1.5*2^-1040 ** 1", [] { return power(scaled(-1.5, -1040), 1.0); }, -0x1.8p-1040),
        fails("-2 ** 2.5", [] { return power(-2.0, 2.5); }, DOMAIN, "**: DOMAIN error"),
        fails("-8 ** (1/3)", [] { return power(-8.0, 1.0 / 3.0); }, DOMAIN, "**: DOMAIN error"),
        fails("-2 ** 2^-1100", [] { return power(-2.0, scaled(1.0, -1100)); }, DOMAIN, "**: DOMAIN error"),
        fails("-2^2000 ** 0.5", [] { return power(scaled(-1.0, 2000), 0.5); }, DOMAIN, "**: DOMAIN error"),
        fails("-2^-1100 ** 2^52-0.5", [] { return power(scaled(-1.0, -1100), 0x1.fffffffffffffp51); }, DOMAIN,
              "**: DOMAIN error"),
    });
}

TEST(MathFunctionsTest, PowerOutsideTheDoubleRange) {
    check({
        fails("10 ** 400", [] { return power(10.0, 400.0); }, OVERFLOW, "**: OVERFLOW error"),
        fails("1e300 ** 2", [] { return power(1e300, 2.0); }, OVERFLOW, "**: OVERFLOW error"),
        fails("2 ** 1024", [] { return power(2.0, 1024.0); }, OVERFLOW, "**: OVERFLOW error"),
        fails("0.5 ** -1024", [] { return power(0.5, -1024.0); }, OVERFLOW, "**: OVERFLOW error"),
        fails("2 ** 2^1100", [] { return power(2.0, scaled(1.0, 1100)); }, OVERFLOW, "**: OVERFLOW error"),
        fails("0.5 ** -2^1100", [] { return power(0.5, scaled(-1.0, 1100)); }, OVERFLOW, "**: OVERFLOW error"),
        gives("2 ** 1023", [] { return power(2.0, 1023.0); }, 0x1p1023),
        gives("2 ** -1074", [] { return power(2.0, -1074.0); }, 0x1p-1074),
        gives("2 ** -1080", [] { return power(2.0, -1080.0); }, 0.0),
        gives("1e-300 ** 2", [] { return power(1e-300, 2.0); }, 0.0),
        gives("0.5 ** 2^1100", [] { return power(0.5, scaled(1.0, 1100)); }, 0.0),
        gives("2 ** -2^1100", [] { return power(2.0, scaled(-1.0, 1100)); }, 0.0),
        gives("1 ** 2^1100", [] { return power(1.0, scaled(1.0, 1100)); }, 1.0),
        gives("3 ** 2^-1100", [] { return power(3.0, scaled(1.0, -1100)); }, 1.0),
    });
}

TEST(MathFunctionsTest, PowerOfExtendedRangeBases) {
    // Exact results and correctly rounded ones (from the exact base, not a 64-bit copy).
    check({
        gives("2^2000 ** 0.5", [] { return power(scaled(1.0, 2000), 0.5); }, 0x1p1000),
        gives("2^-2000 ** 0.5", [] { return power(scaled(1.0, -2000), 0.5); }, 0x1p-1000),
        gives("2^-2000 ** 0.52", [] { return power(scaled(1.0, -2000), 0.52); }, 0x1p-1040),
        gives("1e310 ** 0.5", [] { return power(aboutE310(), 0.5); }, 0x1.dd55745cbb7edp+514),
        gives("1e310 ** 0.3", [] { return power(aboutE310(), 0.3); }, 0x1.eae8caef26168p+308),
        gives("1e310 ** -1", [] { return power(aboutE310(), -1.0); }, 0x0.012688b70e62bp-1022),
        gives("1.5*2^1500 ** 0.6", [] { return power(scaled(1.5, 1500), 0.6); }, 0x1.46823856b46c4p+900),
        gives("1.5*2^1500 ** -0.7", [] { return power(scaled(1.5, 1500), -0.7); }, 0x0.0000000c0bdecp-1022),
        gives("1.5*2^-1100 ** 0.9", [] { return power(scaled(1.5, -1100), 0.9); }, 0x1.70bdd76b9e501p-990),
        gives("(1+2^-52)*2^-1080 ** 1", [] { return power(scaled(0x1.0000000000001p0, -1080), 1.0); }, 0.0),
        gives("1.5*2^-1074 ** 1", [] { return power(scaled(1.5, -1074), 1.0); }, 0x1p-1073),
        gives("2^-1023 ** -1", [] { return power(scaled(1.0, -1023), -1.0); }, 0x1p1023),
        gives("2^2000 ** -0.6", [] { return power(scaled(1.0, 2000), -0.6); }, 0.0),
        gives("2^-2000 ** 3", [] { return power(scaled(1.0, -2000), 3.0); }, 0.0),
        gives("2^16000 ** -1", [] { return power(scaled(1.0, 8000) * scaled(1.0, 8000), -1.0); }, 0.0),
        fails("1e310 ** 1", [] { return power(aboutE310(), 1.0); }, OVERFLOW, "**: OVERFLOW error"),
        fails("2^-1100 ** -1", [] { return power(scaled(1.0, -1100), -1.0); }, OVERFLOW, "**: OVERFLOW error"),
        fails("2^2000 ** 0.6", [] { return power(scaled(1.0, 2000), 0.6); }, OVERFLOW, "**: OVERFLOW error"),
        fails("2^2000 ** 3", [] { return power(scaled(1.0, 2000), 3.0); }, OVERFLOW, "**: OVERFLOW error"),
        fails("2^-2000 ** -2.5", [] { return power(scaled(1.0, -2000), -2.5); }, OVERFLOW, "**: OVERFLOW error"),
    });
}

TEST(MathFunctionsTest, Exp) {
    check({
        gives("exp 0", [] { return exp(0.0); }, 1.0),
        gives("exp -0", [] { return exp(-0.0); }, 1.0),
        gives("exp -800", [] { return exp(-800.0); }, 0.0),
        gives("exp -746", [] { return exp(-746.0); }, 0.0),
        gives("exp -1e310", [] { return exp(-aboutE310()); }, 0.0),
        gives("exp 2^-1100", [] { return exp(scaled(1.0, -1100)); }, 1.0),
        gives("exp -2^-1100", [] { return exp(scaled(-1.0, -1100)); }, 1.0),
        fails("exp 710", [] { return exp(710.0); }, OVERFLOW, "exp: OVERFLOW error"),
        fails("exp just above 709.782712893384", [] { return exp(0x1.62e42fefa39f0p+9); }, OVERFLOW,
              "exp: OVERFLOW error"),
        fails("exp 1024", [] { return exp(1024.0); }, OVERFLOW, "exp: OVERFLOW error"),
        fails("exp 1e310", [] { return exp(aboutE310()); }, OVERFLOW, "exp: OVERFLOW error"),
    });
}

TEST(MathFunctionsTest, Log) {
    check({
        gives("log 1", [] { return log(1.0); }, 0.0),
        gives("log 2^2000", [] { return log(scaled(1.0, 2000)); }, 0x1.5a92d6d005c94p+10),
        gives("log 2^-1100", [] { return log(scaled(1.0, -1100)); }, -0x1.7d3b1f7e6cc3cp+9),
        gives("log 2^-1074", [] { return log(0x1p-1074); }, -0x1.74385446d71c3p+9),
        gives("log 1e310", [] { return log(aboutE310()); }, 0x1.64e69394d9508p+9),
        gives("log 1.5*2^1500", [] { return log(scaled(1.5, 1500)); }, 0x1.0408143ff1168p+10),
        gives("log 1.5*2^-16000", [] { return log(scaled(1.5, -16000)); }, -0x1.5a8f986b88314p+13),
        gives("log largest extended", [] { return log(scaled(0x1.fffffffffffffp0, 16383)); },
              0x1.62e42fefa39efp+13),
        fails("log 0", [] { return log(0.0); }, SING, "log: SING error"),
        fails("log -0", [] { return log(-0.0); }, SING, "log: SING error"),
        fails("log -1", [] { return log(-1.0); }, DOMAIN, "log: DOMAIN error"),
        fails("log -2^-1074", [] { return log(-0x1p-1074); }, DOMAIN, "log: DOMAIN error"),
        fails("log -1e310", [] { return log(-aboutE310()); }, DOMAIN, "log: DOMAIN error"),
    });
}

TEST(MathFunctionsTest, Cos) {
    check({
        gives("cos 0", [] { return cos(0.0); }, 1.0),
        gives("cos -0", [] { return cos(-0.0); }, 1.0),
        gives("cos 2^-1100", [] { return cos(scaled(1.0, -1100)); }, 1.0),
        fails("cos 2^63", [] { return cos(0x1p63); }, TLOSS, "cos: TLOSS error"),
        fails("cos -2^63", [] { return cos(-0x1p63); }, TLOSS, "cos: TLOSS error"),
        fails("cos 1e300", [] { return cos(1e300); }, TLOSS, "cos: TLOSS error"),
        fails("cos 1e310", [] { return cos(aboutE310()); }, TLOSS, "cos: TLOSS error"),
    });
}

TEST(MathFunctionsTest, OrdinaryArgumentsGiveTheLibraryValues) {
    check({
        gives("2 ** 0.5", [] { return power(2.0, 0.5); }, std::pow(2.0, 0.5)),
        gives("0.04 ** 3", [] { return power(0.04, 3.0); }, std::pow(0.04, 3.0)),
        gives("0.4 ** 2", [] { return power(0.4, 2.0); }, std::pow(0.4, 2.0)),
        gives("1.7 ** -2.3", [] { return power(1.7, -2.3); }, std::pow(1.7, -2.3)),
        gives("-1.1 ** 7", [] { return power(-1.1, 7.0); }, std::pow(-1.1, 7.0)),
        gives("1e-300 ** 1.02", [] { return power(1e-300, 1.02); }, std::pow(1e-300, 1.02)),
        gives("exp -0.12", [] { return exp(-0.12); }, std::exp(-0.12)),
        gives("exp 709.78", [] { return exp(709.78); }, std::exp(709.78)),
        gives("exp 709.782712893384", [] { return exp(709.782712893384); }, std::exp(709.782712893384)),
        gives("exp -708.5 (subnormal)", [] { return exp(-708.5); }, std::exp(-708.5)),
        gives("exp -745", [] { return exp(-745.0); }, std::exp(-745.0)),
        gives("log 2.5", [] { return log(2.5); }, std::log(2.5)),
        gives("log 1e-300", [] { return log(1e-300); }, std::log(1e-300)),
        gives("cos 1", [] { return cos(1.0); }, std::cos(1.0)),
        gives("cos 2^63 - 1024", [] { return cos(0x1.fffffffffffffp62); }, std::cos(0x1.fffffffffffffp62)),
        gives("cos -1e10", [] { return cos(-1e10); }, std::cos(-1e10)),
    });
}

TEST(MathFunctionsTest, FunctionResultsAreBroughtToTheDoubleRange) {
    // 1.5 * 2^-1074 is not a double; power(x, 1) returns it rounded (to even: 2^-1073).
    const Real result = power(scaled(1.5, -1074), 1.0);
    EXPECT_EQ(result.exponent(), -1072);
    EXPECT_EQ(result.significand(), 0.5);
    // A function's value starts the next operation from its 64-bit value.
    EXPECT_EQ(assign(exp(-745.0) * 0x1p1000 * 0x1p74), 1.0);
}

}  // namespace
}  // namespace reduz
