#pragma once
// The one way a run fails: build a RunFailure and hand it to failRun.
//
//   failRun(ioFailure(6501, StatementKind::Read, "PARAMETER.TXT"));
//   -> standard error: "\r\nrun-time error F6501: READ(PARAMETER.TXT)\r\n- end of file encountered\r\n"
//   numericFailure(6101, "floating-point error: invalid")
//   -> "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"

#include <string>
#include <string_view>

namespace reduz {

enum class StatementKind { Read, Write, Open, Close, Math };

struct RunFailure {
    char letter = 'F';  // 'M' exactly when statement is Math
    int number = 0;     // four decimal digits
    StatementKind statement = StatementKind::Read;
    std::string unitText;  // connection name, "CON" for the console; empty for Math
    std::string message;   // one line, no line end
};

// An input/output failure with the program's own message for its number.
RunFailure ioFailure(int number, StatementKind statement, std::string_view unitText);
// A numeric failure (letter M, statement MATH).
RunFailure numericFailure(int number, std::string_view message);

// The message of an input/output failure number: ioFailureMessage(6501) -> "end of file encountered".
std::string ioFailureMessage(int number);

// The exact bytes of the report written to standard error.
std::string failureReport(const RunFailure& failure);

// Ends the run with this failure: never returns. The failure travels as an exception to the
// run's entry (runProgram), which writes the report and ends the run with status 1.
[[noreturn]] void failRun(RunFailure failure);

}  // namespace reduz
