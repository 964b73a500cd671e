#pragma once
// What stops a measurement: input that cannot be measured (exit status 2) and output that cannot
// be written (exit status 1). The text is the whole one-line report, without "reduzfit: ".
//
//   failInput("logs.csv", 7, 2, "from \"1O\" is not a number")
//       -> InputError "logs.csv:7:2: from \"1O\" is not a number"
//   failInput("logs.csv", 1, 0, "no column \"class\"")   -> "logs.csv:1: no column \"class\""
//   failInput("logs.csv", 0, 0, "No such file")          -> "logs.csv: No such file"

#include <functional>
#include <stdexcept>
#include <string_view>

namespace reduz::fit {

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Line and column count from 1; 0 leaves that part out. A column is the number of the value on
// its line (the CSV field, the grid's token), not a character position.
[[noreturn]] void failInput(std::string_view file, long line, long column, std::string_view message);

// "reduzfit: TEXT" on standard error; returns the status.
int reportFailure(const char* text, int status);

// A command's run: its status, or the status of the failure it throws, told on standard error:
// 2 for input it cannot use, 1 for output it cannot write and for memory it cannot have.
int reportingFailures(const std::function<int()>& run);

}  // namespace reduz::fit
