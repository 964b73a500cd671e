#include "failure/run_failure.hpp"

#include <array>
#include <cstdio>

namespace reduz {

namespace {

struct Entry {
    int number;
    std::string_view text;
};

// Every failure number of the program, with its message (or the word the message is built
// from), in the order of its enumeration.
constexpr Entry ioEntries[] = {
    {6100, "integer overflow"},
    {6100, "maxLag above 1000, the largest lag the table holds"},
    {6101, "invalid integer"},
    {6102, "invalid number: value too large"},
    {6103, "invalid real"},
    {6206, "real value for integer field descriptor"},
    {6207, "integer value for real field descriptor"},
    {6302, "invalid based integer: second '#'"},
    {6303, "invalid base: must be 2 to 36"},
    {6407, "input line too long: more than 130 characters"},
    {6412, "invalid file name or open refused"},
    {6414, "access denied"},
    {6415, "file already exists"},
    {6416, "file not found"},
    {6417, "too many open files"},
    {6421, "write not allowed: file open for reading only or access denied"},
    {6422, "no space left on device"},
    {6423, "file too large: the limit on file size is reached"},
    {6424, "write error reported by the system"},
    {6500, "read error reported by the system"},
    {6501, "end of file encountered"},
    {6502, "repeat count of zero or below"},
    {6503, "second repeat count in one value"},
    {6504, "quoted string or parenthesised pair for a numeric item"},
};
static_assert(std::size(ioEntries) == static_cast<std::size_t>(IoFailure::QuotedForNumeric) + 1);

constexpr Entry arithmeticEntries[] = {{6101, "invalid"}, {6103, "divide by zero"}, {6104, "overflow"}};
static_assert(std::size(arithmeticEntries) == static_cast<std::size_t>(ArithmeticEvent::Overflow) + 1);

constexpr Entry mathFunctionEntries[] = {{6201, "DOMAIN"}, {6202, "SING"}, {6203, "OVERFLOW"}, {6205, "TLOSS"}};
static_assert(std::size(mathFunctionEntries) == static_cast<std::size_t>(MathErrorType::Tloss) + 1);

template <class Enum, std::size_t n>
const Entry& entryOf(const Entry (&entries)[n], Enum which) {
    return entries[static_cast<std::size_t>(which)];
}

constexpr std::string_view statementText(StatementKind statement) {
    switch (statement) {
        case StatementKind::Read: return ": READ(";
        case StatementKind::Write: return ": WRITE(";
        case StatementKind::Open: return ": OPEN(";
        case StatementKind::Math: return ": MATH\r\n- ";
    }
    return {};
}

}  // namespace

int ioFailureNumber(IoFailure failure) { return entryOf(ioEntries, failure).number; }

std::string_view ioFailureMessage(IoFailure failure) { return entryOf(ioEntries, failure).text; }

RunFailure ioFailure(IoFailure failure, StatementKind statement, std::string_view unitText, std::string_view detail) {
    const Entry& entry = entryOf(ioEntries, failure);
    return RunFailure{entry.number, statement, std::string(unitText), std::string(entry.text) + std::string(detail)};
}

RunFailure arithmeticFailure(ArithmeticEvent event) {
    const Entry& entry = entryOf(arithmeticEntries, event);
    return RunFailure{entry.number, StatementKind::Math, {}, "floating-point error: " + std::string(entry.text)};
}

RunFailure mathFunctionFailure(std::string_view label, MathErrorType type) {
    const Entry& entry = entryOf(mathFunctionEntries, type);
    return RunFailure{entry.number, StatementKind::Math, {},
                      std::string(label) + ": " + std::string(entry.text) + " error"};
}

std::string failureReport(const RunFailure& failure) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d", failure.number);
    std::string report = "\r\nrun-time error ";
    report += failure.letter();
    report += number;
    report += statementText(failure.statement);
    if (failure.statement != StatementKind::Math) {
        report += failure.unitText;
        report += failure.message.empty() ? ")\r\n" : ")\r\n- ";
    }
    report += failure.message;
    report += "\r\n";
    return report;
}

std::string_view outOfMemoryReport() { return "\r\nrun-time error F6700: MEMORY\r\n- insufficient memory\r\n"; }

void failRun(RunFailure failure) { throw failure; }

}  // namespace reduz
