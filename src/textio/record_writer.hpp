#pragma once
// Record writers: the report file's and the console's. Every byte that reaches either goes
// through here. Records end with CR LF; the console does not show a record's first character
// (the free-form blank) and owes the CR LF of its last record until the next one
// (textio/console.hpp).
//
//   writeFreeLine(consoleWriter(), "Finish")  -> console: [CR LF if owed] "Finish", CR LF now owed
//   writeFreeLine(reportWriter(), "WRONG INPUT") -> file: " WRONG INPUT\r\n"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "textio/replacement.hpp"

namespace reduz {

enum class Destination { Console, ReportFile };

struct RecordWriter {
    Destination destination = Destination::Console;
    int fd = -1;            // standard output, or the report file while it is open
    std::string unitText;   // name of the connection in failure reports
    // The characters placed in the current record, and room for its line end. The program's
    // longest record is 80 characters (a free-form line); placing more is a mistake of the
    // program and aborts.
    std::array<char, 258> record{};
    std::size_t recordLength = 0;
    int pendingBlanks = 0;  // blanks owed before the next character placed
    bool open = false;            // report file: connected
    bool writable = false;        // report file: opened with write access
    bool cutPending = false;      // report file: written in place, cut to nothing at the first write
    Replacement replacement;      // report file: written to a temporary file that replaces it
    std::array<char, 1024> buffer{};
    std::size_t buffered = 0;
    std::string* text = nullptr;  // report file: when set, what is flushed is kept here instead
};

RecordWriter& consoleWriter();
RecordWriter& reportWriter();
// Fresh writers for a new run: nothing owed, no report file connected.
void resetRecordWriters();

// One free-form write of one text: a leading blank, at most 79 characters a record.
//   "" -> " "        78 characters -> one record       79 -> the text, then a record " "
//   80 -> " " + first 79, then " " + the 80th
void writeFreeLine(RecordWriter& writer, std::string_view text);

// Connects "ReduzModel.txt" to reportWriter(). The new report is written to a temporary file
// that replaces the older report (or becomes the report) at the close, so that a run that
// fails leaves the older report as it was and never a part of the new one. An older report
// the user may not write is opened for reading only and fails F6421 at the first write; one
// that is not a regular file (a device, a FIFO), or that stands in a directory where no file
// can be created, is written in place and cut at the first write. Fails F6412/6414-6417.
void openOutputFile(std::string_view name);
// Writes the buffered records and closes the file: the new report takes the older one's place.
// A failed write or close is a failure (F6421 to F6424), never ignored.
void closeOutputFile();
// The same at the end of a failed run: a report written in place keeps what was written, a
// temporary file is removed.
void closeOutputFileQuietly();

// Hands the buffered records to the writer's file (or its text); a refused write fails as any.
void flushRecords(RecordWriter& writer);

// A failure report on standard error, as raw bytes; a refused write is ignored.
void writeErrorReport(std::string_view report);

// The stop statement: the owed CR LF, then "Stop - Program terminated." and CR LF; the line end
// stays owed, so the end of the run writes one more.
void stopRun();

// Pieces of one write statement, for the free-form and the laid-out writers.
// beginStatement does the cut of a reused report file (F6421 when refused).
void beginStatement(RecordWriter& writer);
// Places text in the current record, owed blanks first.
void placeText(RecordWriter& writer, std::string_view text);
// The same for `count` characters to be written in place: the owed blanks, then room for them.
char* placeSpace(RecordWriter& writer, std::size_t count);
// Ends the current record; owed blanks are written first (free-form) or dropped (laid-out).
void endRecord(RecordWriter& writer, bool writeOwedBlanks);
// A whole record with its line end, written by the caller straight into the report file's
// buffer at its end, where `length` bytes of room were left.
void bufferedInPlace(RecordWriter& writer, std::size_t length);

}  // namespace reduz
