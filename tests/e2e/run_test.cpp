// Whole runs of the real binary, each in a fresh directory: standard output, standard error,
// exit status and the report's bytes, compared exactly.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/process.hpp"
#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

const std::string stopTrail = crlf({"Output transiogram model", "Finish", "Stop - Program terminated.", ""});

std::string rows(int lastLag, const char* valueField) {
    std::string text;
    for (int lag = 0; lag <= lastLag; ++lag) {
        char row[32];
        std::snprintf(row, sizeof row, " %3d%s\r\n", lag, valueField);
        text += row;
    }
    return text;
}

TEST(Run, ExponentialReportAndConsoleTrail) {
    const RunInFresh run = runWithParameters("3 1\n0.25 25\n2\n");
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.out, stopTrail);
    EXPECT_EQ(run.report, crlf({" Auto-Transiogram model (1-8). Need to tune.", " 3-Exponential: sill, range",
                                "     .2500    25.00", "  h REDUZ-Model", "   0   1.0000", "   1    .9152",
                                "   2    .8400"}));
}

struct PromptCase {
    const char* parameters;
    const char* keyboard;
    const char* prompt;
    const char* parameterLine;
};

// Every prompt answered on a redirected standard input: one CR LF between prompt and trail.
TEST(Run, PromptsOfModelsSevenToTwelve) {
    const PromptCase cases[] = {
        {"7 1\n0.25 25\n0\n", "/\n", "Input D (half wave length):", "     .2500    25.00      .24"},
        {"8 1\n0.25 25\n0\n", "1.5 2\n", "Input C (SLOPE) AND W (POWER):", "     .2500    25.00     1.50     2.00"},
        {"9 2\n0.25 25\n0\n", "3,2 /\n", "INPUT ALFA, BETA & WEIGHT FOR GAMMA-BASED MODELS:",
         "     .2500    25.00     3.00     2.00     1.00"},
        {"12 2\n0.25 25\n0\n", "/\n", "INPUT ALFA & BETA FOR TESTING GAMMA DISTRIBUTION:",
         "   25.0000     2.00     1.00"},
    };
    for (const PromptCase& c : cases) {
        const RunInFresh run = runWithParameters(c.parameters, c.keyboard);
        EXPECT_EQ(run.result.status, 0) << c.prompt;
        EXPECT_EQ(run.result.out, std::string(c.prompt) + "\r\n" + stopTrail);
        EXPECT_EQ(run.result.err, "");
        const std::size_t third = run.report.find("\r\n", run.report.find("\r\n") + 2) + 2;
        EXPECT_EQ(run.report.substr(third, run.report.find("\r\n", third) - third), c.parameterLine) << c.prompt;
    }
}

TEST(Run, CrossModelSevenLabelTakesTwoLines) {
    const RunInFresh run = runWithParameters("7 2\n0.25 25\n0\n", "0.5\n");
    EXPECT_EQ(run.report,
              crlf({" Cross-Transiogram model (1-12). Need to tune.",
                    " 7-Dampened hole effect (cos exp):                 \tsill, range, half wave lengt",
                    " h", "     .2500    25.00      .50", "  h REDUZ-Model", "   0    .0000"}));
}

TEST(Run, WrongInput) {
    struct Case {
        const char* parameters;
        const char* keyboard;
        std::string report;
    };
    const Case cases[] = {
        {"3 3\n0.25 25\n2\n", "", crlf({" WRONG INPUT", " WRONG INPUT", "  h REDUZ-Model"}) + rows(2, "    .0000")},
        {"3\n\n\n/\n/\n/\n", "", crlf({" WRONG INPUT", " WRONG INPUT", "  h REDUZ-Model"}) + rows(100, "    .0000")},
        {"9 1\n0.25 25\n1\n", "/\n",
         crlf({" Auto-Transiogram model (1-8). Need to tune.", " WRONG INPUT", "  h REDUZ-Model"}) +
             rows(1, "    .0000")},
        {"13 2\n0.25 25\n0\n", "",
         crlf({" Cross-Transiogram model (1-12). Need to tune.", " WRONG INPUT", "  h REDUZ-Model"}) +
             rows(0, "    .0000")},
    };
    for (const Case& c : cases) {
        const RunInFresh run = runWithParameters(c.parameters, c.keyboard);
        EXPECT_EQ(run.result.status, 0) << c.parameters;
        EXPECT_EQ(run.report, c.report) << c.parameters;
    }
}

TEST(Run, NegativeMaxLagEndsWithTheHeading) {
    const RunInFresh run = runWithParameters("5 2\n0.25 /\n-1\n");
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.report, crlf({" Cross-Transiogram model (1-12). Need to tune.",
                                " 5-Nugget for proportion line: sill", "     .2500", "  h REDUZ-Model"}));
}

TEST(Run, LargestLagAndOneBeyond) {
    const RunInFresh full = runWithParameters("5 1\n0.25 25\n1000\n");
    EXPECT_EQ(full.result.status, 0);
    EXPECT_NE(full.report.find("\r\n 999    .2500\r\n ***    .2500\r\n"), std::string::npos);
    EXPECT_EQ(full.report.size(), full.report.rfind("***") + 14);

    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "5 1\n0.25 25\n1001\n");
    writeFile(dir.file("ReduzModel.txt"), "older report\r\n");
    const RunResult beyond = runBinary(dir.path);
    EXPECT_EQ(beyond.status, 1);
    EXPECT_EQ(beyond.out, "");
    EXPECT_EQ(beyond.err,
              "\r\nrun-time error F6100: READ(PARAMETER.TXT)\r\n"
              "- maxLag above 1000, the largest lag the table holds: 1001 in line 3 of PARAMETER.TXT\r\n");
    EXPECT_EQ(readFile(dir.file("ReduzModel.txt")), "older report\r\n");
}

TEST(Run, MissingParameterFileIsCreatedEmpty) {
    ScratchDir dir;
    const RunResult run = runBinary(dir.path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "\r\nrun-time error F6501: READ(PARAMETER.TXT)\r\n"
                       "- end of file encountered: 'model' has no value (PARAMETER.TXT is empty)\r\n");
    EXPECT_TRUE(fileExists(dir.file("PARAMETER.TXT")));
    EXPECT_EQ(readFile(dir.file("PARAMETER.TXT")), "");
    EXPECT_FALSE(fileExists(dir.file("ReduzModel.txt")));
}

TEST(Run, EndOfKeyboardInputAfterThePrompt) {
    const RunInFresh run = runWithParameters("8 2\n0.25 25\n5\n", "");
    EXPECT_EQ(run.result.status, 1);
    EXPECT_EQ(run.result.out, "Input C (SLOPE) AND W (POWER):\r\n");
    EXPECT_EQ(run.result.err,
              "\r\nrun-time error F6501: READ(CON)\r\n- end of file encountered: 'C' has no value (no answer was given)\r\n");
    EXPECT_FALSE(run.reportWritten);
}

TEST(Run, ArgumentsAreIgnored) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "1 1\n0.25 25\n100\n");
    const RunResult run = runBinary(dir.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, stopTrail);
}

TEST(ReportFile, OlderLongerReportIsReplacedExactly) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "5 1\n0.25 25\n0\n");
    writeFile(dir.file("ReduzModel.txt"), std::string(5000, 'x'));
    const RunResult run = runBinary(dir.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readFile(dir.file("ReduzModel.txt")),
              crlf({" Auto-Transiogram model (1-8). Need to tune.", " 5-Nugget for proportion line: sill",
                    "     .2500", "  h REDUZ-Model", "   0    .2500"}));
}

// The denials are real: the file modes hold for an ordinary user, and a run started by root
// drops to "nobody" first.
TEST(ReportFile, ReadOnlyOlderReportIsKeptAndTheRunFails) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "3 1\n0.25 25\n5\n");
    writeFile(dir.file("ReduzModel.txt"), "old bytes\r\n");
    ASSERT_EQ(::chmod(dir.file("ReduzModel.txt").c_str(), 0444), 0);
    const RunResult run = runBinary(dir.path, asNobody());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "\r\nrun-time error F6421: WRITE(ReduzModel.txt)\r\n"
                       "- write not allowed: file open for reading only or access denied\r\n");
    EXPECT_EQ(readFile(dir.file("ReduzModel.txt")), "old bytes\r\n");
}

TEST(ReportFile, UnwritableDirectoryFailsTheOpen) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "3 1\n0.25 25\n5\n");
    ASSERT_EQ(::chmod(dir.path.c_str(), 0555), 0);
    const RunResult run = runBinary(dir.path, asNobody());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "\r\nrun-time error F6414: OPEN(ReduzModel.txt)\r\n- access denied\r\n");
    EXPECT_FALSE(fileExists(dir.file("ReduzModel.txt")));
}

TEST(ReportFile, FullDiskFailsTheBufferWrite) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "3 1\n0.25 25\n5\n");
    ASSERT_EQ(::symlink("/dev/full", dir.file("ReduzModel.txt").c_str()), 0);
    const RunResult run = runBinary(dir.path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Output transiogram model\r\n");
    EXPECT_EQ(run.err, "\r\nrun-time error F6422: WRITE(ReduzModel.txt)\r\n- no space left on device\r\n");
}

}  // namespace
}  // namespace reduz::testing

namespace reduz::testing {
namespace {

// Writes to a console that has gone away are ignored; the run still ends with its own status.
TEST(Run, ClosedOutputsDoNotChangeTheExitStatus) {
    struct Case {
        const char* parameters;
        int status;
    };
    const Case cases[] = {{"3 1\n0.25 25\n100\n", 0}, {"3 1\n0.25 25\n", 1}};
    for (const Case& c : cases) {
        ScratchDir dir;
        writeFile(dir.file("PARAMETER.TXT"), c.parameters);
        RunOptions options;
        options.outputsClosed = true;
        EXPECT_EQ(runBinary(dir.path, options).status, c.status) << c.parameters;
    }
}

}  // namespace
}  // namespace reduz::testing

namespace reduz::testing {
namespace {

// The second line of a read failure: the value's text, cut when long, and its place.
TEST(Run, ReadFailuresSayWhere) {
    struct Case {
        const char* parameters;
        const char* keyboard;
        const char* unit;
        const char* secondLine;
    };
    const Case cases[] = {
        {"3 1\n0.25 12345678901234567890123x\n5\n", "", "F6103: READ(PARAMETER.TXT)",
         "invalid real '12345678901234567...' in line 2 of PARAMETER.TXT"},
        {"3 1\n0.2\x01" "5 25\n5\n", "", "F6103: READ(PARAMETER.TXT)", "invalid real '0.2?5' in line 2 of PARAMETER.TXT"},
        {"3 1\n\n\n'0.25' 25\n5\n", "", "F6504: READ(PARAMETER.TXT)",
         "quoted string or parenthesised pair for a numeric item in line 4 of PARAMETER.TXT"},
        {"3 1\n0*5\n", "", "F6502: READ(PARAMETER.TXT)", "repeat count of zero or below '0*' in line 2 of PARAMETER.TXT"},
        {"3 16#3#2\n", "", "F6302: READ(PARAMETER.TXT)", "invalid based integer: second '#' '16#3#2' in line 1 of PARAMETER.TXT"},
        {"9 2\n0.25 25\n5\n", "2\n\n1 abc\n", "F6103: READ(CON)", "invalid real 'abc' in answer line 3"},
        {"9 2\n0.25 25\n5\n", "2 1\n", "F6501: READ(CON)", "end of file encountered: 'W' has no value (the answer ended after 1 line)"},
        {"9 2\n0.25 25\n5\n", "", "F6501: READ(CON)", "end of file encountered: 'ALFA' has no value (no answer was given)"},
        {"3 1\n0.25 25\n", "", "F6501: READ(PARAMETER.TXT)",
         "end of file encountered: 'maxLag' has no value (PARAMETER.TXT has 2 lines)"},
    };
    for (const Case& c : cases) {
        const RunInFresh run = runWithParameters(c.parameters, c.keyboard);
        EXPECT_EQ(run.result.status, 1) << c.parameters;
        EXPECT_EQ(run.result.err, "\r\nrun-time error " + std::string(c.unit) + "\r\n- " + c.secondLine + "\r\n");
    }
}

TEST(Run, ReadErrorSaysWhere) {
    ScratchDir dir;
    ASSERT_EQ(::mkdir(dir.file("PARAMETER.TXT").c_str(), 0755), 0);
    const RunResult run = runBinary(dir.path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "\r\nrun-time error F6500: READ(PARAMETER.TXT)\r\n"
                       "- read error reported by the system in line 1 of PARAMETER.TXT\r\n");
}

}  // namespace
}  // namespace reduz::testing
