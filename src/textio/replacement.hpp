#pragma once
// Replacing a file whole: the new content goes to a temporary file beside the file it replaces
// (for a symbolic link, beside the link's target: the link stays), which takes its place by a
// rename once every byte is written and the file is closed. Until then, and after any failure,
// the older file is as it was; two runs replacing it at once leave one run's whole file.
//
//   beginReplacement("ReduzModel.txt") -> temporary ".ReduzModel.txt.a1B2c3", mode of the older file
//   completeReplacement(r)             -> ReduzModel.txt is the new file; 0
//   abandonReplacement(r)              -> the temporary file is gone; ReduzModel.txt untouched

#include <string>
#include <string_view>

namespace reduz {

struct Replacement {
    int fd = -1;            // the temporary file, open for writing
    std::string temporary;  // its name, until the rename
    std::string target;     // the name it replaces
    int error = 0;          // the errno when no temporary file could be made
};

// The temporary file gets the permission bits (and, where allowed, the owner) of the file it
// replaces, or those of a file created anew.
Replacement beginReplacement(std::string_view name);

// Closes the temporary file and renames it over the target; 0, or the errno of the refusal
// (the temporary file is then removed).
int completeReplacement(Replacement& replacement);

// Closes and removes the temporary file.
void abandonReplacement(Replacement& replacement);

}  // namespace reduz
