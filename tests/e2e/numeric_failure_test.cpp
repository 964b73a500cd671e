// Numeric failures of whole runs: the right report at the right lag, or no failure at all.

#include <gtest/gtest.h>

#include "support/process.hpp"
#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

struct NumericCase {
    const char* parameters;  // PARAMETER.TXT
    const char* keyboard;    // answer to the prompt, if any
    const char* failure;     // "M6101: MATH\r\n- floating-point error: invalid", or nullptr: no failure
};

constexpr const char* invalid = "M6101: MATH\r\n- floating-point error: invalid";
constexpr const char* divideByZero = "M6103: MATH\r\n- floating-point error: divide by zero";
constexpr const char* overflow = "M6104: MATH\r\n- floating-point error: overflow";
constexpr const char* powerDomain = "M6201: MATH\r\n- **: DOMAIN error";
constexpr const char* powerSing = "M6202: MATH\r\n- **: SING error";
constexpr const char* logDomain = "M6201: MATH\r\n- log: DOMAIN error";
constexpr const char* logSing = "M6202: MATH\r\n- log: SING error";
constexpr const char* expOverflow = "M6203: MATH\r\n- exp: OVERFLOW error";
constexpr const char* cosTloss = "M6205: MATH\r\n- cos: TLOSS error";

void expectRun(const NumericCase& c) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), c.parameters);
    writeFile(dir.file("ReduzModel.txt"), "older report\r\n");
    const RunResult run = runBinary(dir.path, withInput(c.keyboard));
    const std::string report = readFile(dir.file("ReduzModel.txt"));
    SCOPED_TRACE(std::string(c.parameters) + " / " + c.keyboard);
    if (c.failure == nullptr) {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_NE(report, "older report\r\n");
    } else {
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, std::string("\r\nrun-time error ") + c.failure + "\r\n");
        EXPECT_EQ(report, "older report\r\n");
        EXPECT_EQ(run.out.find("Output transiogram model"), std::string::npos);
    }
}

TEST(NumericFailure, Range) {
    const NumericCase cases[] = {
        {"3 1\n0.25 0\n0\n", "", invalid},
        {"1 1\n0.25 0\n10\n", "", nullptr},
        {"2 2\n0.25 0\n10\n", "", nullptr},
        {"5 1\n0.25 0\n10\n", "", nullptr},
        {"3 1\n0.25 1\n1000\n", "", nullptr},       // the exponential underflows from lag 237 on
        {"3 1\n0.25 -1\n236\n", "", nullptr},
        {"3 1\n0.25 -1\n237\n", "", expOverflow},  // exp(711) at lag 237
        {"6 1\n0.25 1e-19\n0\n", "", nullptr},
        {"6 1\n0.25 1e-19\n1\n", "", cosTloss},    // (1 / 1e-19) * PI passes 2^63
    };
    for (const NumericCase& c : cases) expectRun(c);
}

TEST(NumericFailure, PowerModel) {
    const NumericCase cases[] = {
        {"8 1\n0.25 25\n3\n", "1 -1\n", powerSing},
        {"8 2\n0.25 25\n3\n", "2 0\n", nullptr},
        {"8 2\n0.25 25\n1\n", "1e308 1\n", nullptr},
        {"8 2\n0.25 25\n2\n", "1e308 1\n", overflow},  // 2 * 1e308 assigned
    };
    for (const NumericCase& c : cases) expectRun(c);
}

TEST(NumericFailure, GammaParameters) {
    const NumericCase cases[] = {
        {"12 2\n0.25 25\n2\n", "0.5 1\n", powerSing},  // (0 / a) ^ -0.5 at lag 0
        {"12 2\n0.25 25\n2\n", "1 1\n", nullptr},
        {"9 2\n0.25 25\n2\n", "0 1 1\n", divideByZero},  // inside the series
        {"10 2\n0.25 25\n2\n", "-5 1 1\n", logDomain},
        {"11 2\n0.25 25\n2\n", "-4.5 1 1\n", logSing},
        {"12 2\n0.25 25\n2\n", "172 1\n", expOverflow},
        {"12 2\n0.25 25\n2\n", "2 -1\n", nullptr},
        {"12 2\n0.25 25\n2\n", "2.5 -1\n", powerDomain},
        {"12 2\n0.25 25\n2\n", "2 0\n", invalid},  // h / (a * BETA) at lag 0
        {"12 2\n0.25 0\n2\n", "2 1\n", invalid},
    };
    for (const NumericCase& c : cases) expectRun(c);
}

// Inside a formula the exponent range is wider than a double's: only the stored value counts.
TEST(NumericFailure, WideIntermediateBroughtBackIntoRange) {
    const NumericCase cases[] = {
        {"1 2\n1e308 100\n10\n", "", nullptr},  // (10 * 1e308) / 100
        {"1 1\n-1e308 100\n10\n", "", nullptr},
    };
    for (const NumericCase& c : cases) expectRun(c);
}

TEST(NumericFailure, StandardOutputAfterAPromptEndsWithTheOwedLineEnd) {
    const RunInFresh run = runWithParameters("8 1\n0.25 25\n3\n", "1 -1\n");
    EXPECT_EQ(run.result.out, "Input C (SLOPE) AND W (POWER):\r\n");
    EXPECT_FALSE(run.reportWritten);
}

}  // namespace
}  // namespace reduz::testing
