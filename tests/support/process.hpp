#pragma once
// Running the real reduzmodel binary in a directory, as a user would.

#include <string>
#include <string_view>
#include <vector>

namespace reduz::testing {

struct RunResult {
    std::string out;  // standard output, raw bytes
    std::string err;  // standard error, raw bytes
    int status = -1;  // exit status; -1 when it did not exit normally
};

struct RunOptions {
    std::string input;             // bytes on standard input (a pipe, closed after them)
    // Run where file modes deny: as the tests' own user when that is not root, as "nobody" when
    // it is root (the test fails if there is no "nobody").
    bool asUnprivileged = false;
    bool outputsClosed = false;    // standard output and error are pipes nobody reads
    long fileSizeLimit = -1;       // bytes the program may write to a file (RLIMIT_FSIZE), -1: no limit
    long addressSpaceLimit = -1;   // bytes of address space (RLIMIT_AS), -1: no limit
    std::string inputFile;         // standard input from this file instead of a pipe
    std::vector<int> closed;       // of the descriptors 0, 1 and 2: closed when the program starts
};

// The usual options: the keyboard's bytes; a run as the user "nobody".
RunOptions withInput(std::string input);
RunOptions asNobody();

// Runs reduzmodel, which takes no arguments.
RunResult runBinary(const std::string& directory, const RunOptions& options = {});
// Runs a program with arguments: runCommand(REDUZFIT_BINARY, {"measure", "logs.csv", ...}, dir).
RunResult runCommand(const std::string& binary, const std::vector<std::string>& arguments,
                     const std::string& directory, const RunOptions& options = {});

// Runs a parameter file (and keyboard input) in a fresh directory.
struct RunInFresh {
    RunResult result;
    std::string report;   // "ReduzModel.txt", empty when none was written
    bool reportWritten = false;
};
RunInFresh runWithParameters(std::string_view parameterFile, std::string_view keyboard = {});

// A command run by the shell: its standard output (with whatever it sends to standard error,
// when the command says 2>&1) and its exit status, -1 when it did not exit normally.
struct ShellResult {
    std::string output;
    int status = -1;
};
ShellResult runShell(const std::string& command);
bool installed(const std::string& tool);  // found on the PATH

// "\r\n" joins: crlf({"a", "b"}) -> "a\r\nb\r\n"
std::string crlf(std::initializer_list<std::string_view> lines);

}  // namespace reduz::testing
