#include "textio/record_writer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "textio/console.hpp"

namespace reduz {
namespace {

RecordWriter fileWriter() {
    RecordWriter writer;
    writer.destination = Destination::ReportFile;
    writer.open = true;
    writer.writable = true;
    return writer;
}

std::string buffered(const RecordWriter& writer) { return std::string(writer.buffer.data(), writer.buffered); }

struct FreeLineCase {
    std::string text;
    std::string records;
};

TEST(FreeLine, RecordsOfTheReportFile) {
    const std::string t78(78, 'a'), t79(79, 'b'), t80 = std::string(79, 'c') + "h";
    const FreeLineCase cases[] = {
        {"", " \r\n"},
        {"WRONG INPUT", " WRONG INPUT\r\n"},
        {"tab\tkept  ", " tab\tkept  \r\n"},
        {t78, " " + t78 + "\r\n"},
        {t79, " " + t79 + "\r\n \r\n"},
        {t80, " " + std::string(79, 'c') + "\r\n h\r\n"},
        {std::string(158, 'd'), " " + std::string(79, 'd') + "\r\n " + std::string(79, 'd') + "\r\n \r\n"},
    };
    for (const FreeLineCase& c : cases) {
        RecordWriter writer = fileWriter();
        writeFreeLine(writer, c.text);
        EXPECT_EQ(buffered(writer), c.records) << c.text;
    }
}

// The console owes each record's CR LF until the next one and hides the leading blank.
TEST(Console, LineEndsAreOwedUntilTheNextRecord) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    RecordWriter console;
    console.fd = pipeFds[1];
    setLineEndPending(false);
    writeFreeLine(console, "Output transiogram model");
    EXPECT_TRUE(lineEndPending());
    writeFreeLine(console, "Finish");
    ::close(pipeFds[1]);
    char bytes[128];
    const ssize_t got = ::read(pipeFds[0], bytes, sizeof bytes);
    ::close(pipeFds[0]);
    EXPECT_EQ(std::string(bytes, static_cast<std::size_t>(got)), "Output transiogram model\r\nFinish");
}

TEST(ReportFile, BufferGoesOutWhenFull) {
    char name[] = "/tmp/reduz-writer-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    RecordWriter writer = fileWriter();
    writer.fd = fd;
    const std::string line(77, 'x');  // 80 bytes a record with the blank and CR LF
    for (int i = 0; i < 13; ++i) writeFreeLine(writer, line);
    EXPECT_EQ(writer.buffered, 13u * 80u - 1024u);
    EXPECT_EQ(::lseek(fd, 0, SEEK_END), 1024);
    ::close(fd);
    ::unlink(name);
}

}  // namespace
}  // namespace reduz
