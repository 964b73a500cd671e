#pragma once
// The records of an RFC 4180 text (read by libcsv, strictly), each with the line it starts on.
//
//   "hole,from\nBH1,0\n\nBH1,\"2\"\n"   -> {1: "hole","from"} {2: "BH1","0"} {4: "BH1","2"}
//   "a,\"b\nc\"\nd\n"                  -> {1: "a","b\nc"} {3: "d"}   (a quoted line end)
//   "x,\"b\nc\"\n" / "\"b\nc\",x\n"        -> {1: ...}: a record is on the line it starts on
//   "a\rb\rc"                           -> {1: "a"} {2: "b"} {3: "c"}  (lines end in LF, CR LF or CR)
//   "a,b\"c\n"                         -> InputError "FILE:1:2: ..."  (a stray quote)
//   "a\nb,\"c\nd\n"                     -> InputError "FILE:2:2: the quoted value that opens here
//                                         is never closed"
//
// Blanks around an unquoted value are dropped, empty lines are passed over, and a UTF-8 byte
// order mark in front of the first record is ignored.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace reduz::fit {

struct CsvRecord {
    long line = 0;  // the line of its first value
    std::vector<std::string> fields;
};

// Calls onRecord for every record in order; stops at the first malformed one with an
// InputError naming `file`, the line and the value's column.
void forEachCsvRecord(std::string_view text, std::string_view file,
                      const std::function<void(const CsvRecord&)>& onRecord);

}  // namespace reduz::fit
