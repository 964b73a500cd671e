#include "textio/conversion.hpp"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace reduz {

namespace {

constexpr unsigned char ctrlZ = 26;
constexpr unsigned notADigit = 99;

unsigned digitValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return notADigit;
}

bool isDecimalDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Exponents and digit counts are summed from text of any length; past this bound the value is
// certainly beyond the range of a double either way, so a saturated sum gives the same answer.
constexpr std::int64_t exponentBound = 1'000'000'000;

std::int64_t saturate(std::int64_t value) {
    if (value > exponentBound) return exponentBound;
    if (value < -exponentBound) return -exponentBound;
    return value;
}

constexpr std::string_view int32MinText = "-2147483648";

}  // namespace

void IntegerConversion::feed(unsigned char c) {
    if (fed_ < start_.size()) start_[fed_] = c;
    const bool first = fed_++ == 0;
    if (failure_ || ended_) return;
    if (first && (c == '+' || c == '-')) {
        negative_ = c == '-';
        return;
    }
    if (c == ctrlZ) {
        ended_ = true;
        return;
    }
    if (c == '#') {
        if (based_) {
            failure_ = IoFailure::SecondHash;
            return;
        }
        base_ = magnitude_ == 0 ? 16 : magnitude_;
        if (base_ < 2 || base_ > 36) {
            failure_ = IoFailure::InvalidBase;
            return;
        }
        based_ = true;
        magnitude_ = 0;
        // Other bases reach the full 32-bit pattern; decimal keeps the signed limit.
        if (base_ != 10) limit_ = 4294967295u;
        return;
    }
    const unsigned digit = digitValue(c);
    if (digit >= base_) {
        failure_ = IoFailure::InvalidInteger;
        return;
    }
    if (magnitude_ > (limit_ - digit) / base_) {
        failure_ = IoFailure::IntegerOverflow;
        return;
    }
    magnitude_ = magnitude_ * base_ + digit;
}

Converted<std::int32_t> IntegerConversion::result() const {
    if (fed_ == int32MinText.size() && std::string_view(reinterpret_cast<const char*>(start_.data()), fed_) == int32MinText) {
        return {INT32_MIN, {}};
    }
    if (failure_) return {0, failure_};
    const std::uint32_t pattern = negative_ ? 0u - magnitude_ : magnitude_;
    return {static_cast<std::int32_t>(pattern), {}};
}

void RealConversion::feed(unsigned char c) {
    const bool first = fed_++ == 0;
    switch (part_) {
        case Part::Invalid:
            return;
        case Part::Mantissa:
            if (first && (c == '+' || c == '-')) {
                negative_ = c == '-';
                return;
            }
            if (isDecimalDigit(c)) {
                anyDigit_ = true;
                if (point_) scale_ = saturate(scale_ - 1);
                if (significant_ == 0 && c == '0') return;  // a leading zero
                if (significant_ < static_cast<std::int64_t>(keptDigits)) {
                    digits_[static_cast<std::size_t>(significant_)] = static_cast<char>(c);
                } else if (c != '0') {
                    nonzeroBeyond_ = true;
                }
                significant_ = saturate(significant_ + 1);
                return;
            }
            if (c == '.' && !point_) {
                point_ = true;
                return;
            }
            // The mantissa ends here; without a digit the text is no number, whatever follows.
            if (!anyDigit_) {
                part_ = Part::Invalid;
                return;
            }
            if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
                part_ = Part::ExponentLetter;
                return;
            }
            // An exponent without its letter: a sign directly after the mantissa.
            if (c == '+' || c == '-') {
                exponentNegative_ = c == '-';
                part_ = Part::ExponentSign;
                return;
            }
            part_ = Part::Invalid;
            return;
        case Part::ExponentLetter:
            if (c == '+' || c == '-') {
                exponentNegative_ = c == '-';
                part_ = Part::ExponentSign;
                return;
            }
            [[fallthrough]];
        case Part::ExponentSign:
        case Part::ExponentDigits:
            if (!isDecimalDigit(c)) {
                part_ = Part::Invalid;
                return;
            }
            exponent_ = saturate(exponent_ * 10 + (c - '0'));
            part_ = Part::ExponentDigits;
            return;
    }
}

Converted<double> RealConversion::result() const {
    const Converted<double> invalid{0.0, IoFailure::InvalidReal};
    // A letter or sign of the exponent needs digits after it.
    if (part_ == Part::Invalid || part_ == Part::ExponentLetter || part_ == Part::ExponentSign || !anyDigit_) {
        return invalid;
    }
    if (significant_ == 0) return {negative_ ? -0.0 : 0.0, {}};

    // value = 0.DIGITS * 10^order
    const std::int64_t exponent = exponentNegative_ ? -exponent_ : exponent_;
    const std::int64_t order = saturate(saturate(scale_ + exponent) + significant_);
    if (order > 310) return {0.0, IoFailure::RealTooLarge};
    if (order < -330) return {negative_ ? -0.0 : 0.0, {}};
    const auto kept = static_cast<std::size_t>(std::min<std::int64_t>(significant_, keptDigits));
    std::string normal = "0.";
    normal.append(digits_.data(), kept);
    // Any digit other than 0 beyond those kept puts the value past them: a 1 there keeps it on
    // the same side of every halfway point between two doubles.
    if (nonzeroBeyond_) normal += '1';
    normal += 'e';
    normal += std::to_string(order);
    double magnitude = 0.0;
    const auto [end, error] =
        std::from_chars(normal.data(), normal.data() + normal.size(), magnitude, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        if (order > 0) return {0.0, IoFailure::RealTooLarge};
        magnitude = 0.0;  // below half the smallest subnormal
    } else if (error != std::errc() || end != normal.data() + normal.size() || !std::isfinite(magnitude)) {
        return {0.0, IoFailure::RealTooLarge};
    }
    return {negative_ ? -magnitude : magnitude, {}};
}

Converted<std::int32_t> convertInteger(std::string_view text) {
    IntegerConversion conversion;
    for (const char c : text) conversion.feed(static_cast<unsigned char>(c));
    return conversion.result();
}

Converted<double> convertReal(std::string_view text) {
    RealConversion conversion;
    for (const char c : text) conversion.feed(static_cast<unsigned char>(c));
    return conversion.result();
}

}  // namespace reduz
