#pragma once
// End of a run, normal or failed.

namespace reduz {

// Thrown by endRun and caught only by runProgram, which returns the status to main.
struct RunEnded {
    int status;
};

// Closes every file still open (buffered records written, failures ignored), writes the
// console's owed CR LF, and ends the run with the status. Never returns.
[[noreturn]] void endRun(int status);

}  // namespace reduz
