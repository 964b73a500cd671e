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

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// Exponents are summed from text of any length; past this bound the value is certainly beyond
// the range of a double either way, so a saturated sum gives the same answer.
constexpr std::int64_t exponentBound = 1'000'000'000;

std::int64_t saturate(std::int64_t value) {
    if (value > exponentBound) return exponentBound;
    if (value < -exponentBound) return -exponentBound;
    return value;
}

}  // namespace

Converted<std::int32_t> convertInteger(std::string_view text) {
    if (text == "-2147483648") return {INT32_MIN, {}};
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t magnitude = 0;
    std::uint32_t limit = 2147483647u;
    unsigned base = 10;
    bool based = false;
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ctrlZ) break;
        if (c == '#') {
            if (based) return {0, IoFailure::SecondHash};
            base = magnitude == 0 ? 16 : magnitude;
            if (base < 2 || base > 36) return {0, IoFailure::InvalidBase};
            based = true;
            magnitude = 0;
            // Other bases reach the full 32-bit pattern; decimal keeps the signed limit.
            if (base != 10) limit = 4294967295u;
            continue;
        }
        const unsigned digit = digitValue(c);
        if (digit >= base) return {0, IoFailure::InvalidInteger};
        if (magnitude > (limit - digit) / base) return {0, IoFailure::IntegerOverflow};
        magnitude = magnitude * base + digit;
    }
    const std::uint32_t pattern = negative ? 0u - magnitude : magnitude;
    return {static_cast<std::int32_t>(pattern), {}};
}

Converted<double> convertReal(std::string_view text) {
    const Converted<double> invalid{0.0, IoFailure::InvalidReal};
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The mantissa as its significant digits times a power of ten.
    std::string digits;
    std::int64_t scale = 0;
    bool anyDigit = false;
    bool point = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (isDecimalDigit(c)) {
            anyDigit = true;
            if (point) scale = saturate(scale - 1);
            if (digits.empty() && c == '0') continue;
            digits += c;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return invalid;
    std::int64_t exponent = 0;
    if (i < n) {
        const char c = text[i];
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
            ++i;
        } else if (c != '+' && c != '-') {
            return invalid;
        }
        bool exponentNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            exponentNegative = text[i] == '-';
            ++i;
        }
        if (i == n) return invalid;
        for (; i < n; ++i) {
            if (!isDecimalDigit(text[i])) return invalid;
            exponent = saturate(exponent * 10 + (text[i] - '0'));
        }
        if (exponentNegative) exponent = -exponent;
    }
    if (digits.empty()) return {negative ? -0.0 : 0.0, {}};

    // value = 0.DIGITS * 10^order
    const std::int64_t order =
        saturate(saturate(scale + exponent) + static_cast<std::int64_t>(digits.size()));
    if (order > 310) return {0.0, IoFailure::RealTooLarge};
    if (order < -330) return {negative ? -0.0 : 0.0, {}};
    std::string normal = "0." + digits + "e" + std::to_string(order);
    double magnitude = 0.0;
    const auto [end, error] =
        std::from_chars(normal.data(), normal.data() + normal.size(), magnitude, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        if (order > 0) return {0.0, IoFailure::RealTooLarge};
        magnitude = 0.0;  // below half the smallest subnormal
    } else if (error != std::errc() || end != normal.data() + normal.size() || !std::isfinite(magnitude)) {
        return {0.0, IoFailure::RealTooLarge};
    }
    return {negative ? -magnitude : magnitude, {}};
}

}  // namespace reduz
