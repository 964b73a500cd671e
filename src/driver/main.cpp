// reduzmodel: tabulates a transiogram model from PARAMETER.TXT into ReduzModel.txt.
// Command-line arguments are not read.

#include <csignal>

#include "driver/run.hpp"

int main() {
    // A console that has gone away must not kill the run: its writes fail, are ignored, and the
    // run still ends with its own status.
    std::signal(SIGPIPE, SIG_IGN);
    return reduz::runProgram();
}
