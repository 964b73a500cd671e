#include "textio/record_writer.hpp"

#include <cerrno>
#include <unistd.h>

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

// A refused buffer write of the report file: access and full disk end the run, the rest is
// ignored.
void failBufferWrite(const RecordWriter& writer, int error) {
    if (error == EBADF || error == EACCES || error == EPERM) {
        failRun(ioFailure(IoFailure::WriteNotAllowed, StatementKind::Write, writer.unitText));
    }
    if (error == ENOSPC || error == EDQUOT) {
        failRun(ioFailure(IoFailure::NoSpace, StatementKind::Write, writer.unitText));
    }
}

void flushBuffer(RecordWriter& writer) {
    const std::size_t length = writer.buffered;
    writer.buffered = 0;
    if (length > 0) failBufferWrite(writer, writeAll(writer.fd, std::string_view(writer.buffer.data(), length)));
}

void bufferBytes(RecordWriter& writer, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t room = writer.buffer.size() - writer.buffered;
        const std::size_t take = bytes.size() < room ? bytes.size() : room;
        bytes.copy(writer.buffer.data() + writer.buffered, take);
        writer.buffered += take;
        bytes.remove_prefix(take);
        if (writer.buffered == writer.buffer.size()) flushBuffer(writer);
    }
}

}  // namespace

RecordWriter& consoleWriter() { return console; }
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

void placeText(RecordWriter& writer, std::string_view text) {
    if (writer.pendingBlanks > 0) {
        writer.record.append(static_cast<std::size_t>(writer.pendingBlanks), ' ');
        writer.pendingBlanks = 0;
    }
    writer.record.append(text);
}

void endRecord(RecordWriter& writer, bool writeOwedBlanks) {
    if (writeOwedBlanks) placeText(writer, {});
    writer.pendingBlanks = 0;
    if (writer.destination == Destination::Console) {
        // The first character steers the line advance and is not shown.
        std::string bytes = lineEndPending() ? "\r\n" : "";
        if (!writer.record.empty()) bytes.append(writer.record, 1);
        writeAll(writer.fd, bytes);
        setLineEndPending(true);
    } else {
        writer.record += "\r\n";
        bufferBytes(writer, writer.record);
    }
    writer.record.clear();
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
    const OpenedFile file = openWithFallbacks(name);
    if (file.fd < 0) failRun(ioFailure(file.failure, StatementKind::Open, connectionName(name)));
    report = RecordWriter{};
    report.destination = Destination::ReportFile;
    report.fd = file.fd;
    report.unitText = std::string(connectionName(name));
    report.open = true;
    report.writable = file.writable;
    report.cutPending = file.existed;
}

void closeOutputFile() {
    if (!report.open) return;
    flushBuffer(report);
    ::close(report.fd);
    report.open = false;
    report.fd = -1;
}

void closeOutputFileQuietly() {
    if (!report.open) return;
    writeAll(report.fd, std::string_view(report.buffer.data(), report.buffered));
    report.buffered = 0;
    ::close(report.fd);
    report.open = false;
    report.fd = -1;
}

void writeErrorReport(std::string_view bytes) { writeAll(runStreams().error, bytes); }

void stopRun() {
    writeOwedLineEnd();
    writeAll(console.fd, "Stop - Program terminated.\r\n");
}

}  // namespace reduz
