#pragma once
// Names compared without regard to case, as headers, grid keys and file endings are:
//
//   sameIgnoringCase("HoleID", "holeid") -> true     sameIgnoringCase("hole", "holes") -> false
//   endsIgnoringCase("MAP.ASC", ".asc")  -> true
//
// Only ASCII letters fold; other bytes must match exactly.

#include <string_view>

namespace reduz::fit {

bool sameIgnoringCase(std::string_view a, std::string_view b);
bool endsIgnoringCase(std::string_view text, std::string_view ending);

}  // namespace reduz::fit
