#pragma once
// The run's standard streams and the console's owed line end: the seam that the console's
// record writer and the keyboard reader share.
//
// The console owes the CR LF of its last record until the next one; a typed answer, when
// keyboard and screen are one console, pays it before the user types:
//   writeFreeLine(consoleWriter(), "Input D (half wave length):")  -> "Input D (half wave length):", CR LF owed
//   (keyboard read at a console)                                    -> CR LF now, nothing owed after the answer
//   (keyboard read from a file or pipe)                             -> nothing now, the CR LF stays owed

#include <string_view>

namespace reduz {

// The run's standard streams; tests and the fuzzer point them elsewhere for in-process runs.
struct RunStreams {
    int input = 0;
    int output = 1;
    int error = 2;
};
RunStreams& runStreams();

// Writes all bytes, going on after partial writes; returns 0 or the errno of the refusal.
int writeAll(int fd, std::string_view bytes);

bool lineEndPending();
void setLineEndPending(bool pending);
// The CR LF to standard output when it is owed; it stays owed.
void writeOwedLineEnd();

}  // namespace reduz
