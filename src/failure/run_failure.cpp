#include "failure/run_failure.hpp"

#include <cstdio>

namespace reduz {

std::string ioFailureMessage(int number) {
    switch (number) {
        case 6100: return "integer overflow";
        case 6101: return "invalid integer";
        case 6102: return "invalid number: value too large";
        case 6103: return "invalid real";
        case 6206: return "real value for integer field descriptor";
        case 6207: return "integer value for real field descriptor";
        case 6302: return "invalid based integer: second '#'";
        case 6303: return "invalid base: must be 2 to 36";
        case 6407: return "input line too long: more than 130 characters";
        case 6412: return "invalid file name or open refused";
        case 6414: return "access denied";
        case 6415: return "file already exists";
        case 6416: return "file not found";
        case 6417: return "too many open files";
        case 6421: return "write not allowed: file open for reading only or access denied";
        case 6422: return "no space left on device";
        case 6500: return "read error reported by the system";
        case 6501: return "end of file encountered";
        case 6502: return "repeat count of zero or below";
        case 6503: return "second repeat count in one value";
        case 6504: return "quoted string or parenthesised pair for a numeric item";
        default: return "input/output failure";
    }
}

RunFailure ioFailure(int number, StatementKind statement, std::string_view unitText) {
    return RunFailure{'F', number, statement, std::string(unitText), ioFailureMessage(number)};
}

RunFailure numericFailure(int number, std::string_view message) {
    return RunFailure{'M', number, StatementKind::Math, std::string(), std::string(message)};
}

std::string failureReport(const RunFailure& failure) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d", failure.number);
    std::string report = "\r\nrun-time error ";
    report += failure.letter;
    report += number;
    switch (failure.statement) {
        case StatementKind::Read: report += ": READ("; break;
        case StatementKind::Write: report += ": WRITE("; break;
        case StatementKind::Open: report += ": OPEN("; break;
        case StatementKind::Close: report += ": CLOSE("; break;
        case StatementKind::Math: report += ": MATH\r\n- "; break;
    }
    if (failure.statement != StatementKind::Math) {
        report += failure.unitText;
        report += failure.message.empty() ? ")\r\n" : ")\r\n- ";
    }
    report += failure.message;
    report += "\r\n";
    return report;
}

void failRun(RunFailure failure) { throw failure; }

}  // namespace reduz
