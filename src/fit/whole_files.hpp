#pragma once
// Writing output files whole or not at all: each text goes to a temporary file in its target's
// directory ("out/.measured.csv.Xa81Kz"), flushed to the disk, and only when every one is
// complete are they renamed over their targets. Any failure removes the temporaries and leaves
// the targets as they were.
//
//   writeWholeFiles({{"out/measured.csv", text}, {"out/classes.csv", text2}})
//   a full disk  -> OutputError "cannot write out/measured.csv: No space left on device"

#include <string>
#include <vector>

namespace reduz::fit {

struct FileText {
    std::string path;
    std::string text;
};

// New files get the mode an ordinary create gives them (0666 less the umask). Throws
// OutputError naming the target. Should a rename fail after an earlier one succeeded, the
// earlier target holds its new text.
void writeWholeFiles(const std::vector<FileText>& files);

}  // namespace reduz::fit
