#pragma once
// The bits of a 64-bit IEEE double, named once for the formula arithmetic and the number fields.
//
//   exponentField(bitsOf(1.0)) -> 1023        exponentField(bitsOf(0.75)) -> 1022
//   binaryExponent(bitsOf(6.0)) -> 2          (6 = 1.5 * 2^2)
//   floorLog10Pow2(10) -> 3                   (2^10 = 1024)
//   floorLog10Pow2(-1) -> -1                  (2^-1 = 0.5)

#include <bit>
#include <cassert>
#include <cstdint>

namespace reduz::ieee {

inline constexpr int fractionBitCount = 52;
inline constexpr std::uint64_t signBit = std::uint64_t{1} << 63;
inline constexpr std::uint64_t exponentMask = std::uint64_t{0x7FF} << fractionBitCount;
inline constexpr std::uint64_t fractionMask = (std::uint64_t{1} << fractionBitCount) - 1;
inline constexpr std::uint64_t hiddenBit = std::uint64_t{1} << fractionBitCount;
// The top fraction bit: set in a quiet NaN, clear in a signalling one.
inline constexpr std::uint64_t quietBit = std::uint64_t{1} << (fractionBitCount - 1);
// The field of infinities and NaNs.
inline constexpr std::uint64_t specialField = 0x7FF;
inline constexpr int exponentBias = 1023;
// The exponent field of a double in [0.5, 1).
inline constexpr std::uint64_t halfField = exponentBias - 1;

// Exponents of the normal doubles written as m * 2^e with m in [0.5, 1), the form of the
// formulas' values: 2^-1022 = 0.5 * 2^-1021 up to just below 2^1024 = 0.5 * 2^1025.
inline constexpr std::int64_t smallestNormalExponent = -1021;
inline constexpr std::int64_t largestExponent = 1024;
// 2^-1074, the smallest subnormal, is 0.5 * 2^-1073.
inline constexpr int subnormalUnitExponent = -1074;

inline std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }
inline double fromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

// The biased exponent field, 0 (zeros and subnormals) to 2047 (infinities and NaNs).
inline std::uint64_t exponentField(std::uint64_t bits) { return (bits & exponentMask) >> fractionBitCount; }

// A field of a normal double, 1 to 2046: one unsigned comparison.
inline bool isNormalField(std::uint64_t field) { return field - 1 < 2046; }

// The power of two of a normal double as 1.f * 2^e.
inline int binaryExponent(std::uint64_t bits) { return static_cast<int>(exponentField(bits)) - exponentBias; }

// The 53-bit significand of a normal double, hidden bit included.
inline std::uint64_t significandOf(std::uint64_t bits) { return (bits & fractionMask) | hiddenBit; }

// The double with the exponent field replaced (sign and fraction kept).
inline double withField(double value, std::uint64_t field) {
    return fromBits((bitsOf(value) & ~exponentMask) | (field << fractionBitCount));
}

// 2^e for a normal power, -1022 <= e <= 1023.
inline double powerOfTwo(std::int64_t e) {
    assert(e >= -1022 && e <= 1023);
    return fromBits(static_cast<std::uint64_t>(e + exponentBias) << fractionBitCount);
}

// floor(e * log10(2)): 78913 / 2^18 lies just above log10(2), close enough that the floor
// agrees for every e in the range asserted (arithmetic shift: the floor for negative e too).
constexpr int floorLog10Pow2(int e) {
    assert(e >= -1650 && e <= 1650);
    return (e * 78913) >> 18;
}

}  // namespace reduz::ieee
