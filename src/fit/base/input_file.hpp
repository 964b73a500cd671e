#pragma once
// An input file read whole before anything is written.
//
//   readInputFile("logs.csv")     -> its bytes
//   readInputFile("missing.csv")  -> InputError "missing.csv: No such file or directory"
//   readInputFile("/dev/zero")    -> InputError "/dev/zero: is a device, not a file of data"
//   a file or pipe of more than largestInput bytes -> InputError "...: is larger than 2 GiB, the
//                                                     most reduzfit reads"
//   sameFile("m.csv", "./m.csv")  -> true (one file, whatever the path)

#include <string>

namespace reduz::fit {

// The most an input holds: a file past it would take more memory to measure than it is worth
// trying; a pipe is read up to it.
inline constexpr long long largestInput = 2LL << 30;

std::string readInputFile(const std::string& path);

// Both paths name one existing file.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace reduz::fit
