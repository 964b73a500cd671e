#pragma once
// CSV as the output files write it: a value quoted only where CSV needs it, values joined by
// commas, lines ended by LF.
//
//   csvField("clay") -> clay    csvField("silt, sandy") -> "silt, sandy"    csvField("5\" pipe") -> "5"" pipe"
//   appendCsvRow(text, {"sand", "0.4"})  -> text + "sand,0.4\n"

#include <initializer_list>
#include <string>
#include <string_view>

namespace reduz::fit {

std::string csvField(std::string_view text);

// Appends the fields, already in CSV form, joined by commas and ended by LF.
void appendCsvRow(std::string& text, std::initializer_list<std::string_view> fields);

}  // namespace reduz::fit
