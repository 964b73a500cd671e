#pragma once
// Turning the text of one free-form value into a number. The converters take the text one
// character at a time, so that a value of any length converts in bounded memory, exactly as
// its whole text would; the reader names the source in the failure report.
//
//   convertInteger("16#32")       -> 50          convertInteger("50.")   -> failure F6101
//   convertInteger("#FFFFFFFF")   -> -1          convertInteger("+")     -> 0
//   convertReal("1D-2")           -> 0.01        convertReal("2.5+1")    -> 25.0
//   convertReal("1E400")          -> failure F6102
//   convertReal("1E-400")         -> 0.0         convertReal("inf")      -> failure F6103
//   convertReal("1" + a million zeros + "E-1000000") -> 1.0

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "failure/run_failure.hpp"

namespace reduz {

template <typename T>
struct Converted {
    T value{};
    std::optional<IoFailure> failure;  // empty when the text gave a value
    bool ok() const { return !failure; }
};

// 32-bit integers and repeat counts: optional sign, decimal digits, or base#digits
// (bases 2 to 36, base 16 when no base or only zeros is given). A Ctrl-Z byte ends the number.
//   F6100 out of range, F6101 a character that cannot belong, F6302 second '#', F6303 bad base;
// the first met from the left is the one reported.
class IntegerConversion {
public:
    void feed(unsigned char c);
    Converted<std::int32_t> result() const;

private:
    std::optional<IoFailure> failure_;
    std::uint64_t fed_ = 0;
    std::array<unsigned char, 11> start_{};  // the first characters, for "-2147483648"
    bool negative_ = false;
    bool based_ = false;
    bool ended_ = false;  // by a Ctrl-Z
    unsigned base_ = 10;
    std::uint32_t magnitude_ = 0;
    std::uint32_t limit_ = 2147483647u;
};

// 64-bit reals: [sign] mantissa [exponent], rounded to the nearest double.
//   F6102 beyond the largest double, F6103 not one complete number.
class RealConversion {
public:
    void feed(unsigned char c);
    Converted<double> result() const;

private:
    // Where the text stands: in the mantissa, just after the exponent's letter, after its sign,
    // in its digits; or spoilt.
    enum class Part { Mantissa, ExponentLetter, ExponentSign, ExponentDigits, Invalid };
    // Significant digits kept: every double lies nearer one of two neighbours than the digits
    // beyond the 768th can tell, so the rest only needs to be known zero or not.
    static constexpr std::size_t keptDigits = 800;

    Part part_ = Part::Mantissa;
    std::uint64_t fed_ = 0;
    bool negative_ = false;
    bool anyDigit_ = false;
    bool point_ = false;
    bool exponentNegative_ = false;
    std::int64_t scale_ = 0;       // powers of ten of the digits after the point
    std::int64_t exponent_ = 0;
    std::int64_t significant_ = 0;  // significant digits seen, the first ones kept below
    bool nonzeroBeyond_ = false;    // a digit other than 0 among those not kept
    std::array<char, keptDigits> digits_{};
};

Converted<std::int32_t> convertInteger(std::string_view text);
Converted<double> convertReal(std::string_view text);

}  // namespace reduz
