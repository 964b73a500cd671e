#pragma once
// Another program run to its end: its standard input given, its standard output and error
// gathered, the program found on the PATH.
//
//   runChild({"gnuplot"}, script)  -> started, status 0, out the PNG's bytes, err ""
//   runChild({"no-such-tool"}, "")  -> not started (startError "No such file or directory")

#include <string>
#include <string_view>
#include <vector>

namespace reduz::fit {

struct ChildRun {
    bool started = false;
    std::string startError;  // why it could not be started
    int status = -1;         // its exit status; -1 when a signal ended it
    std::string out;
    std::string err;
};

ChildRun runChild(const std::vector<std::string>& arguments, std::string_view input);

}  // namespace reduz::fit
