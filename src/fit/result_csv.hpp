#pragma once
// The two files of a measurement, as text: numbers in their shortest round-trip form, lines
// ended by LF, a class name quoted only where CSV needs it.
//
// measuredCsv: one row per lag and ordered pair of classes whose from-class has support there,
//   lag,distance,from,to,probability,support
//   0,0,sand,sand,1,2
//   0,0,sand,clay,0,2
//   1,0.5,sand,sand,0.75,2
// classesCsv: one row per class,
//   class,proportion,length,runs,mean_length
//   sand,0.4,2,1,2
//
//   csvField("clay") -> clay    csvField("silt, sandy") -> "silt, sandy"    csvField("5\" pipe") -> "5"" pipe"

#include <initializer_list>
#include <string>
#include <string_view>

#include "fit/measurement.hpp"

namespace reduz::fit {

std::string csvField(std::string_view text);
// Appends the fields, already in CSV form, joined by commas and ended by LF.
void appendCsvRow(std::string& text, std::initializer_list<std::string_view> fields);
std::string measuredCsv(const Measurement& m);
std::string classesCsv(const Measurement& m);

}  // namespace reduz::fit
