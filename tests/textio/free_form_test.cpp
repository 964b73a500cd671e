#include "textio/free_form.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

#include "failure/run_failure.hpp"
#include "support/scratch.hpp"
#include "textio/console.hpp"
#include "textio/record_writer.hpp"
#include "textio/text_source.hpp"

namespace reduz {
namespace {

using testing::ScratchDir;
using testing::fileExists;
using testing::readFile;
using testing::writeFile;

// What the parameter file's three statements leave, as the program reads them.
struct Intake {
    std::int32_t model = 0;
    std::int32_t kind = 0;
    double sill = 0.0;
    double range = 0.0;
    std::int32_t maxLag = 0;
    int failure = 0;
};

bool operator==(const Intake& a, const Intake& b) {
    return a.model == b.model && a.kind == b.kind && a.sill == b.sill && a.range == b.range &&
           a.maxLag == b.maxLag && a.failure == b.failure;
}

std::ostream& operator<<(std::ostream& out, const Intake& i) {
    return out << "{model " << i.model << ", kind " << i.kind << ", sill " << i.sill << ", range " << i.range
               << ", maxLag " << i.maxLag << ", failure " << i.failure << "}";
}

Intake readParameters(std::string_view bytes) {
    ScratchDir dir;
    const std::string path = dir.file("PARAMETER.TXT");
    writeFile(path, bytes);
    Intake got;
    try {
        TextSource& source = openTextFile(path);
        readFreeForm(source, {&got.model, &got.kind});
        got.sill = 0.25;
        got.range = 25.0;
        got.maxLag = 100;
        readFreeForm(source, {&got.sill, &got.range});
        readFreeForm(source, {&got.maxLag});
        closeTextFile(source);
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.unitText, path);
        EXPECT_EQ(failure.statement, StatementKind::Read);
        got.failure = failure.number;
        closeTextFileQuietly();
    }
    EXPECT_EQ(readFile(path), bytes) << "the parameter file is only read";
    return got;
}

const std::string zeros300(300, '0');
const std::string blanks5000(5000, ' ');

struct FileCase {
    std::string bytes;
    Intake expected;
};

TEST(FreeFormFile, ParameterRecords) {
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    const std::vector<FileCase> cases = {
        // null values, commas and slashes keep the defaults
        {"3 1\n/\n7\n", {3, 1, 0.25, 25.0, 7, 0}},
        {"3 1\n,,\n7\n", {3, 1, 0.25, 25.0, 7, 0}},
        {"3 1\n,\n30\n7\n", {3, 1, 0.25, 30.0, 7, 0}},
        {"3 1\n,\n30\n", {3, 1, 0.25, 30.0, 100, 6501}},
        {"3 1\n, 30\n7\n", {3, 1, 0.25, 30.0, 7, 0}},
        {"3 1\n,0.3\n7\n", {3, 1, 0.25, 0.3, 7, 0}},
        {"3 1\n0.3 ,\n30\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3 1\n0.3 , , 30\n7\n", {3, 1, 0.3, 25.0, 7, 0}},
        {"3 1\n0.3,,\n7\n", {3, 1, 0.3, 25.0, 7, 0}},
        {"3 1\n0.3\n,5\n7\n", {3, 1, 0.3, 5.0, 7, 0}},
        {"3, ,1\n0.3 30\n7\n", {3, 0, 0.3, 30.0, 7, 0}},
        {"3/\n0.3 30\n7\n", {3, 0, 0.3, 30.0, 7, 0}},
        {"3 1 / 9\n0.3 30\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3 1\n0.3 30\n,\n", {3, 1, 0.3, 30.0, 100, 0}},
        {"3 1\n0.3 30\n/\n", {3, 1, 0.3, 30.0, 100, 0}},
        // values beyond a statement's needs, statements over several records
        {"3 1\n0.3 30 junk\n7 8\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3 1\n0.3\n30\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3\n\n1\n0.3\n\n30\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3 1\n\n0.3 30\n \t \n\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3\t1\n\t0.3\t30\t\n 7 \n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3,1\n0.3,30\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
        // repeat counts
        {"3 1\n2*0.5\n7\n", {3, 1, 0.5, 0.5, 7, 0}},
        {"2*4\n0.3 30\n3*7\n", {4, 4, 0.3, 30.0, 7, 0}},
        {"1* 5\n0.3 30\n7\n", {0, 5, 0.3, 30.0, 7, 0}},
        {"3 1\n2*,\n7\n", {3, 1, 0.25, 25.0, 7, 0}},
        {"3 1\n1*/\n7\n", {3, 1, 0.25, 25.0, 7, 0}},
        {"2*\n0.3 30\n7\n", {0, 0, 0.3, 30.0, 7, 0}},  // the record after the nulls is not passed over
        {"3 1\n2*\n7\n", {3, 1, 0.25, 25.0, 7, 0}},
        {"0*5 1\n", {0, 0, 0.0, 0.0, 0, 6502}},
        {"*5 1\n", {0, 0, 0.0, 0.0, 0, 6502}},
        {"-1*5 1\n", {0, 0, 0.0, 0.0, 0, 6502}},
        {"2*3*4\n", {0, 0, 0.0, 0.0, 0, 6503}},
        {"2147483648*4\n", {0, 0, 0.0, 0.0, 0, 6100}},
        {"2.*4\n", {0, 0, 0.0, 0.0, 0, 6101}},
        // integers
        {"3 1\n0.3 30\n16#32\n", {3, 1, 0.3, 30.0, 50, 0}},
        {"3 1\n0.3 30\n+\n", {3, 1, 0.3, 30.0, 0, 0}},
        {"3 1\n0.3 30\n\x1a\n", {3, 1, 0.3, 30.0, 0, 0}},
        {"3 1\n0.3 30\n50.\n", {3, 1, 0.3, 30.0, 100, 6101}},
        {"3 1\n0.3 30\n5E1\n", {3, 1, 0.3, 30.0, 100, 6101}},
        {"2147483647 1\n0.3 30\n7\n", {2147483647, 1, 0.3, 30.0, 7, 0}},
        {"2147483648 1\n0.3 30\n7\n", {0, 0, 0.0, 0.0, 0, 6100}},
        {"-2147483648 1\n0.3 30\n7\n", {lowest, 1, 0.3, 30.0, 7, 0}},
        // reals
        {"3 1\n1D-2,2.5+1\n7\n", {3, 1, 0.01, 25.0, 7, 0}},
        {"3 1\n1E400 5\n7\n", {3, 1, 0.25, 25.0, 100, 6102}},
        {"3 1\n1E-400 5\n7\n", {3, 1, 0.0, 5.0, 7, 0}},
        {"3 1\n0.25abc 5\n7\n", {3, 1, 0.25, 25.0, 100, 6103}},
        {"3 1\n0.3 30+\n7\n", {3, 1, 0.3, 25.0, 100, 6103}},
        {"3 1\n0.3'x' 5\n7\n", {3, 1, 0.25, 25.0, 100, 6103}},
        {"3 1\n0.3 \x1a\n7\n", {3, 1, 0.3, 25.0, 100, 6103}},
        // quoted strings and parenthesised pairs
        {"3 1\n'0.3' 30\n7\n", {3, 1, 0.25, 25.0, 100, 6504}},
        {"3 1\n0.3 \"30\"\n7\n", {3, 1, 0.3, 25.0, 100, 6504}},
        {"3 1\n'it''s\n0.3' 30\n7\n", {3, 1, 0.25, 25.0, 100, 6504}},
        {"3 1\n(0.3,\n 30) 5\n7\n", {3, 1, 0.25, 25.0, 100, 6504}},
        {"3 1\n2*'x'\n7\n", {3, 1, 0.25, 25.0, 100, 6504}},
        {"3 1\n'unclosed\n7\n", {3, 1, 0.25, 25.0, 100, 6501}},
        {"3 1\n(0.3\n", {3, 1, 0.25, 25.0, 100, 6501}},
        // line ends
        {"3 1\r\n0.3 30\r\n7\r\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3 1\n0.3 30\n7", {3, 1, 0.3, 30.0, 7, 0}},
        {"3 1", {3, 1, 0.25, 25.0, 100, 6501}},
        {"3 1\r0.3 30\r7\r", {3, 1, 0.25, 25.0, 100, 6501}},
        {"3 1\r 9 9\n0.3 30\r 9\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3\r\n1\r\n0.3\r\n30\r\n7", {3, 1, 0.3, 30.0, 7, 0}},
        {"", {0, 0, 0.0, 0.0, 0, 6501}},
        {"\n \n\t\n", {0, 0, 0.0, 0.0, 0, 6501}},
        // long values and records
        {"3 1\n" + zeros300 + "5 " + zeros300 + "2.5\n" + zeros300 + "7\n", {3, 1, 5.0, 2.5, 7, 0}},
        {"3 1\n" + blanks5000 + "0.3" + blanks5000 + "30" + blanks5000 + "\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
        {"3 1\n" + blanks5000 + "\n" + blanks5000 + "0.3\n30\n7\n", {3, 1, 0.3, 30.0, 7, 0}},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE("records \"" + c.bytes.substr(0, 60) + "\"");
        EXPECT_EQ(readParameters(c.bytes), c.expected);
    }
}

TEST(FreeFormFile, MissingFileIsCreatedEmptyAndEndsAtTheFirstRead) {
    ScratchDir dir;
    const std::string path = dir.file("PARAMETER.TXT");
    std::int32_t model = 0, kind = 0;
    try {
        readFreeForm(openTextFile(path), {&model, &kind});
        ADD_FAILURE() << "the read of an empty file succeeded";
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.number, 6501);
        EXPECT_EQ(failure.statement, StatementKind::Read);
    }
    closeTextFileQuietly();
    ASSERT_TRUE(fileExists(path));
    EXPECT_EQ(readFile(path), "");
}

TEST(FreeFormFile, OpenAndReadFailures) {
    ScratchDir dir;
    std::int32_t model = 0;
    struct Case {
        std::string name;
        int failure;
        StatementKind statement;
    };
    const std::vector<Case> cases = {
        {dir.path, 6500, StatementKind::Read},  // a directory opens, but cannot be read
        {dir.file("missing/PARAMETER.TXT"), 6416, StatementKind::Open},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            readFreeForm(openTextFile(c.name), {&model});
            ADD_FAILURE() << "no failure";
        } catch (const RunFailure& failure) {
            EXPECT_EQ(failure.number, c.failure);
            EXPECT_EQ(failure.statement, c.statement);
            EXPECT_EQ(failure.unitText, c.name);
        }
        closeTextFileQuietly();
    }
}

// The keyboard redirected from a pipe, with standard output redirected too.
class FreeFormKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::pipe(output), 0);
        ::fcntl(output[0], F_SETFL, O_NONBLOCK);
        runStreams().output = output[1];
        resetRecordWriters();
        setLineEndPending(true);  // the prompt's line end
    }
    void TearDown() override {
        runStreams() = RunStreams{};
        resetRecordWriters();
        resetKeyboardSource();
        ::close(output[0]);
        ::close(output[1]);
    }
    void feed(std::string_view bytes) {
        int input[2];
        ASSERT_EQ(::pipe(input), 0);
        ASSERT_EQ(::write(input[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(input[1]);
        if (runStreams().input != 0) ::close(runStreams().input);
        runStreams().input = input[0];
        resetKeyboardSource();
    }
    std::string written() {
        char bytes[64];
        const ssize_t got = ::read(output[0], bytes, sizeof bytes);
        return got > 0 ? std::string(bytes, static_cast<std::size_t>(got)) : std::string();
    }
    int output[2] = {-1, -1};
};

struct KeyboardCase {
    std::string input;
    double C;
    double W;
    int failure;
};

TEST_F(FreeFormKeyboard, AnswersForSlopeAndPower) {
    const std::vector<KeyboardCase> cases = {
        {"1.5 2\n", 1.5, 2.0, 0},
        {"1.5 2\r\n", 1.5, 2.0, 0},
        {"1.5\n2\n", 1.5, 2.0, 0},
        {"\n1.5 2\n", 1.5, 2.0, 0},
        {"\n \n\n1.5\n\n2\n", 1.5, 2.0, 0},
        {"/\n", 1.0, 1.0, 0},
        {",,\n", 1.0, 1.0, 0},
        {", 3\n", 1.0, 3.0, 0},
        {"1.5 /\n", 1.5, 1.0, 0},
        {"2*0.5\n", 0.5, 0.5, 0},
        {"1.5 2 junk\n", 1.5, 2.0, 0},
        {"1.5 2", 1.5, 2.0, 0},
        {std::string(200, ' ') + "1.5 2\n", 1.5, 2.0, 0},  // no length limit when redirected
        {"", 1.0, 1.0, 6501},
        {"\n\n", 1.0, 1.0, 6501},
        {"1.5\n", 1.5, 1.0, 6501},
        {"\x1a\n", 1.0, 1.0, 6501},
        {"1.5 2\x1a\n", 1.0, 1.0, 6501},  // the text before the Ctrl-Z is not used
        {"1.5\n2\x1a\r\n", 1.5, 1.0, 6501},
        {"1.5 2\x1a", 1.0, 1.0, 6501},
        {"1\x1a" "5 2\n", 1.0, 1.0, 6103},  // inside a line Ctrl-Z is an ordinary character
        {"'1.5' 2\n", 1.0, 1.0, 6504},
    };
    for (const KeyboardCase& c : cases) {
        SCOPED_TRACE("keyboard \"" + c.input.substr(0, 40) + "\"");
        feed(c.input);
        double C = 1.0, W = 1.0;
        int failure = 0;
        try {
            readFreeForm(keyboardSource(), {&C, &W});
        } catch (const RunFailure& f) {
            failure = f.number;
            EXPECT_EQ(f.unitText, "CON");
            EXPECT_EQ(f.statement, StatementKind::Read);
        }
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(C, c.C);
        EXPECT_EQ(W, c.W);
        // Redirected: the prompt's line end is left to the next console record.
        EXPECT_TRUE(lineEndPending());
        EXPECT_EQ(written(), "");
    }
}

TEST_F(FreeFormKeyboard, NextReadStartsOnTheNextLine) {
    feed("1.5 2 junk\n3\n4 5\n");
    double a = 0, b = 0, c = 0;
    readFreeForm(keyboardSource(), {&a, &b});
    readFreeForm(keyboardSource(), {&c});
    EXPECT_EQ(std::vector<double>({a, b, c}), std::vector<double>({1.5, 2.0, 3.0}));
}

}  // namespace
}  // namespace reduz
