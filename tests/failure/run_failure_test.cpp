#include "failure/run_failure.hpp"

#include <gtest/gtest.h>

namespace reduz {
namespace {

struct ReportCase {
    RunFailure failure;
    const char* expected;
};

TEST(FailureReport, LayoutForEveryStatementKind) {
    const ReportCase cases[] = {
        {ioFailure(6501, StatementKind::Read, "PARAMETER.TXT"),
         "\r\nrun-time error F6501: READ(PARAMETER.TXT)\r\n- end of file encountered\r\n"},
        {ioFailure(6501, StatementKind::Read, "CON"),
         "\r\nrun-time error F6501: READ(CON)\r\n- end of file encountered\r\n"},
        {ioFailure(6421, StatementKind::Write, "ReduzModel.txt"),
         "\r\nrun-time error F6421: WRITE(ReduzModel.txt)\r\n"
         "- write not allowed: file open for reading only or access denied\r\n"},
        {ioFailure(6416, StatementKind::Open, "ReduzModel.txt"),
         "\r\nrun-time error F6416: OPEN(ReduzModel.txt)\r\n- file not found\r\n"},
        {RunFailure{'F', 6422, StatementKind::Close, "ReduzModel.txt", ""},
         "\r\nrun-time error F6422: CLOSE(ReduzModel.txt)\r\n\r\n"},
        {numericFailure(6101, "floating-point error: invalid"),
         "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        {numericFailure(6202, "**: SING error"), "\r\nrun-time error M6202: MATH\r\n- **: SING error\r\n"},
    };
    for (const ReportCase& c : cases) EXPECT_EQ(failureReport(c.failure), c.expected);
}

TEST(FailureReport, EveryInputOutputNumberHasItsOwnOneLineMessage) {
    const int numbers[] = {6100, 6101, 6102, 6103, 6206, 6207, 6302, 6303, 6407, 6412, 6414,
                           6415, 6416, 6417, 6421, 6422, 6500, 6501, 6502, 6503, 6504};
    for (int number : numbers) {
        const std::string message = ioFailureMessage(number);
        EXPECT_NE(message, ioFailureMessage(0)) << number;
        EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << number;
    }
}

TEST(FailureReport, FailRunCarriesTheFailure) {
    try {
        failRun(ioFailure(6100, StatementKind::Read, "PARAMETER.TXT"));
        FAIL() << "failRun returned";
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.letter, 'F');
        EXPECT_EQ(failure.number, 6100);
        EXPECT_EQ(failure.unitText, "PARAMETER.TXT");
    }
}

}  // namespace
}  // namespace reduz
