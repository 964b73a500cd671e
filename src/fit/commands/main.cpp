// reduzfit: measures transiograms from borehole logs and categorical maps, and fits reduzmodel's
// shapes to them.

#include <csignal>
#include <cstdio>

#include "fit/commands/command_line.hpp"
#include "fit/commands/command_result.hpp"

int main(int argc, char** argv) {
    // A console that has gone away must not kill the run before its files are written, nor a
    // file-size limit: the write fails instead, and the run reports it.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    const reduz::fit::CommandLine command = reduz::fit::parseCommandLine(argc, argv);
    switch (command.action) {
        case reduz::fit::Action::measure:
        case reduz::fit::Action::merge:
        case reduz::fit::Action::fit:
        case reduz::fit::Action::simulate:
        case reduz::fit::Action::measureAndFit:
            return reduz::fit::printResult(reduz::fit::runCommand(command));
        case reduz::fit::Action::help:
        case reduz::fit::Action::version:
            std::fputs(command.text.c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        case reduz::fit::Action::usageError:
            break;
    }
    std::fputs(command.text.c_str(), stderr);
    return 2;
}
