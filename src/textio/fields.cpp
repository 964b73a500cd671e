#include "textio/fields.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace reduz {

namespace {

constexpr std::uint64_t signBit = std::uint64_t{1} << 63;
constexpr std::uint64_t exponentBits = std::uint64_t{0x7FF} << 52;
constexpr std::uint64_t fractionBits = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t quietBit = std::uint64_t{1} << 51;

// The magnitude of a value as 0.digits times 10 to the power exponent; no trailing zeros.
struct Expansion {
    std::string digits;
    int exponent = 0;
};

// Adds one in the last digit of a string of decimal digits. True when the carry runs out of the
// first digit, which leaves the string all zeros.
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

// 17 significant digits, rounded half up on the 18th. Taken from the exact expansion, so that
// the field depends on the stored value alone:
//   2.675 (stored 2.67499999999999982236...) -> "26749999999999998", 1
//   0.995 (stored 0.99499999999999999555...) -> "995", 0
Expansion expandMagnitude(double magnitude) {
    // 767 digits after the point hold the exact expansion of every finite double.
    std::array<char, 800> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                       std::chars_format::scientific, 767);
    if (written.ec != std::errc{}) throw std::logic_error("decimal expansion does not fit");
    const std::string_view scientific(text.data(), static_cast<std::size_t>(written.ptr - text.data()));
    const std::size_t exponentMark = scientific.find('e');
    if (exponentMark == std::string_view::npos || exponentMark < 2) {
        throw std::logic_error("unexpected decimal expansion");
    }

    // "d.ddd...e-xx": the leading digit, then the ones after the point.
    std::string digits(1, scientific[0]);
    digits.append(scientific.substr(2, std::min<std::size_t>(17, exponentMark - 2)));
    digits.resize(18, '0');

    std::string_view exponentText = scientific.substr(exponentMark + 1);
    if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
    int exponent = 0;
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
    expansion.digits = std::move(digits);
    return expansion;
}

// Infinities and NaNs: "1#INF", "1#IND", "1#SNAN" or "1#QNAN", filled with full stops to w.
// Told apart by their bits alone, so that no comparison raises the invalid flag.
std::string renderMarker(std::uint64_t bits, int w) {
    const std::uint64_t fraction = bits & fractionBits;
    std::string marker;
    if (fraction == 0) {
        marker = "1#INF";
    } else if ((fraction & quietBit) == 0) {
        marker = "1#SNAN";
    } else if ((bits & signBit) != 0 && fraction == quietBit) {
        marker = "1#IND";
    } else {
        marker = "1#QNAN";
    }
    marker.resize(static_cast<std::size_t>(w), '.');
    return marker;
}

std::string fitField(std::string text, int w) {
    const auto width = static_cast<std::size_t>(w);
    if (text.size() > width) return std::string(width, '*');
    text.insert(0, width - text.size(), ' ');
    return text;
}

}  // namespace

std::string renderFixed(double value, int w, int d) {
    if (w < 0 || d < 0) throw std::invalid_argument("field width and decimals must not be negative");
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if ((bits & exponentBits) == exponentBits) return renderMarker(bits, w);

    const bool zero = (bits & ~signBit) == 0;
    bool negative = !zero && (bits & signBit) != 0;
    Expansion expansion = zero ? Expansion{"0", 0} : expandMagnitude(value < 0 ? -value : value);
    std::string& digits = expansion.digits;
    const long long e = expansion.exponent;
    long long integerDigits = e;
    long long keptDigits = e + d;

    std::string text;
    if (e < -static_cast<long long>(d)) {
        // Under a tenth of the last decimal's unit: zero at this precision, with no sign.
        // Without decimals the field still shows a digit: 0.04 in F5.0 -> "   0.", like 0.3.
        if (d == 0) text += '0';
        text += '.';
        text.append(static_cast<std::size_t>(d), '0');
        return fitField(std::move(text), w);
    }

    const auto roundAt = static_cast<std::size_t>(std::min(16LL, keptDigits));
    if (digits.size() > roundAt) {
        const bool roundUp = digits[roundAt] >= '5';
        digits.resize(roundAt);
        if (roundUp && incrementDigits(digits)) {
            // 9.99996 in F9.4 keeps "99999" before a 5: "100000", one more integer digit.
            digits.insert(0, 1, '1');
            ++integerDigits;
            ++keptDigits;
        }
    }
    if (digits.find_first_not_of('0') == std::string::npos) negative = false;

    if (integerDigits == 0 && keptDigits == 0) return fitField(std::string(1, '0') + '.', w);

    if (negative) text += '-';
    std::string_view fraction = digits;
    if (integerDigits > 0) {
        const auto count = static_cast<std::size_t>(integerDigits);
        const std::string_view whole = fraction.substr(0, std::min(count, fraction.size()));
        text.append(whole);
        text.append(count - whole.size(), '0');
        fraction.remove_prefix(whole.size());
    }
    text += '.';
    std::size_t fractionWritten = 0;
    if (integerDigits < 0) {
        fractionWritten = static_cast<std::size_t>(-integerDigits);
        text.append(fractionWritten, '0');
    }
    text.append(fraction);
    fractionWritten += fraction.size();
    text.append(static_cast<std::size_t>(d) - std::min(fractionWritten, static_cast<std::size_t>(d)), '0');
    return fitField(std::move(text), w);
}

std::string renderInteger(std::int32_t value, int w) {
    if (w < 0) throw std::invalid_argument("field width must not be negative");
    std::array<char, 16> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), value);
    return fitField(std::string(text.data(), written.ptr), w);
}

}  // namespace reduz
