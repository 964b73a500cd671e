#include "textio/text_source.hpp"

#include <cerrno>
#include <unistd.h>

#include "failure/run_failure.hpp"
#include "textio/console.hpp"
#include "textio/file_open.hpp"

namespace reduz {

namespace {

// A typed keyboard line may hold this many characters before its line end.
constexpr std::size_t typedLineLimit = 130;
constexpr unsigned char ctrlZ = 26;

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
        if (errno != EINTR) failRead(source, IoFailure::ReadError);
    }
}

// Reads one line up to and including its LF (or to the end of the input) and keeps its useful
// text, the part before any CR. False when the input has ended before the line began.
bool loadRecord(TextSource& source) {
    source.record.clear();
    source.recordPosition = 0;
    std::size_t length = 0;  // bytes before the LF
    bool useful = true;
    bool lineFeed = false;
    unsigned char last = 0;
    unsigned char beforeLast = 0;
    for (;;) {
        if (source.blockPosition == source.blockLength && !refill(source)) break;
        const unsigned char c = source.block[source.blockPosition++];
        if (c == '\n') {
            lineFeed = true;
            break;
        }
        ++length;
        beforeLast = last;
        last = c;
        if (c == '\r') {
            useful = false;
        } else if (useful) {
            source.record.push_back(static_cast<char>(c));
        }
        // Whatever follows, this line is already too long; nothing more of it is kept.
        if (source.terminal && length > typedLineLimit + 1) failRead(source, IoFailure::LineTooLong);
    }
    if (!lineFeed && length == 0) return false;
    if (source.kind == SourceKind::Keyboard) {
        const bool crLf = lineFeed && length > 0 && last == '\r';
        const std::size_t typed = crLf ? length - 1 : length;
        if (source.terminal && typed > typedLineLimit) failRead(source, IoFailure::LineTooLong);
        // A line ending in Ctrl-Z is the end of the keyboard input; its text is not used.
        const unsigned char final = crLf ? beforeLast : last;
        if (typed > 0 && final == ctrlZ) {
            source.endOfInput = true;
            source.blockPosition = source.blockLength;
            source.record.clear();
            return false;
        }
    }
    return true;
}

}  // namespace

void failRead(const TextSource& source, IoFailure failure) {
    failRun(ioFailure(failure, StatementKind::Read, source.name));
}

int nextCharacter(TextSource& source) {
    if (!source.midRecord) {
        if (!loadRecord(source)) failRead(source, IoFailure::EndOfFile);
        source.midRecord = true;
    }
    if (source.recordPosition < source.record.size()) {
        return static_cast<unsigned char>(source.record[source.recordPosition++]);
    }
    source.midRecord = false;
    source.record.clear();
    source.recordPosition = 0;
    return endOfRecord;
}

int peekCharacter(const TextSource& source) {
    if (!source.midRecord || source.recordPosition >= source.record.size()) return endOfRecord;
    return static_cast<unsigned char>(source.record[source.recordPosition]);
}

void skipRestOfRecord(TextSource& source) {
    // The whole line, line end included, was taken when the record was loaded.
    source.midRecord = false;
    source.record.clear();
    source.recordPosition = 0;
}

TextSource& openTextFile(std::string_view name) {
    closeTextFileQuietly();
    const std::string unit(connectionName(name));
    const OpenedFile file = openWithFallbacks(name);
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
    source.record.clear();
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
