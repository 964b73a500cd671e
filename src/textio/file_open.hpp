#pragma once
// Opening a file of the current directory the way both of the program's files are opened:
// an existing file for reading and writing, else reading only, else writing only; a missing
// one created (exclusively) with the same three attempts.

#include <string_view>

namespace reduz {

struct OpenedFile {
    int fd = -1;              // -1 when every attempt was refused
    bool existed = false;     // the file was there before the open
    bool readable = false;
    bool writable = false;
    int failureNumber = 0;    // when refused: 6412, 6414, 6415, 6416 or 6417
};

OpenedFile openWithFallbacks(std::string_view name);

// The name a connection goes by in failure reports: the file name without leading and
// trailing blanks ("  ReduzModel.txt " -> "ReduzModel.txt").
std::string_view connectionName(std::string_view name);

// The failure number of an open refused with this errno value:
//   ENOENT -> 6416, EACCES -> 6414, EEXIST -> 6415, EMFILE -> 6417, EINVAL -> 6412
int openFailureNumber(int errnoValue);

}  // namespace reduz
