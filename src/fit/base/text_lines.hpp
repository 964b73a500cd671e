#pragma once
// Lines as every reader of reduzfit counts them: a line ends in LF, CR LF or a lone CR, as
// libcsv ends a record.
//
//   lineLength("a\r\nb") -> 3    lineLength("a\rb") -> 2    lineLength("ab") -> 2
//   lineEndsIn("a\nb\r\nc\rd") -> 3

#include <cstddef>
#include <string_view>

namespace reduz::fit {

// Where the text's first line ends: its first CR or LF, or the text's size.
//   lineEnd("ab\r\nc") -> 2
std::size_t lineEnd(std::string_view text);

// The length of the text's first line, its line end included.
std::size_t lineLength(std::string_view text);

// Byte i ends a line: an LF, or a CR without an LF after it.
bool endsLine(std::string_view text, std::size_t i);

long lineEndsIn(std::string_view text);

}  // namespace reduz::fit
