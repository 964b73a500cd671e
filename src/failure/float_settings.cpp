#include "failure/float_settings.hpp"

#include <cfenv>
#include <string>

#include "failure/run_failure.hpp"

namespace reduz {

namespace {

// The number and word of each failure, in the order of its enumeration.
struct Report {
    int number;
    const char* word;
};

}  // namespace

void setUpFloatSettings() {
    // Doubles carry 53 bits on every processor this builds for; only the rounding direction
    // is a setting.
    std::fesetround(FE_TONEAREST);
}

void failArithmetic(ArithmeticEvent event) {
    static constexpr Report reports[] = {{6101, "invalid"}, {6103, "divide by zero"}, {6104, "overflow"}};
    const Report& report = reports[static_cast<int>(event)];
    failRun(numericFailure(report.number, std::string("floating-point error: ") + report.word));
}

void failMathFunction(std::string_view label, MathErrorType type) {
    static constexpr Report reports[] = {{6201, "DOMAIN"}, {6202, "SING"}, {6203, "OVERFLOW"}, {6205, "TLOSS"}};
    const Report& report = reports[static_cast<int>(type)];
    failRun(numericFailure(report.number, std::string(label) + ": " + report.word + " error"));
}

}  // namespace reduz
