#pragma once
// Sources of text records for the free-form reader: the parameter file and the keyboard.
// Records end at LF; a CR ends the useful text of its record (the rest up to the LF is passed
// over); a file's last record needs no line end.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace reduz {

enum class SourceKind { File, Keyboard };

struct TextSource {
    SourceKind kind = SourceKind::File;
    std::string name;  // unit text of failure reports: the file name, or "CON"
    int fd = -1;
    bool open = false;
    bool terminal = false;  // keyboard at a terminal: line by line, 130 characters at most
    std::array<unsigned char, 4096> block{};
    std::size_t blockLength = 0;
    std::size_t blockPosition = 0;
    bool endOfInput = false;
    bool midRecord = false;  // part of the current record has been taken
};

// Opens the named file in the current directory (created empty when missing). Fails F6412,
// F6414 to F6417 on the open statement.
TextSource& openTextFile(std::string_view name);
void closeTextFile(TextSource& source);
// Closes the parameter file if it is still open (the end of a run).
void closeTextFilesQuietly();

// Standard input, connected for the whole run.
TextSource& keyboardSource();
// A fresh keyboard source for a new run (nothing buffered).
void resetKeyboardSource();

}  // namespace reduz
