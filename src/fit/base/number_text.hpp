#pragma once
// Numbers as the input writes them and as the output files show them.
//
//   parseNumber("12.5") -> 12.5     parseNumber("+3") -> 3      parseNumber("1e2") -> 100
//   parseNumber("1O")   -> none     parseNumber("")   -> none   parseNumber("inf") -> none
//   parseWhole("-9999") -> -9999    parseWhole("2.0") -> none
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

// The shortest text that reads back as the same double.
std::string shortest(double value);

}  // namespace reduz::fit
