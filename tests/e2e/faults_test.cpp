// Runs of the real binary under the conditions scripts and shared machines create: closed
// standard streams, refused writes, a kill at any write, resource limits, a FIFO for the
// parameter file, runs side by side in one directory. Whatever happens, the older report is
// left whole or replaced whole, and a run that could not write its report says so.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/process.hpp"
#include "support/sanitized.hpp"
#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

// Cross model 11 at maxLag 1000: a report of 15 buffer writes.
constexpr std::string_view heavyParameters = "11 2\n0.25 25\n1000\n";
constexpr std::string_view heavyAnswer = "2 1 1\n";
constexpr std::string_view olderReport = "older report\r\n";

std::string reportOf(std::string_view parameters, std::string_view keyboard) {
    const RunInFresh run = runWithParameters(parameters, keyboard);
    EXPECT_EQ(run.result.status, 0);
    return run.report;
}

// What the directory holds besides the parameter file and the report: a run leaves nothing.
std::vector<std::string> strayFiles(const ScratchDir& dir) {
    std::vector<std::string> stray;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        const std::string name = entry.path().filename().string();
        if (name != "PARAMETER.TXT" && name != "ReduzModel.txt") stray.push_back(name);
    }
    return stray;
}

std::string failure(std::string_view numberAndUnit, std::string_view message) {
    return "\r\nrun-time error " + std::string(numberAndUnit) + "\r\n- " + std::string(message) + "\r\n";
}

TEST(ClosedStreams, NoFileTheRunOpensTakesTheirPlace) {
    // A failing run whose parameter file is larger than a read-ahead block, so that a report
    // written to its descriptor would land inside it.
    const std::string longParameters = "3 1\n0.25 0\n10\n" + std::string(9600, ' ') + "\n";
    struct Case {
        std::vector<int> closed;
        std::string parameters;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{2}, longParameters, 1, ""},
        {{1}, "3 1\n0.25 25\n5\n", 0, ""},
        {{1, 2}, "3 1\n0.25 25\n5\n", 0, ""},
        {{0}, "8 1\n0.25 25\n5\n", 1,
         failure("F6501: READ(CON)", "end of file encountered: 'C' has no value (no answer was given)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.closed));
        ScratchDir dir;
        writeFile(dir.file("PARAMETER.TXT"), c.parameters);
        RunOptions options;
        options.closed = c.closed;
        const RunResult run = runBinary(dir.path, options);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(readFile(dir.file("PARAMETER.TXT")), c.parameters);
        if (c.status == 0) {
            EXPECT_EQ(readFile(dir.file("ReduzModel.txt")), reportOf(c.parameters, ""));
        }
    }
}

// strace injects the faults; where it cannot trace (no ptrace in a container), the tests say so.
bool straceWorks() {
    static const bool works = !sanitized && std::system("strace -o /dev/null true > /dev/null 2>&1") == 0;
    return works;
}
constexpr const char* noStrace = "strace cannot trace here (or the sanitizers' runtime is in the way); not injected";

// A heavy run in a directory holding an older report, under strace with one fault injected.
struct FaultRun {
    RunResult result;
    std::string report;
    std::vector<std::string> stray;
};

FaultRun runWithInjection(const std::string& injection) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), heavyParameters);
    writeFile(dir.file("ReduzModel.txt"), olderReport);
    RunOptions options;
    options.input = heavyAnswer;
    FaultRun run;
    run.result = runCommand("/usr/bin/strace", {"-o", "/dev/null", "-e", "inject=write:" + injection, REDUZMODEL_BINARY},
                            dir.path, options);
    run.report = readFile(dir.file("ReduzModel.txt"));
    run.stray = strayFiles(dir);
    return run;
}

// How many writes a heavy run makes, console and report together.
int writesOfAHeavyRun() {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), heavyParameters);
    RunOptions options;
    options.input = heavyAnswer;
    runCommand("/usr/bin/strace", {"-o", dir.file("trace"), "-e", "trace=write", REDUZMODEL_BINARY}, dir.path, options);
    const std::string trace = readFile(dir.file("trace"));
    int writes = 0;
    for (std::size_t at = trace.find("write("); at != std::string::npos; at = trace.find("write(", at + 1)) ++writes;
    return writes;
}

// Every write of a run refused in turn: a refused console write is passed over, a refused
// report write fails the run with its own failure and leaves the older report as it was.
TEST(WriteErrors, EveryRefusedReportWriteFailsTheRunAndKeepsTheOlderReport) {
    if (!straceWorks()) GTEST_SKIP() << noStrace;
    const std::string newReport = reportOf(heavyParameters, heavyAnswer);
    const int writes = writesOfAHeavyRun();
    ASSERT_GT(writes, 15);
    struct ErrorCase {
        const char* error;
        std::string err;
    };
    const ErrorCase errors[] = {
        {"EIO", failure("F6424: WRITE(ReduzModel.txt)", "write error reported by the system")},
        {"ENOSPC", failure("F6422: WRITE(ReduzModel.txt)", "no space left on device")},
        {"EDQUOT", failure("F6422: WRITE(ReduzModel.txt)", "no space left on device")},
        {"EFBIG", failure("F6423: WRITE(ReduzModel.txt)", "file too large: the limit on file size is reached")},
    };
    for (const ErrorCase& e : errors) {
        int failed = 0;
        for (int n = 1; n <= writes; ++n) {
            SCOPED_TRACE(std::string(e.error) + " at write " + std::to_string(n));
            const FaultRun run = runWithInjection("error=" + std::string(e.error) + ":when=" + std::to_string(n));
            EXPECT_TRUE(run.stray.empty()) << ::testing::PrintToString(run.stray);
            if (run.result.status == 0) {
                EXPECT_EQ(run.result.err, "");
                EXPECT_TRUE(run.report == newReport) << "not the whole new report";
            } else {
                ++failed;
                EXPECT_EQ(run.result.status, 1);
                EXPECT_EQ(run.result.err, e.err);
                EXPECT_TRUE(run.report == olderReport) << "not the older report";
            }
        }
        EXPECT_EQ(failed, 15) << "one failure for each write of the report's buffer";
    }
}

// Killed at any write, a run leaves the older report or the whole new one.
TEST(Killed, AtEveryWriteTheReportIsTheOlderOrTheWholeNewOne) {
    if (!straceWorks()) GTEST_SKIP() << noStrace;
    const std::string newReport = reportOf(heavyParameters, heavyAnswer);
    const int writes = writesOfAHeavyRun();
    for (int n = 1; n <= writes; ++n) {
        const FaultRun run = runWithInjection("signal=KILL:when=" + std::to_string(n));
        EXPECT_TRUE(run.report == olderReport || run.report == newReport) << "killed at write " << n;
    }
}

TEST(Limits, FileSizeLimitFailsTheRunAndKeepsTheOlderReport) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), heavyParameters);
    writeFile(dir.file("ReduzModel.txt"), olderReport);
    RunOptions options;
    options.input = heavyAnswer;
    options.fileSizeLimit = 4096;
    const RunResult run = runBinary(dir.path, options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, failure("F6423: WRITE(ReduzModel.txt)", "file too large: the limit on file size is reached"));
    EXPECT_EQ(readFile(dir.file("ReduzModel.txt")), olderReport);
    EXPECT_TRUE(strayFiles(dir).empty());
}

// A file of `count` copies of `c` between a head and a tail, written in pieces.
void writeLargeFile(const std::string& path, std::string_view head, char c, std::size_t count, std::string_view tail) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(head.data(), 1, head.size(), file);
    const std::string piece(1 << 20, c);
    for (std::size_t written = 0; written < count; written += piece.size()) std::fwrite(piece.data(), 1, piece.size(), file);
    std::fwrite(tail.data(), 1, tail.size(), file);
    ASSERT_EQ(std::fclose(file), 0);
}

// Records and values longer than the memory the program may have: read in bounded memory and
// converted as ever.
TEST(Limits, RecordsLargerThanTheAddressSpaceAreReadAsEver) {
    if (sanitized) GTEST_SKIP() << "the sanitizers' runtime needs more address space than the limit";
    constexpr std::size_t large = 96u << 20;
    struct Case {
        const char* what;
        std::string head;
        char repeated;
        std::string tail;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"a real of 96 million digits", "3 1\n", '7', " 25\n2\n", 1,
         failure("F6102: READ(PARAMETER.TXT)",
                 "invalid number: value too large '77777777777777777...' in line 2 of PARAMETER.TXT")},
        {"a whole number of 96 million digits", "3 1\n0.25 25\n", '9', "\n", 1,
         failure("F6100: READ(PARAMETER.TXT)", "integer overflow '99999999999999999...' in line 3 of PARAMETER.TXT")},
        {"96 million blanks before the values", "3 1\n", ' ', "0.25 25\n2\n", 0, ""},
        {"a real of 96 million zeros after its point", "3 1\n0.", '0', "25 25\n2\n", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        writeLargeFile(dir.file("PARAMETER.TXT"), c.head, c.repeated, large, c.tail);
        RunOptions options;
        options.addressSpaceLimit = 64L << 20;
        const RunResult run = runBinary(dir.path, options);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
    }
}

// Endless keyboard input is read as any program reads an endless stream: in bounded memory,
// until it is stopped.
TEST(Limits, EndlessKeyboardInputKeepsTheRunReading) {
    if (sanitized) GTEST_SKIP() << "the sanitizers' runtime needs more address space than the limit";
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "7 1\n0.25 25\n5\n");
    RunOptions options;
    options.inputFile = "/dev/zero";
    options.addressSpaceLimit = 64L << 20;
    // timeout ends it with status 124 after two seconds, if nothing has ended it before.
    const RunResult run = runCommand("/usr/bin/timeout", {"2", REDUZMODEL_BINARY}, dir.path, options);
    EXPECT_EQ(run.status, 124);
    EXPECT_EQ(run.out, "Input D (half wave length):");  // its line end is owed to a next line
    EXPECT_EQ(run.err, "");
}

// A FIFO for a parameter file is read to the end of its writer's data.
TEST(ParameterFile, FifoWhoseWriterClosesEarly) {
    ScratchDir dir;
    ASSERT_EQ(::mkfifo(dir.file("PARAMETER.TXT").c_str(), 0644), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        const int fd = ::open(dir.file("PARAMETER.TXT").c_str(), O_WRONLY);
        const std::string_view bytes = "3 1\n0.25";
        const bool written = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        ::_exit(written ? 0 : 1);
    }
    // timeout keeps a program that waits for ever from holding up the tests.
    const RunResult run = runCommand("/usr/bin/timeout", {"10", REDUZMODEL_BINARY}, dir.path);
    int status = 0;
    ::waitpid(writer, &status, 0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, failure("F6501: READ(PARAMETER.TXT)",
                               "end of file encountered: 'range' has no value (PARAMETER.TXT has 2 lines)"));
    EXPECT_FALSE(fileExists(dir.file("ReduzModel.txt")));
}

// Runs side by side in one directory, each with its own answer: the report is one run's whole.
TEST(Concurrent, RunsInOneDirectoryLeaveOneRunsWholeReport) {
    std::vector<std::string> answers;
    for (int alfa = 2; alfa <= 13; ++alfa) answers.push_back(std::to_string(alfa) + " 1 1\n");
    std::vector<std::string> reports;
    for (const std::string& answer : answers) reports.push_back(reportOf(heavyParameters, answer));
    for (int round = 0; round < 40; ++round) {
        ScratchDir dir;
        writeFile(dir.file("PARAMETER.TXT"), heavyParameters);
        writeFile(dir.file("ReduzModel.txt"), olderReport);
        std::vector<std::thread> runs;
        std::vector<int> statuses(answers.size(), -1);
        for (std::size_t i = 0; i < answers.size(); ++i) {
            runs.emplace_back([&, i] {
                statuses[i] = runBinary(dir.path, withInput(answers[i])).status;
            });
        }
        for (std::thread& run : runs) run.join();
        for (int status : statuses) EXPECT_EQ(status, 0);
        const std::string report = readFile(dir.file("ReduzModel.txt"));
        EXPECT_TRUE(std::find(reports.begin(), reports.end(), report) != reports.end()) << "round " << round;
        EXPECT_TRUE(strayFiles(dir).empty());
    }
}

// The report is replaced as a file: a symbolic link stays and its target is replaced, and the
// older report's permission bits are kept.
TEST(ReportFile, LinkAndPermissionBitsAreKept) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "3 1\n0.25 25\n2\n");
    ASSERT_EQ(::mkdir(dir.file("reports").c_str(), 0755), 0);
    writeFile(dir.file("reports/exponential.txt"), olderReport);
    ASSERT_EQ(::chmod(dir.file("reports/exponential.txt").c_str(), 0640), 0);
    ASSERT_EQ(::symlink("reports/exponential.txt", dir.file("ReduzModel.txt").c_str()), 0);
    const RunResult run = runBinary(dir.path);
    EXPECT_EQ(run.status, 0);
    struct stat link {};
    ASSERT_EQ(::lstat(dir.file("ReduzModel.txt").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(readFile(dir.file("reports/exponential.txt")), reportOf("3 1\n0.25 25\n2\n", ""));
    struct stat target {};
    ASSERT_EQ(::stat(dir.file("reports/exponential.txt").c_str(), &target), 0);
    EXPECT_EQ(target.st_mode & 07777, 0640u);
    EXPECT_EQ(std::filesystem::directory_iterator(dir.file("reports"))->path().filename(), "exponential.txt");
}

}  // namespace
}  // namespace reduz::testing

namespace reduz::testing {
namespace {

// Where no file can be created beside a report the user may write, the report is written in
// place, as the only way left.
TEST(ReportFile, WrittenInPlaceInADirectoryWhereNoFileCanBeCreated) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "3 1\n0.25 25\n2\n");
    writeFile(dir.file("ReduzModel.txt"), std::string(5000, 'x'));
    ASSERT_EQ(::chmod(dir.file("ReduzModel.txt").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.path.c_str(), 0555), 0);
    const RunResult run = runBinary(dir.path, asNobody());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(dir.file("ReduzModel.txt")), reportOf("3 1\n0.25 25\n2\n", ""));
}

}  // namespace
}  // namespace reduz::testing
