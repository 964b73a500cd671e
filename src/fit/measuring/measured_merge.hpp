#pragma once
// Measurements of disjoint parts added into the measurement of the whole: the holes of a basin
// split over files, a map's row bands (measured east or west) or column bands (north or south).
// Each part is its measured.csv and the classes.csv beside it, as `measure` wrote them; every
// length in them is a whole number of ticks of the step (run_pairs.hpp), so their sums are
// exact and the merged files are, byte for byte, what measuring the whole would write.
//
//   parts a/measured.csv (holes BH1, BH2) and b/measured.csv (BH3), both down by 0.5 to lag 20
//     -> mergeParts -> the Measurement of BH1, BH2 and BH3 together
//   parts measured east and north           -> InputError "b/measured.csv: measured north, where
//                                              a/measured.csv is measured east"
//
// The classes are every part's: a map's whole codes in ascending order, as a map lists them;
// else in the order the parts first name them, as the logs of the parts one after the other
// would. A part is refused, naming its file and line, for a row that contradicts its file (a
// direction or last lag of its own, a class its classes.csv does not list, a pair given twice),
// a length that is not a whole number of ticks, and a step, last lag or direction other than
// the first part's.

#include <string>
#include <string_view>
#include <vector>

#include "fit/measuring/measurement.hpp"

namespace reduz::fit {

struct PartValue {
    int lag = 0;
    int from = 0;  // indices into MeasuredPart::classes
    int to = 0;
    double length = 0;
};

struct MeasuredPart {
    std::string file;
    std::string direction;
    int maxLag = 0;
    double step = 0;                    // 0 when no row lies above lag 0
    std::vector<ClassSummary> classes;  // name, length and runs, from classes.csv
    std::vector<PartValue> values;
};

// Reads a part: its measured.csv text and the classes.csv text beside it.
MeasuredPart readMeasuredPart(std::string_view measured, std::string_view measuredFile, std::string_view classes,
                              std::string_view classesFile);

// The whole, from one part or more.
Measurement mergeParts(const std::vector<MeasuredPart>& parts);

}  // namespace reduz::fit
