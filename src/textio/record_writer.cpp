#include "textio/record_writer.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "failure/run_failure.hpp"
#include "textio/console.hpp"
#include "textio/file_open.hpp"

namespace reduz {

namespace {

constexpr std::size_t freeLineWidth = 79;

RecordWriter freshConsole() {
    RecordWriter console;
    console.destination = Destination::Console;
    console.fd = runStreams().output;
    console.unitText = "CON";
    return console;
}

RecordWriter console = freshConsole();
RecordWriter report;

// The failure of a refused write, close or rename of the report file; 0 is none.
void failReportWrite(const RecordWriter& writer, int error) {
    if (error == 0) return;
    IoFailure failure = IoFailure::WriteError;
    if (error == EBADF || error == EACCES || error == EPERM || error == EROFS) failure = IoFailure::WriteNotAllowed;
    if (error == ENOSPC || error == EDQUOT) failure = IoFailure::NoSpace;
    if (error == EFBIG) failure = IoFailure::FileTooLarge;
    failRun(ioFailure(failure, StatementKind::Write, writer.unitText));
}

void flushBuffer(RecordWriter& writer) {
    const std::size_t length = writer.buffered;
    writer.buffered = 0;
    if (writer.text != nullptr) {
        writer.text->append(writer.buffer.data(), length);
        return;
    }
    if (length > 0) failReportWrite(writer, writeAll(writer.fd, std::string_view(writer.buffer.data(), length)));
}

void bufferBytes(RecordWriter& writer, const char* bytes, std::size_t length) {
    while (length > 0) {
        const std::size_t room = writer.buffer.size() - writer.buffered;
        const std::size_t take = length < room ? length : room;
        char* to = writer.buffer.data() + writer.buffered;
        // Records are short: a loop costs less than a call to the library's copy.
        for (std::size_t i = 0; i < take; ++i) to[i] = bytes[i];
        writer.buffered += take;
        bytes += take;
        length -= take;
        if (writer.buffered == writer.buffer.size()) flushBuffer(writer);
    }
}

constexpr std::size_t recordCapacity = 256;

}  // namespace

RecordWriter& consoleWriter() { return console; }

void flushRecords(RecordWriter& writer) { flushBuffer(writer); }
RecordWriter& reportWriter() { return report; }

void resetRecordWriters() {
    closeOutputFileQuietly();
    setLineEndPending(false);
    console = freshConsole();
    report = RecordWriter{};
    report.destination = Destination::ReportFile;
}

void beginStatement(RecordWriter& writer) {
    if (writer.destination != Destination::ReportFile || !writer.cutPending) return;
    writer.cutPending = false;
    // The old report is replaced whole: cut it before the first byte of the new one.
    if (!writer.writable) failRun(ioFailure(IoFailure::WriteNotAllowed, StatementKind::Write, writer.unitText));
    if (::ftruncate(writer.fd, 0) != 0) {
        const int error = errno;
        // A device or pipe cannot be cut; writing to it goes on.
        if (error == EBADF || error == EACCES || error == EPERM) {
            failRun(ioFailure(IoFailure::WriteNotAllowed, StatementKind::Write, writer.unitText));
        }
    }
}

void bufferedInPlace(RecordWriter& writer, std::size_t length) {
    writer.buffered += length;
    if (writer.buffered == writer.buffer.size()) flushBuffer(writer);
}

char* placeSpace(RecordWriter& writer, std::size_t count) {
    const auto blanks = static_cast<std::size_t>(writer.pendingBlanks);
    if (blanks > recordCapacity || count > recordCapacity || writer.recordLength + blanks + count > recordCapacity) {
        std::fprintf(stderr, "record longer than %zu characters\n", recordCapacity);
        std::abort();
    }
    char* place = writer.record.data() + writer.recordLength;
    for (std::size_t i = 0; i < blanks; ++i) *place++ = ' ';
    writer.pendingBlanks = 0;
    writer.recordLength += blanks + count;
    return place;
}

void placeText(RecordWriter& writer, std::string_view text) {
    char* place = placeSpace(writer, text.size());
    for (const char c : text) *place++ = c;
}

void endRecord(RecordWriter& writer, bool writeOwedBlanks) {
    if (writeOwedBlanks) placeText(writer, {});
    writer.pendingBlanks = 0;
    const std::string_view record(writer.record.data(), writer.recordLength);
    writer.recordLength = 0;
    if (writer.destination == Destination::Console) {
        // The first character steers the line advance and is not shown.
        std::string bytes = lineEndPending() ? "\r\n" : "";
        if (!record.empty()) bytes.append(record.substr(1));
        writeAll(writer.fd, bytes);
        setLineEndPending(true);
    } else {
        writer.record[record.size()] = '\r';
        writer.record[record.size() + 1] = '\n';
        bufferBytes(writer, record.data(), record.size() + 2);
    }
}

void writeFreeLine(RecordWriter& writer, std::string_view text) {
    beginStatement(writer);
    writer.pendingBlanks = 1;
    while (text.size() >= freeLineWidth) {
        placeText(writer, text.substr(0, freeLineWidth));
        text.remove_prefix(freeLineWidth);
        endRecord(writer, true);
        writer.pendingBlanks = 1;
    }
    placeText(writer, text);
    endRecord(writer, true);
}

void openOutputFile(std::string_view name) {
    const std::string unit(connectionName(name));
    report = RecordWriter{};
    report.destination = Destination::ReportFile;
    report.unitText = unit;
    report.writable = true;

    struct stat older {};
    const bool exists = ::stat(unit.c_str(), &older) == 0;
    struct stat link {};
    const bool danglingLink = !exists && ::lstat(unit.c_str(), &link) == 0;
    if (!exists && !danglingLink) {
        // No older report: the temporary file becomes the report.
        report.replacement = beginReplacement(unit);
        if (report.replacement.fd < 0) {
            failRun(ioFailure(openFailure(report.replacement.error), StatementKind::Open, unit));
        }
        report.fd = report.replacement.fd;
        report.open = true;
        return;
    }
    const OpenedFile file = openWithFallbacks(name, OpenPurpose::Writing);
    if (file.fd < 0) failRun(ioFailure(file.failure, StatementKind::Open, unit));
    report.fd = file.fd;
    report.open = true;
    report.writable = file.writable;
    report.cutPending = true;
    // A device or FIFO is written as it is, and so is an older report that may not be written
    // (its first write fails).
    if (!exists || !file.regular || !file.writable) return;
    Replacement replacement = beginReplacement(unit);
    if (replacement.fd >= 0) {
        ::close(file.fd);
        report.fd = replacement.fd;
        report.replacement = std::move(replacement);
        report.cutPending = false;
        return;
    }
    // A directory where no file can be created: in place is all that is possible there.
    if (replacement.error == EACCES || replacement.error == EPERM || replacement.error == EROFS) return;
    ::close(file.fd);
    report.open = false;
    failReportWrite(report, replacement.error);
}

void closeOutputFile() {
    if (!report.open) return;
    flushBuffer(report);
    report.open = false;
    int error = 0;
    if (report.replacement.fd >= 0) {
        error = completeReplacement(report.replacement);
    } else if (::close(report.fd) != 0) {
        error = errno;
    }
    report.fd = -1;
    failReportWrite(report, error);
}

void closeOutputFileQuietly() {
    if (!report.open) return;
    if (report.replacement.fd >= 0) {
        abandonReplacement(report.replacement);
    } else {
        writeAll(report.fd, std::string_view(report.buffer.data(), report.buffered));
        ::close(report.fd);
    }
    report.buffered = 0;
    report.open = false;
    report.fd = -1;
}

void writeErrorReport(std::string_view bytes) { writeAll(runStreams().error, bytes); }

void stopRun() {
    writeOwedLineEnd();
    writeAll(console.fd, "Stop - Program terminated.\r\n");
}

}  // namespace reduz
