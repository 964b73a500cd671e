#pragma once
// What a command ends with: its exit status, the summary for standard output and the failure's
// line for standard error. The commands print nothing themselves (but the progress bar, drawn
// on the terminal as they go), so that they can be run in the process as well as by the binary.
//
//   a measurement written  -> {0, "input          logs.csv\n...", ""}
//   a row it cannot use    -> {2, "", "reduzfit: logs.csv:7:2: from \"1O\" is not a number\n"}

#include <functional>
#include <string>

namespace reduz::fit {

struct CommandResult {
    int status = 0;
    std::string out;
    std::string err;
};

// "reduzfit: TEXT\n" for standard error, with its status.
CommandResult failureResult(const std::string& text, int status);

// The command's result, or that of the failure it throws: 2 for input it cannot use; 1 for
// output it cannot write, memory it cannot have and a fault of the optimiser.
CommandResult reportingFailures(const std::function<CommandResult()>& run);

// Prints the summary, then the failure; returns the status, or 1 when standard output does not
// take the summary whole.
int printResult(const CommandResult& result);

}  // namespace reduz::fit
