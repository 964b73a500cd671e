#include "fit/base/number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <system_error>

namespace reduz::fit {

namespace {

// from_chars takes no plus sign; a spreadsheet may write one.
std::string_view withoutPlus(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
    return text;
}

}  // namespace

std::optional<double> parseNumber(std::string_view text) {
    text = withoutPlus(text);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves a number too small for a double unread; it is a number all the same,
        // and strtod rounds it as a double holds it (0, or the nearest subnormal), its sign kept.
        // Beyond the largest double it stays refused.
        const std::string copy(text);
        value = std::strtod(copy.c_str(), nullptr);
        return std::fabs(value) < 1 ? std::optional<double>(value) : std::nullopt;
    }
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> parseWhole(std::string_view text) {
    text = withoutPlus(text);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<long long> parseWholeDecimal(std::string_view text) {
    // Most codes are plain digits: read at once, with nothing to scale.
    if (const std::optional<long long> digits = parseWhole(text)) return digits;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const std::size_t e = text.find_first_of("eE");
    long long exponent = 0;
    if (e != std::string_view::npos) {
        const std::optional<long long> written = parseWhole(text.substr(e + 1));
        // Beyond a thousand places no digit of a 64-bit number is left, nor any zero to drop.
        if (!written || *written > 1000 || *written < -1000) return std::nullopt;
        exponent = *written;
        text = text.substr(0, e);
    }
    const std::size_t point = text.find('.');
    std::string digits(text.substr(0, point));
    if (point != std::string_view::npos) {
        digits += text.substr(point + 1);
        exponent -= static_cast<long long>(text.size() - point - 1);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    // value = digits * 10^exponent: whole when the places below the point are zeros.
    while (exponent < 0 && !digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    if (digits.empty()) return 0;
    if (exponent < 0) return std::nullopt;
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 0;
    digits.erase(0, first);
    if (static_cast<long long>(digits.size()) + exponent > 19) return std::nullopt;
    digits.append(static_cast<std::size_t>(exponent), '0');
    unsigned long long magnitude = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    constexpr unsigned long long largest = 9223372036854775807ULL;
    if (magnitude > largest + (negative ? 1 : 0)) return std::nullopt;
    if (negative) return magnitude == largest + 1 ? std::numeric_limits<long long>::min() : -static_cast<long long>(magnitude);
    return static_cast<long long>(magnitude);
}

std::string shortest(double value) {
    char text[32];  // the longest shortest form of a double, "-2.2250738585072014e-308", is 24
    char* end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, static_cast<std::size_t>(end - text));
}

}  // namespace reduz::fit
