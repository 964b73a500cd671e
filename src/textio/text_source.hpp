#pragma once
// Sources of text records for the free-form reader: the parameter file and the keyboard.
// Records end at LF; a CR ends the useful text of its record (the rest up to the LF is passed
// over); a file's last record needs no line end. A record is taken a character at a time
// from a block read ahead, so records of any length are read in bounded memory.

#include <array>
#include <cstddef>
#include <cstdint>
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
    // The current record: begun and not yet ended by its line feed (or the input's end).
    bool midRecord = false;
    bool usefulEnded = false;       // a CR has ended its useful text
    std::size_t rawLength = 0;      // its bytes before the line feed so far
    unsigned char last = 0;         // the last two of them
    unsigned char beforeLast = 0;
    std::int64_t records = 0;       // records begun
    // For the failure reports: the target whose value is sought, and the record of the last
    // value taken.
    std::string_view seeking;
    std::int64_t valueRecord = 0;
};

// Where a record stands, for a failure report: "in line 2 of PARAMETER.TXT", "in answer line 1".
std::string placeOf(const TextSource& source, std::int64_t record);

// Ends the run with a READ failure on this source, its message followed by the detail that
// says where: failRead(keyboardSource(), IoFailure::InvalidReal, " 'x' in answer line 1")
// -> "run-time error F6103: READ(CON)", "- invalid real 'x' in answer line 1".
[[noreturn]] void failRead(const TextSource& source, IoFailure failure, std::string_view detail);

// Character-level reading for the free-form reader.
inline constexpr int endOfRecord = -1;
// The next byte of the current record's useful text, or endOfRecord once it is used up; the
// reader then stands at the start of the next record, which is begun only when a character
// is asked for. Fails F6501 at the end of the input, F6500 on a read error, F6407 for an
// over-long typed line, F6501 at a keyboard line ending in Ctrl-Z.
int nextCharacter(TextSource& source);
// The byte nextCharacter would give within the current record, or endOfRecord.
int peekCharacter(TextSource& source);
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
