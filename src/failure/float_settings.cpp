#include "failure/float_settings.hpp"

#include <cfenv>
#include <string>

#include "failure/run_failure.hpp"

namespace reduz {

void setUpFloatSettings() {
    // Doubles carry 53 bits on every processor this builds for; only the rounding direction
    // is a setting.
    std::fesetround(FE_TONEAREST);
}

void failArithmetic(ArithmeticEvent event) {
    int number = 6101;
    const char* word = "invalid";
    switch (event) {
        case ArithmeticEvent::Invalid: break;
        case ArithmeticEvent::DivideByZero:
            number = 6103;
            word = "divide by zero";
            break;
        case ArithmeticEvent::Overflow:
            number = 6104;
            word = "overflow";
            break;
    }
    failRun(numericFailure(number, std::string("floating-point error: ") + word));
}

void failMathFunction(std::string_view label, MathErrorType type) {
    int number = 6201;
    const char* word = "DOMAIN";
    switch (type) {
        case MathErrorType::Domain: break;
        case MathErrorType::Sing:
            number = 6202;
            word = "SING";
            break;
        case MathErrorType::Overflow:
            number = 6203;
            word = "OVERFLOW";
            break;
        case MathErrorType::Tloss:
            number = 6205;
            word = "TLOSS";
            break;
    }
    std::string message(label);
    message += ": ";
    message += word;
    message += " error";
    failRun(numericFailure(number, message));
}

}  // namespace reduz
