#pragma once
// A directory a command writes whole: only an empty one, or what the command wrote earlier (it
// holds `marker`), may be replaced, and no input may lie in it.
//
//   checkReplaceable("fitted", {"logs.csv"}, "fits.csv", "fit") on a folder of photos
//     -> InputError "fitted: holds files but no fits.csv: it is no earlier fit, and is not replaced"

#include <string>
#include <vector>

namespace reduz::fit {

// "out/" -> "out": the name of the directory itself, which is replaced rather than filled.
std::string withoutTrailingSlash(std::string path);

// Throws InputError for a symbolic link, a file, a directory of other files, or an input inside.
void checkReplaceable(const std::string& directory, const std::vector<std::string>& inputs, const char* marker,
                      const char* earlier);

}  // namespace reduz::fit
