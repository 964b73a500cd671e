#pragma once
// The two files of a measurement, as text: numbers in their shortest round-trip form, lines
// ended by LF, a class name quoted only where CSV needs it.
//
// measuredCsv: one row per lag and ordered pair of classes whose from-class has support there,
// with L_ij (`length`), the direction measured and the last lag, so that measurements of
// disjoint parts can be checked against each other and added up (merge.hpp),
//   lag,distance,from,to,probability,support,length,direction,max_lag
//   0,0,sand,sand,1,2,2,down,1
//   0,0,sand,clay,0,2,0,down,1
//   1,0.5,sand,sand,0.75,2,1.5,down,1
// classesCsv: one row per class,
//   class,proportion,length,runs,mean_length
//   sand,0.4,2,1,2

#include <string>
#include <string_view>

#include "fit/measuring/measurement.hpp"

namespace reduz::fit {

// "measured.csv" -> "classes.csv", "out/m.csv" -> "out/classes.csv"
std::string classesPathBeside(std::string_view measuredPath);

std::string measuredCsv(const Measurement& m);
std::string classesCsv(const Measurement& m);

}  // namespace reduz::fit
