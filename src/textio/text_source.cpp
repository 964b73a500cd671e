#include "textio/text_source.hpp"

#include <cerrno>
#include <string>
#include <unistd.h>

#include "failure/run_failure.hpp"
#include "textio/console.hpp"
#include "textio/file_open.hpp"

namespace reduz {

namespace {

// A typed keyboard line may hold this many characters before its line end.
constexpr std::size_t typedLineLimit = 130;
constexpr unsigned char ctrlZ = 26;
constexpr int endOfInput = -1;

TextSource freshKeyboard() {
    TextSource keyboard;
    keyboard.kind = SourceKind::Keyboard;
    keyboard.name = "CON";
    keyboard.fd = runStreams().input;
    keyboard.open = true;
    keyboard.terminal = ::isatty(keyboard.fd) == 1;
    return keyboard;
}

TextSource parameterFile;
TextSource keyboard = freshKeyboard();

std::string lines(std::int64_t count) { return std::to_string(count) + (count == 1 ? " line" : " lines"); }

// A failure of the reading itself, in the record being read: reported at once.
[[noreturn]] void failReading(const TextSource& source, IoFailure failure) {
    const std::int64_t record = source.midRecord ? source.records : source.records + 1;
    failRead(source, failure, " " + placeOf(source, record));
}

// The input has ended while a value is sought: which one, and how much input there was.
[[noreturn]] void failAtEnd(const TextSource& source) {
    std::string detail = source.seeking.empty() ? ": a value is missing (" : ": '" + std::string(source.seeking) + "' has no value (";
    if (source.kind == SourceKind::Keyboard) {
        detail += source.records == 0 ? "no answer was given)" : "the answer ended after " + lines(source.records) + ")";
    } else {
        detail += source.name + (source.records == 0 ? " is empty)" : " has " + lines(source.records) + ")");
    }
    failRead(source, IoFailure::EndOfFile, detail);
}

// Fills the block with the next bytes; false at the end of the input.
bool refill(TextSource& source) {
    if (source.endOfInput) return false;
    for (;;) {
        const ssize_t got = ::read(source.fd, source.block.data(), source.block.size());
        if (got > 0) {
            source.blockLength = static_cast<std::size_t>(got);
            source.blockPosition = 0;
            return true;
        }
        if (got == 0) {
            source.endOfInput = true;
            return false;
        }
        if (errno != EINTR) failReading(source, IoFailure::ReadError);
    }
}

bool byteAvailable(TextSource& source) {
    return source.blockPosition < source.blockLength || refill(source);
}

// The record's line end (or the input's end) has been reached. A typed line is measured, and
// a keyboard line whose last character is Ctrl-Z is the end of the keyboard input.
void endRecord(TextSource& source, bool lineFeed) {
    source.midRecord = false;
    if (source.kind != SourceKind::Keyboard) return;
    const bool crLf = lineFeed && source.rawLength > 0 && source.last == '\r';
    const std::size_t typed = crLf ? source.rawLength - 1 : source.rawLength;
    if (source.terminal && typed > typedLineLimit) failReading(source, IoFailure::LineTooLong);
    const unsigned char final = crLf ? source.beforeLast : source.last;
    if (typed > 0 && final == ctrlZ) {
        source.endOfInput = true;
        source.blockPosition = source.blockLength;
        failAtEnd(source);
    }
}

// The next byte of the current record before its line feed, or endOfInput past its end.
int nextRecordByte(TextSource& source) {
    if (!byteAvailable(source)) {
        endRecord(source, false);
        return endOfInput;
    }
    const unsigned char c = source.block[source.blockPosition++];
    if (c == '\n') {
        endRecord(source, true);
        return endOfInput;
    }
    ++source.rawLength;
    source.beforeLast = source.last;
    source.last = c;
    // Whatever follows, this typed line is already too long.
    if (source.terminal && source.rawLength > typedLineLimit + 1) failReading(source, IoFailure::LineTooLong);
    return c;
}

void beginRecord(TextSource& source) {
    if (!byteAvailable(source)) failAtEnd(source);
    source.midRecord = true;
    source.usefulEnded = false;
    source.rawLength = 0;
    source.last = source.beforeLast = 0;
    ++source.records;
}

}  // namespace

std::string placeOf(const TextSource& source, std::int64_t record) {
    if (source.kind == SourceKind::Keyboard) return "in answer line " + std::to_string(record);
    return "in line " + std::to_string(record) + " of " + source.name;
}

void failRead(const TextSource& source, IoFailure failure, std::string_view detail) {
    failRun(ioFailure(failure, StatementKind::Read, source.name, detail));
}

int nextCharacter(TextSource& source) {
    if (!source.midRecord) beginRecord(source);
    for (;;) {
        const int c = nextRecordByte(source);
        if (c == endOfInput) return endOfRecord;
        if (c == '\r') source.usefulEnded = true;
        if (!source.usefulEnded) return c;
    }
}

int peekCharacter(TextSource& source) {
    if (!source.midRecord || source.usefulEnded || !byteAvailable(source)) return endOfRecord;
    const unsigned char c = source.block[source.blockPosition];
    return c == '\n' || c == '\r' ? endOfRecord : c;
}

void skipRestOfRecord(TextSource& source) {
    while (source.midRecord) nextRecordByte(source);
}

TextSource& openTextFile(std::string_view name) {
    closeTextFileQuietly();
    const std::string unit(connectionName(name));
    const OpenedFile file = openWithFallbacks(name, OpenPurpose::Reading);
    if (file.fd < 0) failRun(ioFailure(file.failure, StatementKind::Open, unit));
    parameterFile = TextSource{};
    parameterFile.kind = SourceKind::File;
    parameterFile.name = unit;
    parameterFile.fd = file.fd;
    parameterFile.open = true;
    return parameterFile;
}

void closeTextFile(TextSource& source) {
    if (source.kind != SourceKind::File || !source.open) return;
    ::close(source.fd);
    source.fd = -1;
    source.open = false;
    source.midRecord = false;
    source.blockLength = source.blockPosition = 0;
}

void closeTextFileQuietly() { closeTextFile(parameterFile); }

TextSource& keyboardSource() {
    // Standard input may have been pointed elsewhere for a new run; nothing read from the old
    // one belongs to it.
    if (keyboard.fd != runStreams().input) keyboard = freshKeyboard();
    return keyboard;
}

void resetKeyboardSource() { keyboard = freshKeyboard(); }

}  // namespace reduz
