#include "fit/base/number_text.hpp"

#include <charconv>
#include <cmath>
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
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> parseWhole(std::string_view text) {
    text = withoutPlus(text);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string shortest(double value) {
    char text[32];  // the longest shortest form of a double, "-2.2250738585072014e-308", is 24
    char* end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, static_cast<std::size_t>(end - text));
}

}  // namespace reduz::fit
