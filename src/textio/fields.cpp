#include "textio/fields.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <system_error>

#include "models/ieee_double.hpp"

namespace reduz {

using namespace ieee;

namespace {

// 10^0 to 10^19.
constexpr std::array<std::uint64_t, 20> powersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}();

constexpr std::uint64_t tenToThe16 = powersOfTen[16];
constexpr std::uint64_t tenToThe17 = powersOfTen[17];
constexpr std::uint64_t tenToThe18 = powersOfTen[18];

// The magnitude of a nonzero value as 0.D1D2...D17 times 10 to the power exponent: its 17
// significant digits as one integer of exactly 17 digits (D1 is not 0), rounded half up on the
// 18th digit of the exact expansion.
struct Expansion {
    std::uint64_t digits = 0;
    int exponent = 0;
};

// Rounds 18 leading digits (as an integer of exactly 18 digits) to 17, half up on the 18th. The
// carry out of the first digit leaves a 1 one place further up.
Expansion roundEighteenDigits(std::uint64_t leading, int exponent) {
    std::uint64_t kept = leading / 10 + (leading % 10 >= 5 ? 1 : 0);
    if (kept == tenToThe17) {
        kept = tenToThe16;
        ++exponent;
    }
    return {kept, exponent};
}

// The 18 leading digits read off the whole exact expansion, which fits every finite double:
//   2.675 (stored 2.67499999999999982236...) -> 26749999999999998, exponent 1
//   0.995 (stored 0.99499999999999999555...) -> 99500000000000000, exponent 0
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

// 10^s for s up to 22, which times a 53-bit significand stays below 2^127.
Unsigned128 powerOfTen(int s) {
    if (s < 20) return powersOfTen[static_cast<std::size_t>(s)];
    return Unsigned128{powersOfTen[19]} * powersOfTen[static_cast<std::size_t>(s - 19)];
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

// "00" to "99": two decimal digits at a time.
constexpr std::array<char, 200> digitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The `count` decimal digits of value (below 10^count, leading zeros written), ending at end.
template <class Unsigned>
void writeDigitsOf(char* end, Unsigned value, int count) {
    for (; count >= 2; count -= 2) {
        const std::size_t pair = static_cast<std::size_t>(value % 100);
        value /= 100;
        end -= 2;
        end[0] = digitPairs[2 * pair];
        end[1] = digitPairs[2 * pair + 1];
    }
    if (count == 1) end[-1] = static_cast<char>('0' + value);
}

// In 32 bits where the value allows: its divisions by 100 are cheaper.
void writeDigits(char* end, std::uint64_t value, int count) {
    if (value <= UINT32_MAX) return writeDigitsOf(end, static_cast<std::uint32_t>(value), count);
    writeDigitsOf(end, value, count);
}

// A field's characters, right-justified in w columns: `length` characters of text are placed
// after the blanks, or the whole field is asterisks when the text is longer than w.
class FieldWriter {
public:
    FieldWriter(char* out, int w, long long length) : next_(out) {
        const auto width = static_cast<std::size_t>(w);
        if (length > w) {
            std::memset(out, '*', width);
            overflow_ = true;
            return;
        }
        put(width - static_cast<std::size_t>(length), ' ');
    }
    bool overflow() const { return overflow_; }
    // Fields are a few characters wide: loops, not calls to the library's memset and memcpy.
    void put(char c) { *next_++ = c; }
    void put(std::size_t count, char c) {
        for (; count > 0; --count) *next_++ = c;
    }
    void put(const char* characters, std::size_t count) {
        for (; count > 0; --count) *next_++ = *characters++;
    }

private:
    char* next_;
    bool overflow_ = false;
};

// Infinities and NaNs: "1#INF", "1#IND", "1#SNAN" or "1#QNAN", filled with full stops to w.
// Told apart by their bits alone, so that no comparison raises the invalid flag.
void renderMarker(char* out, std::uint64_t bits, int w) {
    const std::uint64_t fraction = bits & fractionMask;
    std::string_view marker = "1#QNAN";
    if (fraction == 0) {
        marker = "1#INF";
    } else if ((fraction & quietBit) == 0) {
        marker = "1#SNAN";
    } else if ((bits & signBit) != 0 && fraction == quietBit) {
        marker = "1#IND";
    }
    const auto width = static_cast<std::size_t>(w);
    const std::size_t shown = std::min(marker.size(), width);
    std::memcpy(out, marker.data(), shown);
    std::memset(out + shown, '.', width - shown);
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

// Zero at this precision: a point and d zeros, and without decimals a digit in front:
// 0.04 in F5.0 -> "   0.", like 0.3.
void renderZero(char* out, int w, int d) {
    FieldWriter field(out, w, (d == 0 ? 2 : 1) + static_cast<long long>(d));
    if (field.overflow()) return;
    if (d == 0) field.put('0');
    field.put('.');
    field.put(static_cast<std::size_t>(d), '0');
}

}  // namespace

void renderFixedInto(char* out, double value, int w, int d) {
    assert(w >= 0 && d >= 0);
    const std::uint64_t bits = bitsOf(value);
    if (exponentField(bits) == specialField) return renderMarker(out, bits, w);

    const std::uint64_t magnitudeBits = bits & ~signBit;
    const double magnitude = fromBits(magnitudeBits);
    // Zero, or under a tenth of the last decimal's unit: zero at this precision, with no sign.
    if (magnitudeBits == 0 ||
        (d < static_cast<int>(zeroBelow.size()) && magnitude < zeroBelow[static_cast<std::size_t>(d)])) {
        return renderZero(out, w, d);
    }
    const Expansion expansion = expandMagnitude(magnitude);
    const long long e = expansion.exponent;
    if (e < -static_cast<long long>(d)) return renderZero(out, w, d);

    // The first n = min(16, e + d) digits, rounded half up on the next one; when the carry runs
    // out of the first digit, a 1 and zeros, one integer digit more: 9.99996 in F9.4 keeps
    // 9999 before a 9 and becomes 100000, and -0.00005 keeps nothing before a 5 and becomes 1.
    long long integerDigits = e;
    long long keptDigits = e + d;
    int n = static_cast<int>(std::min(16LL, keptDigits));
    std::uint64_t kept = expansion.digits / powersOfTen[static_cast<std::size_t>(17 - n)];
    const std::uint64_t next = expansion.digits / powersOfTen[static_cast<std::size_t>(16 - n)] % 10;
    if (next >= 5 && ++kept == powersOfTen[static_cast<std::size_t>(n)]) {
        ++n;
        ++integerDigits;
        ++keptDigits;
    }
    const bool negative = (bits & signBit) != 0 && kept != 0;

    if (integerDigits == 0 && keptDigits == 0) {
        FieldWriter field(out, w, 2);
        if (field.overflow()) return;
        field.put('0');
        field.put('.');
        return;
    }

    // A sign, the integer digits (none when there are none: no zero in front of the point),
    // the point, and exactly d decimals.
    const long long wholeDigits = integerDigits > 0 ? integerDigits : 0;
    FieldWriter field(out, w, (negative ? 1 : 0) + wholeDigits + 1 + d);
    if (field.overflow()) return;
    char digits[20];
    writeDigits(digits + n, kept, n);
    if (negative) field.put('-');
    std::size_t used = 0;
    const auto length = static_cast<std::size_t>(n);
    if (integerDigits > 0) {
        const auto count = static_cast<std::size_t>(integerDigits);
        used = std::min(count, length);
        field.put(digits, used);
        field.put(count - used, '0');
    }
    field.put('.');
    std::size_t fractionWritten = 0;
    if (integerDigits < 0) {
        fractionWritten = static_cast<std::size_t>(-integerDigits);
        field.put(fractionWritten, '0');
    }
    field.put(digits + used, length - used);
    fractionWritten += length - used;
    field.put(static_cast<std::size_t>(d) - std::min(fractionWritten, static_cast<std::size_t>(d)), '0');
}

void renderIntegerInto(char* out, std::int32_t value, int w) {
    assert(w >= 0);
    const std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    int count = 1;
    while (count < 10 && magnitude >= powersOfTen[static_cast<std::size_t>(count)]) ++count;
    FieldWriter field(out, w, count + (value < 0 ? 1 : 0));
    if (field.overflow()) return;
    char digits[10];
    writeDigits(digits + count, magnitude, count);
    if (value < 0) field.put('-');
    field.put(digits, static_cast<std::size_t>(count));
}

std::string renderFixed(double value, int w, int d) {
    assert(w >= 0 && d >= 0);
    std::string text(static_cast<std::size_t>(w), ' ');
    renderFixedInto(text.data(), value, w, d);
    return text;
}

std::string renderInteger(std::int32_t value, int w) {
    assert(w >= 0);
    std::string text(static_cast<std::size_t>(w), ' ');
    renderIntegerInto(text.data(), value, w);
    return text;
}

}  // namespace reduz
