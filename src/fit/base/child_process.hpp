#pragma once
// Another program run to its end, or to a time limit: its standard input given, its standard
// output and error gathered, the program found on the PATH. It is never waited on for ever: the
// pipes are written and read as each is ready, and a child still running at the limit is killed
// (SIGKILL).
//
//   runChild({"gnuplot"}, script, 60s)   -> started, status 0, out the PNG's bytes, err ""
//   runChild({"no-such-tool"}, "", 60s)  -> not started (startError "No such file or directory")
//   runChild({"sleep", "60"}, "", 1s)    -> started, timedOut, status -1

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace reduz::fit {

struct ChildRun {
    bool started = false;
    std::string startError;  // why it could not be started
    bool timedOut = false;   // killed at the limit
    int status = -1;         // its exit status; -1 when a signal ended it
    std::string out;
    std::string err;
};

ChildRun runChild(const std::vector<std::string>& arguments, std::string_view input, std::chrono::milliseconds limit);

}  // namespace reduz::fit
