#pragma once
// The one way a run fails: build a RunFailure and hand it to failRun.
//
//   failRun(ioFailure(IoFailure::EndOfFile, StatementKind::Read, "PARAMETER.TXT"));
//   -> standard error: "\r\nrun-time error F6501: READ(PARAMETER.TXT)\r\n- end of file encountered\r\n"
//   arithmeticFailure(ArithmeticEvent::Invalid)
//   -> "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"
//   mathFunctionFailure("**", MathErrorType::Sing)
//   -> "\r\nrun-time error M6202: MATH\r\n- **: SING error\r\n"

#include <string>
#include <string_view>

namespace reduz {

enum class StatementKind { Read, Write, Open, Math };

// Failures of input and output (letter F). Their numbers and messages stand in one table in
// run_failure.cpp; numbers may repeat with another message (F6100 for maxLag).
enum class IoFailure {
    IntegerOverflow,      // 6100 a whole number or repeat count out of range
    MaxLagBeyondTable,    // 6100 maxLag above the largest lag the table holds
    InvalidInteger,       // 6101 a character that cannot belong to a whole number
    RealTooLarge,         // 6102 a real beyond the largest double
    InvalidReal,          // 6103 a real that is not one complete number
    RealUnderInteger,     // 6206 a real value for an I field
    IntegerUnderReal,     // 6207 a whole number for an F field
    SecondHash,           // 6302 a second '#' in a based number
    InvalidBase,          // 6303 a base outside 2 to 36
    LineTooLong,          // 6407 a typed line over 130 characters
    OpenRefused,          // 6412 an open refused for another reason
    AccessDenied,         // 6414 an open refused for permission
    FileExists,           // 6415 the file appeared during its creation
    FileNotFound,         // 6416 no such file or directory
    TooManyOpenFiles,     // 6417 the limit on open files
    WriteNotAllowed,      // 6421 a report file that may not be written
    NoSpace,              // 6422 the disk is full
    FileTooLarge,         // 6423 the limit on a file's size is reached
    WriteError,           // 6424 writing refused by the system for another reason
    ReadError,            // 6500 reading refused by the system
    EndOfFile,            // 6501 the input ended before the statement had its values
    RepeatCountBelowOne,  // 6502 a repeat count of zero or below
    SecondRepeatCount,    // 6503 a second repeat count in one value
    QuotedForNumeric,     // 6504 a quoted string or parenthesised pair for a number
};

// Events of the formulas' own arithmetic (letter M, "floating-point error: ...").
enum class ArithmeticEvent { Invalid, DivideByZero, Overflow };

// Failures of the mathematical functions (letter M, "<label>: <TYPE> error").
enum class MathErrorType { Domain, Sing, Overflow, Tloss };

struct RunFailure {
    int number = 0;  // four decimal digits
    StatementKind statement = StatementKind::Read;
    std::string unitText;  // connection name, "CON" for the console; empty for Math
    std::string message;   // one line, no line end

    // 'M' for a numeric failure, 'F' for every other.
    char letter() const { return statement == StatementKind::Math ? 'M' : 'F'; }
};

// The detail, when given, follows the failure's own message and says where:
//   ioFailure(IoFailure::InvalidReal, StatementKind::Read, "PARAMETER.TXT", " '0.25abc' in line 2 of PARAMETER.TXT")
//   -> "- invalid real '0.25abc' in line 2 of PARAMETER.TXT"
RunFailure ioFailure(IoFailure failure, StatementKind statement, std::string_view unitText,
                     std::string_view detail = {});
RunFailure arithmeticFailure(ArithmeticEvent event);
RunFailure mathFunctionFailure(std::string_view label, MathErrorType type);

// The number and message of an input/output failure: ioFailureNumber(IoFailure::EndOfFile) -> 6501,
// ioFailureMessage(IoFailure::EndOfFile) -> "end of file encountered".
int ioFailureNumber(IoFailure failure);
std::string_view ioFailureMessage(IoFailure failure);

// The exact bytes of the report written to standard error.
std::string failureReport(const RunFailure& failure);

// The report of a failed allocation, written as it stands, without allocating:
// "\r\nrun-time error F6700: MEMORY\r\n- insufficient memory\r\n".
std::string_view outOfMemoryReport();

// Ends the run with this failure: never returns. The failure travels as an exception to the
// run's entry (runProgram), which writes the report and ends the run with status 1.
[[noreturn]] void failRun(RunFailure failure);

}  // namespace reduz
