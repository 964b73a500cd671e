#pragma once
// Turning the text of one free-form value into a number. Pure: the result carries either the
// value or the failure number, and the reader names the source in the failure report.
//
//   convertInteger("16#32")       -> 50          convertInteger("50.")   -> failure 6101
//   convertInteger("#FFFFFFFF")   -> -1          convertInteger("+")     -> 0
//   convertReal("1D-2")           -> 0.01        convertReal("2.5+1")    -> 25.0
//   convertReal("1E400")          -> failure 6102
//   convertReal("1E-400")         -> 0.0         convertReal("inf")      -> failure 6103

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
//   F6100 out of range, F6101 a character that cannot belong, F6302 second '#', F6303 bad base.
Converted<std::int32_t> convertInteger(std::string_view text);

// 64-bit reals: [sign] mantissa [exponent], rounded to the nearest double.
//   F6102 beyond the largest double, F6103 not one complete number.
Converted<double> convertReal(std::string_view text);

}  // namespace reduz
