#pragma once
// Numbers as the input writes them and as the output files show them.
//
//   parseNumber("12.5") -> 12.5     parseNumber("+3") -> 3      parseNumber("1e2") -> 100
//   parseNumber("1O")   -> none     parseNumber("")   -> none   parseNumber("inf") -> none
//   parseNumber("1e-400") -> 0      parseNumber("-1e-400") -> -0   parseNumber("1e400") -> none
//   parseWhole("-9999") -> -9999    parseWhole("2.0") -> none
//   parseWholeDecimal("2.0") -> 2    parseWholeDecimal("1.5e1") -> 15    parseWholeDecimal("2.5") -> none
//   parseWholeDecimal("9007199254740993") -> 9007199254740993 (exactly; no double between)
//   shortest(0.1) -> "0.1"   shortest(1.0) -> "1"   shortest(1.0 / 3) -> "0.3333333333333333"
//   shortest(2.5e-7) -> "2.5e-07"

#include <optional>
#include <string>
#include <string_view>

namespace reduz::fit {

// A finite decimal number, optionally signed, nothing else around it.
std::optional<double> parseNumber(std::string_view text);

// An optionally signed whole number in digits that fits 64 bits.
std::optional<long long> parseWhole(std::string_view text);

// A decimal number whose value is whole and fits 64 bits, in any form a number is written
// ("12", "+12", "12.000", "1.2e1"), read exactly.
std::optional<long long> parseWholeDecimal(std::string_view text);

// The shortest text that reads back as the same double.
std::string shortest(double value);

}  // namespace reduz::fit
