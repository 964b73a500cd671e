#pragma once
// Writing output whole or not at all. A target that is a directory is no file to replace:
// writeWholeFiles refuses it before it writes anything.
//
// Files: each text goes to a temporary file in its target's directory ("out/.measured.csv.Xa81Kz"),
// flushed to the disk, and only when every one is complete are they renamed over their targets.
// A directory: its files go into a temporary directory beside it ("./.fitted.Q2x9Lk"), which
// takes its place, or is exchanged with the older one, only when every file is complete. Any
// failure removes the temporaries and leaves the targets as they were. SIGINT, SIGTERM, SIGHUP
// and SIGQUIT are held meanwhile: one that comes while the files are written ends the run once
// the temporaries are removed, before anything is replaced, and one that comes later ends it
// once the output is in place.
//
//   writeWholeFiles({{"out/measured.csv", text}, {"out/classes.csv", text2}})
//   writeWholeDirectory("fitted", {{"fits.csv", text}, {"sand_clay/PARAMETER.TXT", text2}})
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

// The files' paths are relative to `directory`; the folders they name are made. An older
// directory is replaced whole, whatever it held: the caller decides whether it may be. New
// folders get the mode 0777 less the umask. Throws OutputError naming the file or the directory.
// Returns what is left behind, "" when nothing is: an older directory that cannot be removed
// once replaced ("the older fitted is left at ./.fitted.Q2x9Lk: it cannot be removed (...)").
std::string writeWholeDirectory(const std::string& directory, const std::vector<FileText>& files);

}  // namespace reduz::fit
