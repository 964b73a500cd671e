#include "failure/run_failure.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

namespace reduz {
namespace {

struct ReportCase {
    RunFailure failure;
    const char* expected;
};

TEST(FailureReport, LayoutForEveryStatementKind) {
    const ReportCase cases[] = {
        {ioFailure(IoFailure::EndOfFile, StatementKind::Read, "PARAMETER.TXT"),
         "\r\nrun-time error F6501: READ(PARAMETER.TXT)\r\n- end of file encountered\r\n"},
        {ioFailure(IoFailure::EndOfFile, StatementKind::Read, "CON"),
         "\r\nrun-time error F6501: READ(CON)\r\n- end of file encountered\r\n"},
        {ioFailure(IoFailure::WriteNotAllowed, StatementKind::Write, "ReduzModel.txt"),
         "\r\nrun-time error F6421: WRITE(ReduzModel.txt)\r\n"
         "- write not allowed: file open for reading only or access denied\r\n"},
        {ioFailure(IoFailure::FileNotFound, StatementKind::Open, "ReduzModel.txt"),
         "\r\nrun-time error F6416: OPEN(ReduzModel.txt)\r\n- file not found\r\n"},
        {RunFailure{6422, StatementKind::Write, "ReduzModel.txt", ""},
         "\r\nrun-time error F6422: WRITE(ReduzModel.txt)\r\n\r\n"},
        {arithmeticFailure(ArithmeticEvent::Invalid),
         "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        {mathFunctionFailure("**", MathErrorType::Sing), "\r\nrun-time error M6202: MATH\r\n- **: SING error\r\n"},
    };
    for (const ReportCase& c : cases) EXPECT_EQ(failureReport(c.failure), c.expected);
}

TEST(FailureReport, EveryInputOutputFailureHasItsOwnOneLineMessage) {
    std::set<std::string_view> messages;
    for (int i = 0; i <= static_cast<int>(IoFailure::QuotedForNumeric); ++i) {
        const auto failure = static_cast<IoFailure>(i);
        const std::string_view message = ioFailureMessage(failure);
        EXPECT_TRUE(messages.insert(message).second) << message;
        EXPECT_FALSE(message.empty()) << i;
        EXPECT_EQ(message.find_first_of("\r\n"), std::string_view::npos) << message;
        EXPECT_GE(ioFailureNumber(failure), 6000) << message;
        EXPECT_LE(ioFailureNumber(failure), 6999) << message;
    }
}

TEST(FailureReport, FailRunCarriesTheFailure) {
    try {
        failRun(ioFailure(IoFailure::IntegerOverflow, StatementKind::Read, "PARAMETER.TXT"));
        FAIL() << "failRun returned";
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.letter(), 'F');
        EXPECT_EQ(failure.number, 6100);
        EXPECT_EQ(failure.unitText, "PARAMETER.TXT");
    }
}

}  // namespace
}  // namespace reduz
