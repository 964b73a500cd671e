#include "textio/layout.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <unistd.h>
#include <string>
#include <vector>

#include "failure/run_failure.hpp"

namespace {

using reduz::FieldValue;

// A connected report file that keeps its records in the buffer.
reduz::RecordWriter bufferWriter() {
    reduz::RecordWriter writer;
    writer.destination = reduz::Destination::ReportFile;
    writer.unitText = "ReduzModel.txt";
    writer.open = true;
    writer.writable = true;
    writer.cutPending = false;
    return writer;
}

std::string written(const reduz::RecordWriter& writer) {
    return std::string(writer.buffer.data(), writer.buffered);
}

std::string laid(std::string_view layout, const std::vector<FieldValue>& values, int variableRepeat = 0) {
    reduz::RecordWriter writer = bufferWriter();
    reduz::writeLaidLine(writer, reduz::parseLayout(layout), values, variableRepeat);
    return written(writer);
}

struct LaidCase {
    const char* layout;
    std::vector<FieldValue> values;
    int variableRepeat;
    std::string expected;
};

const LaidCase laidCases[] = {
        // The parameter lines: one or two values, or three to six under the ^ repeat.
        {"(X,F9.4,F9.2)", {0.25}, 0, "     .2500\r\n"},
        {"(X,F9.4,F9.2)", {0.25, 25.0}, 0, "     .2500    25.00\r\n"},
        {"(X,F9.4,^F9.2)", {25.0, 0.25, 1.0}, 5, "   25.0000      .25     1.00\r\n"},
        {"(X,F9.4,^F9.2)", {25.0, 0.25, 1.0, 2.0}, 5, "   25.0000      .25     1.00     2.00\r\n"},
        {"(X,F9.4,^F9.2)", {25.0, 0.25, 1.0, 2.0, 3.0}, 5,
         "   25.0000      .25     1.00     2.00     3.00\r\n"},
        // The column heading and a table row.
        {"(X,' h ','REDUZ-Model')", {}, 0, "  h REDUZ-Model\r\n"},
        {"(X,I3,F9.4)", {7, 0.6}, 0, "   7    .6000\r\n"},
        {"(X,I3,F9.4)", {1000, 10000.0}, 0, " ************\r\n"},

        // Out of values: a field with repeats left stops at once, otherwise the literals up to
        // the next field are placed; owed blanks at the end are dropped.
        {"(X,F9.4,' end',3X,F9.2,' never')", {0.25}, 0, "     .2500 end\r\n"},
        {"(2F5.1,' never')", {1.0}, 0, "  1.0\r\n"},
        {"(X,F5.1)", {}, 0, "\r\n"},
        {"(' a',4X,F5.1)", {}, 0, " a\r\n"},

        // More values than fields: new records, the layout again from the start.
        {"(X,F9.4,F9.2)", {1.0, 2.0, 3.0}, 0, "    1.0000     2.00\r\n    3.0000\r\n"},
        {"(X,I3,F9.4)", {1, 0.5, 2, 0.25}, 0, "   1    .5000\r\n   2    .2500\r\n"},
        {"(' row',I3)", {1, 2}, 0, " row  1\r\n row  2\r\n"},
        // A ^ below 1 serves one value.
        {"(^F5.1)", {1.0, 2.0}, 0, "  1.0\r\n  2.0\r\n"},

        // Parsing: case, blanks and TABs outside literals, optional commas, nX, repeat counts,
        // both delimiters with doubled ones inside.
        {"(x,i3,f9.4)", {7, 0.6}, 0, "   7    .6000\r\n"},
        {" ( X , I 3 ,\tF 9 . 4 ) ", {7, 0.6}, 0, "   7    .6000\r\n"},
        {"(X I3 F9.4,)", {7, 0.6}, 0, "   7    .6000\r\n"},
        {"(1 2X'a')", {}, 0, std::string(12, ' ') + "a\r\n"},
        {"(2I3)", {1, 2}, 0, "  1  2\r\n"},
        {"('it''s',\" say \"\"hi\"\" \",\"'\")", {}, 0, "it's say \"hi\" '\r\n"},
        {"(' a\tb ')", {}, 0, " a\tb \r\n"},
        {"()", {}, 0, "\r\n"},
};

TEST(WriteLaidLine, Records) {
    for (const LaidCase& c : laidCases) {
        EXPECT_EQ(laid(c.layout, c.values, c.variableRepeat), c.expected) << c.layout;
    }
}

// Everything a writer to a scratch file holds after three statements, the buffer's first
// `filled` bytes taken already, so that records cross the buffer's boundary.
template <class Write>
std::string threeStatements(std::size_t filled, Write write) {
    char name[] = "/tmp/reduz-layout-XXXXXX";
    const int fd = ::mkstemp(name);
    reduz::RecordWriter writer = bufferWriter();
    writer.fd = fd;
    writer.buffer.fill('x');
    writer.buffered = filled;
    for (int i = 0; i < 3; ++i) write(writer);
    std::string bytes(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(::pread(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
    ::unlink(name);
    bytes.append(writer.buffer.data(), writer.buffered);
    return bytes;
}

// A compiled record writes what the laid-out statement writes, wherever the buffer stands;
// statements of several records fall back to it.
TEST(CompiledRecord, WritesWhatTheLaidOutStatementWrites) {
    for (const LaidCase& c : laidCases) {
        const reduz::LayoutProgram layout = reduz::parseLayout(c.layout);
        const reduz::CompiledRecord record = reduz::compileRecord(layout, c.values, c.variableRepeat);
        for (std::size_t filled : {0, 1, 1009, 1012, 1017, 1023}) {
            const std::string laidOut = threeStatements(
                filled, [&](reduz::RecordWriter& w) { reduz::writeLaidLine(w, layout, c.values, c.variableRepeat); });
            const std::string compiled =
                threeStatements(filled, [&](reduz::RecordWriter& w) { reduz::writeRecord(w, record, c.values); });
            EXPECT_EQ(compiled, laidOut) << c.layout << " after " << filled;
        }
    }
    const reduz::LayoutProgram row = reduz::parseLayout("(X,I3,F9.4)");
    EXPECT_TRUE(reduz::compileRecord(row, std::vector<FieldValue>{7, 0.6}).oneRecord);
    EXPECT_FALSE(reduz::compileRecord(row, std::vector<FieldValue>{7, 0.6, 8, 0.7}).oneRecord);
}

TEST(ParseLayout, ProgramLayoutElements) {
    const reduz::LayoutProgram program = reduz::parseLayout("(X,F9.4,^F9.2)");
    ASSERT_EQ(program.elements.size(), 3u);
    EXPECT_EQ(program.elements[0].type, reduz::ElementType::Skip);
    EXPECT_EQ(program.elements[0].repeat, 1);
    EXPECT_EQ(program.elements[1].type, reduz::ElementType::FixedReal);
    EXPECT_EQ(program.elements[1].width, 9);
    EXPECT_EQ(program.elements[1].decimals, 4);
    EXPECT_FALSE(program.elements[1].variableRepeat);
    EXPECT_EQ(program.elements[2].decimals, 2);
    EXPECT_TRUE(program.elements[2].variableRepeat);
}

TEST(ParseLayout, MalformedRefused) {
    const char* malformed[] = {
        "",        "X",       "(X",       "(X,F9.4",   "(F9)",     "(F9.)",   "(F.2)",
        "(F0.2)",  "(I0)",    "(0X)",     "(0F9.2)",   "(^X)",     "(2'a')",  "('abc)",
        "(X,(F9.2))",         "(Q)",      "(X,,F9.2)", "(X) F9.2", "(99999X)", "(F9.99999)",
        "(I3.2)",
    };
    for (const char* layout : malformed) {
        EXPECT_DEATH(reduz::parseLayout(layout), "malformed layout string") << layout;
    }
}

TEST(WriteLaidLine, ValuesWithoutFieldsRefused) {
    reduz::RecordWriter writer = bufferWriter();
    const std::vector<FieldValue> values{1.0};
    EXPECT_DEATH(reduz::writeLaidLine(writer, reduz::parseLayout("('a')"), values), "layout without fields");
}

TEST(WriteLaidLine, ValueOfTheWrongKindFails) {
    struct KindCase {
        const char* layout;
        FieldValue value;
        int number;
    };
    const KindCase cases[] = {
        {"(X,I3)", 0.5, 6206},
        {"(X,F9.4)", std::int32_t{7}, 6207},
    };
    for (const KindCase& c : cases) {
        reduz::RecordWriter writer = bufferWriter();
        const std::vector<FieldValue> values{c.value};
        try {
            reduz::writeLaidLine(writer, reduz::parseLayout(c.layout), values);
            ADD_FAILURE() << c.layout << " accepted the value";
        } catch (const reduz::RunFailure& failure) {
            EXPECT_EQ(failure.number, c.number) << c.layout;
        }
        // A record compiled for other types writes laid out, and fails the same way.
        const reduz::LayoutProgram layout = reduz::parseLayout(c.layout);
        const std::vector<FieldValue> others{std::holds_alternative<double>(c.value) ? FieldValue(std::int32_t{1}) : FieldValue(1.0)};
        try {
            reduz::writeRecord(writer, reduz::compileRecord(layout, others), values);
            ADD_FAILURE() << c.layout << " accepted the value";
        } catch (const reduz::RunFailure& failure) {
            EXPECT_EQ(failure.number, c.number) << c.layout;
            EXPECT_EQ(failure.statement, reduz::StatementKind::Write);
            EXPECT_EQ(failure.unitText, "ReduzModel.txt");
        }
    }
}

}  // namespace
