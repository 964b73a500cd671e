#pragma once
// An input file read whole before anything is written.
//
//   readInputFile("logs.csv")     -> its bytes
//   readInputFile("missing.csv")  -> InputError "missing.csv: No such file or directory"
//   sameFile("m.csv", "./m.csv")  -> true (one file, whatever the path)

#include <string>

namespace reduz::fit {

std::string readInputFile(const std::string& path);

// Both paths name one existing file.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace reduz::fit
