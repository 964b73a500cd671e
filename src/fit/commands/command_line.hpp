#pragma once
// reduzfit's command line (CLI11): the commands, their options, help and version.
//
//   reduzfit measure logs.csv --step 0.5 --lags 40   -> measure, with the request filled in
//   reduzfit merge a/measured.csv b/measured.csv    -> merge
//   reduzfit fit measured.csv -o fitted              -> fit
//   reduzfit simulate --model fitted --size 200,200 --cell 10 -o sims -> simulate
//   reduzfit logs.csv --step 0.5 --lags 40 -o fitted -> measureAndFit (a file's name first)
//   reduzfit --help / reduzfit measure --help        -> help, its text for standard output
//   reduzfit --version                               -> version, "reduzfit (reduzmodel) 1.0.0\n"
//   reduzfit measure logs.csv --step 0               -> usageError, "reduzfit: --step must be a
//                                                       number above 0, not \"0\"\nUsage: ..."

#include <string>

#include "fit/commands/fit_command.hpp"
#include "fit/commands/measure_command.hpp"
#include "fit/commands/merge_command.hpp"
#include "fit/commands/simulate_command.hpp"

namespace reduz::fit {

enum class Action { measure, merge, fit, simulate, measureAndFit, help, version, usageError };

struct CommandLine {
    Action action = Action::usageError;
    std::string text;  // help or version for standard output; the usage error for standard error
    MeasureRequest measure;
    FitRequest fit;
    MergeRequest merge;
    SimulateRequest simulate;
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// The command the line names, run: measure, merge, fit, or measure and fit in one go (the actions that are
// commands; help, version and a usage error are its text alone).
CommandResult runCommand(const CommandLine& command);

}  // namespace reduz::fit
