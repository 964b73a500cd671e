#include "textio/fields.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cstddef>
#include <string_view>
#include <system_error>
#include <utility>

#include "models/ieee_double.hpp"

namespace reduz {

using namespace ieee;

namespace {

// The magnitude of a value as 0.DIGITS times 10 to the power exponent: at most 17 significant
// digits, no trailing zeros (a zero is the single digit 0 with exponent 0).
struct Expansion {
    std::array<char, 17> digits{};
    int length = 0;
    int exponent = 0;
};

constexpr std::uint64_t tenToThe16 = 10'000'000'000'000'000ULL;
constexpr std::uint64_t tenToThe17 = 100'000'000'000'000'000ULL;
constexpr std::uint64_t tenToThe18 = 1'000'000'000'000'000'000ULL;

// "00" to "99": two decimal digits at a time.
constexpr std::array<char, 200> digitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Rounds 18 leading digits (as an integer of exactly 18 digits) to 17, half up on the 18th,
// and writes them without trailing zeros. The carry out of the first digit leaves a single 1
// one place further up.
Expansion roundEighteenDigits(std::uint64_t leading, int exponent) {
    Expansion expansion;
    std::uint64_t kept = leading / 10 + (leading % 10 >= 5 ? 1 : 0);
    if (kept == tenToThe17) {
        kept = tenToThe16;
        ++exponent;
    }
    expansion.exponent = exponent;
    // Seventeen digits: the first nine and the last eight, each part two digits at a time from
    // its end, in 32-bit arithmetic.
    char* const digits = expansion.digits.data();
    auto writePairs = [&](std::uint32_t part, std::size_t end, int pairs) {
        for (; pairs > 0; --pairs, end -= 2) {
            const std::uint32_t pair = part % 100;
            part /= 100;
            digits[end - 2] = digitPairs[2 * pair];
            digits[end - 1] = digitPairs[2 * pair + 1];
        }
        return part;
    };
    constexpr std::uint64_t tenToThe8 = 100'000'000;
    writePairs(static_cast<std::uint32_t>(kept % tenToThe8), 17, 4);
    digits[0] = static_cast<char>('0' + writePairs(static_cast<std::uint32_t>(kept / tenToThe8), 9, 4));
    int length = 17;
    while (digits[length - 1] == '0') --length;
    expansion.length = length;
    return expansion;
}

// 17 significant digits, rounded half up on the 18th, taken from the exact expansion so that
// the field depends on the stored value alone:
//   2.675 (stored 2.67499999999999982236...) -> "26749999999999998", 1
//   0.995 (stored 0.99499999999999999555...) -> "995", 0
// This one reads the first 18 digits off the whole exact expansion, which fits every finite
// double.
Expansion expandExactly(double magnitude) {
    // 767 digits after the point hold the exact expansion of every finite double.
    std::array<char, 800> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                       std::chars_format::scientific, 767);
    assert(written.ec == std::errc{});
    const std::string_view scientific(text.data(), static_cast<std::size_t>(written.ptr - text.data()));
    const std::size_t exponentMark = scientific.find('e');
    assert(exponentMark != std::string_view::npos && exponentMark >= 2);

    // "d.ddd...e-xx": the leading digit, then the ones after the point.
    std::uint64_t leading = static_cast<std::uint64_t>(scientific[0] - '0');
    for (std::size_t place = 2; place < 19; ++place) {
        const char digit = place < exponentMark ? scientific[place] : '0';
        leading = leading * 10 + static_cast<std::uint64_t>(digit - '0');
    }

    std::string_view exponentText = scientific.substr(exponentMark + 1);
    if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    return roundEighteenDigits(leading, exponent + 1);
}

#ifdef __SIZEOF_INT128__
__extension__ typedef unsigned __int128 Unsigned128;

// 10^0 to 10^19; powerOfTen goes on to 10^22, which times a 53-bit significand stays below
// 2^127.
constexpr std::array<std::uint64_t, 20> smallPowersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}();

Unsigned128 powerOfTen(int s) {
    if (s < 20) return smallPowersOfTen[static_cast<std::size_t>(s)];
    return Unsigned128{smallPowersOfTen[19]} * smallPowersOfTen[static_cast<std::size_t>(s - 19)];
}

// The same 18 digits by exact integer arithmetic, for a normal magnitude m * 2^(b - 52) with
// a 53-bit m and -16 <= b <= 52 (about 1.5e-5 to 9e15): floor(m * 10^s / 2^(52 - b)) is the
// magnitude times 10^s, cut to a whole number, which for s = 17 - floor(b * log10(2)) has 18
// or 19 digits. No rounding happens anywhere, so these are the exact expansion's digits.
bool expandQuickly(std::uint64_t bits, Expansion& expansion) {
    const int b = binaryExponent(bits);
    if (b < -16 || b > 52) return false;
    const std::uint64_t m = significandOf(bits);
    const int g = floorLog10Pow2(b);
    const int s = 17 - g;  // 2 <= s <= 22 over the range above
    std::uint64_t leading = static_cast<std::uint64_t>((Unsigned128{m} * powerOfTen(s)) >> (52 - b));
    int exponent = g + 1;
    if (leading >= tenToThe18) {
        leading /= 10;
        ++exponent;
    }
    if (leading < tenToThe17) return false;  // cannot happen; the exact path decides
    expansion = roundEighteenDigits(leading, exponent);
    return true;
}
#else
bool expandQuickly(std::uint64_t, Expansion&) { return false; }
#endif

Expansion expandMagnitude(double magnitude) {
    Expansion expansion;
    if (expandQuickly(bitsOf(magnitude), expansion)) return expansion;
    return expandExactly(magnitude);
}

// Infinities and NaNs: "1#INF", "1#IND", "1#SNAN" or "1#QNAN", filled with full stops to w.
// Told apart by their bits alone, so that no comparison raises the invalid flag.
std::string renderMarker(std::uint64_t bits, int w) {
    const std::uint64_t fraction = bits & fractionMask;
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

// Magnitudes certainly below 10^-(d+1), a tenth of the last decimal's unit, for d = 0 to 22:
// each bound lies a little under the power of ten. Such a value shows as zero in Fd.
constexpr std::array<double, 23> zeroBelow = [] {
    constexpr double powers[23] = {1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,
                                   1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15, 1e-16,
                                   1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22, 1e-23};
    std::array<double, 23> bounds{};
    for (std::size_t i = 0; i < bounds.size(); ++i) bounds[i] = powers[i] * (1.0 - 0x1p-40);
    return bounds;
}();

// The text right-justified in w columns, or w asterisks when it is longer.
class Field {
public:
    Field(int w, long long length) : width_(static_cast<std::size_t>(w)) {
        if (length > static_cast<long long>(width_)) {
            text_.assign(width_, '*');
            overflow_ = true;
            return;
        }
        text_.assign(width_, ' ');
        place_ = width_ - static_cast<std::size_t>(length);
    }
    bool overflow() const { return overflow_; }
    void put(char c) { text_[place_++] = c; }
    void put(std::size_t count, char c) {
        std::fill_n(text_.begin() + static_cast<std::ptrdiff_t>(place_), count, c);
        place_ += count;
    }
    void put(const char* characters, std::size_t count) {
        std::copy_n(characters, count, text_.begin() + static_cast<std::ptrdiff_t>(place_));
        place_ += count;
    }
    std::string take() { return std::move(text_); }

private:
    std::size_t width_;
    std::size_t place_ = 0;
    bool overflow_ = false;
    std::string text_;
};

// Zero at this precision: a point and d zeros, and without decimals a digit in front:
// 0.04 in F5.0 -> "   0.", like 0.3.
std::string renderZero(int w, int d) {
    Field field(w, (d == 0 ? 2 : 1) + static_cast<long long>(d));
    if (field.overflow()) return field.take();
    if (d == 0) field.put('0');
    field.put('.');
    field.put(static_cast<std::size_t>(d), '0');
    return field.take();
}

}  // namespace

std::string renderFixed(double value, int w, int d) {
    assert(w >= 0 && d >= 0);
    const std::uint64_t bits = bitsOf(value);
    if (exponentField(bits) == specialField) return renderMarker(bits, w);

    const std::uint64_t magnitudeBits = bits & ~signBit;
    const bool zero = magnitudeBits == 0;
    const double magnitude = fromBits(magnitudeBits);
    // Under a tenth of the last decimal's unit: zero at this precision, with no sign.
    if (!zero && d < static_cast<int>(zeroBelow.size()) && magnitude < zeroBelow[static_cast<std::size_t>(d)]) {
        return renderZero(w, d);
    }
    bool negative = !zero && (bits & signBit) != 0;
    Expansion expansion;
    if (zero) {
        expansion.digits[0] = '0';
        expansion.length = 1;
    } else {
        expansion = expandMagnitude(magnitude);
    }
    char* const digits = expansion.digits.data();
    std::size_t length = static_cast<std::size_t>(expansion.length);
    const long long e = expansion.exponent;
    long long integerDigits = e;
    long long keptDigits = e + d;

    if (e < -static_cast<long long>(d)) return renderZero(w, d);

    // The digits kept, rounded half up on the next one; a leading 1 when the carry runs out of
    // the first digit: 9.99996 in F9.4 keeps "99999" before a 5: "100000", one more integer
    // digit.
    char rounded[18];
    const char* shown = digits;
    const auto roundAt = static_cast<std::size_t>(std::min(16LL, keptDigits));
    if (length > roundAt) {
        const bool roundUp = digits[roundAt] >= '5';
        length = roundAt;
        if (roundUp) {
            std::size_t place = length;
            while (place > 0 && digits[place - 1] == '9') digits[--place] = '0';
            if (place > 0) {
                ++digits[place - 1];
            } else {
                rounded[0] = '1';
                std::copy_n(digits, length, rounded + 1);
                shown = rounded;
                ++length;
                ++integerDigits;
                ++keptDigits;
            }
        }
    }
    if (std::all_of(shown, shown + length, [](char c) { return c == '0'; })) negative = false;

    if (integerDigits == 0 && keptDigits == 0) {
        Field field(w, 2);
        if (!field.overflow()) {
            field.put('0');
            field.put('.');
        }
        return field.take();
    }

    // A sign, the integer digits (none when there are none: no zero in front of the point),
    // the point, and exactly d decimals.
    const long long wholeDigits = integerDigits > 0 ? integerDigits : 0;
    Field field(w, (negative ? 1 : 0) + wholeDigits + 1 + d);
    if (field.overflow()) return field.take();
    if (negative) field.put('-');
    std::size_t used = 0;
    if (integerDigits > 0) {
        const auto count = static_cast<std::size_t>(integerDigits);
        used = std::min(count, length);
        field.put(shown, used);
        field.put(count - used, '0');
    }
    field.put('.');
    std::size_t fractionWritten = 0;
    if (integerDigits < 0) {
        fractionWritten = static_cast<std::size_t>(-integerDigits);
        field.put(fractionWritten, '0');
    }
    field.put(shown + used, length - used);
    fractionWritten += length - used;
    field.put(static_cast<std::size_t>(d) - std::min(fractionWritten, static_cast<std::size_t>(d)), '0');
    return field.take();
}

std::string renderInteger(std::int32_t value, int w) {
    assert(w >= 0);
    std::array<char, 16> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), value);
    const auto length = static_cast<long long>(written.ptr - text.data());
    Field field(w, length);
    if (!field.overflow()) field.put(text.data(), static_cast<std::size_t>(length));
    return field.take();
}

}  // namespace reduz
