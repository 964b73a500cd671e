#pragma once
// Sources of text records for the free-form reader: the parameter file and the keyboard.
// Records end at LF; a CR ends the useful text of its record (the rest up to the LF is passed
// over); a file's last record needs no line end.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "failure/run_failure.hpp"

namespace reduz {

enum class SourceKind { File, Keyboard };

struct TextSource {
    SourceKind kind = SourceKind::File;
    std::string name;  // unit text of failure reports: the file name, or "CON"
    int fd = -1;
    bool open = false;
    bool terminal = false;  // keyboard on a terminal: line by line, 130 characters at most
    std::array<unsigned char, 4096> block{};
    std::size_t blockLength = 0;
    std::size_t blockPosition = 0;
    bool endOfInput = false;
    bool midRecord = false;  // part of the current record has been taken
    std::string record;      // useful text of the current record (up to its CR or LF)
    std::size_t recordPosition = 0;
};

// Ends the run with a READ failure on this source: failRead(keyboardSource(), IoFailure::EndOfFile)
// -> "run-time error F6501: READ(CON)".
[[noreturn]] void failRead(const TextSource& source, IoFailure failure);

// Character-level reading for the free-form reader.
inline constexpr int endOfRecord = -1;
// The next byte of the current record, or endOfRecord once it is used up; the reader then
// stands at the start of the next record, which is read only when a character is asked for.
// Fails F6501 at the end of the input, F6500 on a read error, F6407 for an over-long typed line.
int nextCharacter(TextSource& source);
// The byte nextCharacter would give within the current record, or endOfRecord; reads nothing.
int peekCharacter(const TextSource& source);
// Passes over the rest of the current record and its line end; nothing when the reader
// already stands at the start of a record.
void skipRestOfRecord(TextSource& source);

// Opens the named file in the current directory (created empty when missing). Fails F6412,
// F6414 to F6417 on the open statement.
TextSource& openTextFile(std::string_view name);
void closeTextFile(TextSource& source);
// Closes the text file still open, if any (the end of a run).
void closeTextFileQuietly();

// Standard input, connected for the whole run.
TextSource& keyboardSource();
// A fresh keyboard source for a new run (nothing buffered).
void resetKeyboardSource();

}  // namespace reduz
