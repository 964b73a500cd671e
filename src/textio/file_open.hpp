#pragma once
// Opening a file of the current directory the way both of the program's files are opened:
// an existing file for reading and writing, else reading only, else writing only; a missing
// one created (exclusively) with the same three attempts.

#include <string_view>

#include "failure/run_failure.hpp"

namespace reduz {

struct OpenedFile {
    int fd = -1;              // -1 when every attempt was refused
    bool existed = false;     // the file was there before the open
    bool regular = true;      // a regular file, or none yet
    bool writable = false;
    IoFailure failure = IoFailure::OpenRefused;  // why, when every attempt was refused
};

// The parameter file is read; a file that is not a regular one (a FIFO, a device) is opened
// for reading only, so that the end of its writer's data is its end.
enum class OpenPurpose { Reading, Writing };
OpenedFile openWithFallbacks(std::string_view name, OpenPurpose purpose);

// The name a connection goes by in failure reports: the file name without leading and
// trailing blanks ("  ReduzModel.txt " -> "ReduzModel.txt").
std::string_view connectionName(std::string_view name);

// The failure of an open refused with this errno value:
//   ENOENT -> F6416, EACCES -> F6414, EEXIST -> F6415, EMFILE -> F6417, EINVAL -> F6412
IoFailure openFailure(int errnoValue);

}  // namespace reduz
