#pragma once
// Running the real reduzfit in a fresh directory that holds the given files, and everything
// the directory holds afterwards.

#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/process.hpp"
#include "support/scratch.hpp"

namespace reduz::testing {

struct FitRun {
    RunResult result;
    std::map<std::string, std::string> files;  // every file after the run, by relative path
};

// A name ending in "/" makes a directory; `prepare` may change the directory before the run.
template <typename Prepare>
FitRun runFit(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& inputs,
              const RunOptions& options, Prepare prepare) {
    ScratchDir dir;
    for (const auto& [name, bytes] : inputs) {
        if (name.back() == '/') {
            ::mkdir(dir.file(name).c_str(), 0777);
        } else {
            writeFile(dir.file(name), bytes);
        }
    }
    prepare(dir);
    FitRun run;
    run.result = runCommand(REDUZFIT_BINARY, arguments, dir.path, options);
    run.files = filesIn(dir.path);
    return run;
}

inline FitRun runFit(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& inputs,
                     const RunOptions& options = {}) {
    return runFit(arguments, inputs, options, [](const ScratchDir&) {});
}

// reduzfit `arguments` run in `dir` with its first fsync held up a second by strace, and
// `signal` (INT, TERM) sent once the temporary directory beside `out` stands: what the shell
// says of the run's exit status. (A shell starts a job in the background with SIGINT ignored:
// env gives it back its default.)
inline ShellResult interruptedWhileWriting(const ScratchDir& dir, const std::string& arguments, const std::string& out,
                                           const std::string& signal) {
    return runShell("cd '" + dir.path + "' && { env --default-signal=INT strace -o /dev/null -e inject=fsync:delay_enter=1000000:when=1 "
                    REDUZFIT_BINARY " " + arguments + " >/dev/null 2>&1 & } && tracer=$! && "
                    "for i in $(seq 100); do ls -a | grep -q '^\\." + out + "\\.' && break; sleep 0.05; done && "
                    "kill -" + signal + " $(pgrep -P $tracer) && { wait $tracer; } 2>/dev/null; echo $?");
}

}  // namespace reduz::testing
