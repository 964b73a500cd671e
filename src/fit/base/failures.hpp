#pragma once
// What stops a command: input that cannot be used (exit status 2), output that cannot be written
// (exit status 1), and a fault of the program or of a library it calls that is no fault of the
// input (exit status 1). The text is the whole one-line report, without "reduzfit: ".
//
//   failInput("logs.csv", 7, 2, "from \"1O\" is not a number")
//       -> InputError "logs.csv:7:2: from \"1O\" is not a number"
//   failInput("logs.csv", 1, 0, "no column \"class\"")   -> "logs.csv:1: no column \"class\""
//   failInput("logs.csv", 0, 0, "No such file")          -> "logs.csv: No such file"

#include <stdexcept>
#include <string>
#include <string_view>

namespace reduz::fit {

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ProgramError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Line and column count from 1; 0 leaves that part out. A column is the number of the value on
// its line (the CSV field, the grid's token), not a character position. Control bytes in the
// text are shown escaped, so that the report stays one whole line:
//   from "1<NUL>5" on line 2 -> "logs.csv:2:2: from \"1\\x005\" is not a number"
[[noreturn]] void failInput(std::string_view file, long line, long column, std::string_view message);

// The text with its control bytes escaped, as a report shows it, so that a class's or a file's
// name can neither break a line nor send a terminal a command of its own:
//   visible("sand") -> "sand"   visible("a\nb") -> "a\\nb"   visible("\x1b[2J") -> "\\x1B[2J"
std::string visible(std::string_view text);

}  // namespace reduz::fit
