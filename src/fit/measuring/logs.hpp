#pragma once
// The logged intervals of every hole, as both readers deliver them to the measurement.
//
// A hole holds its runs in order along it, never overlapping: contiguous intervals of one class
// are one run. Positions grow along the hole (downward for logs; eastward along a map's row,
// southward down its column).
//
//   appendInterval(hole, 0, 2, sand); appendInterval(hole, 2, 3, sand);
//   appendInterval(hole, 4, 5, sand)  -> runs [0, 3) sand, [4, 5) sand   (the gap ends a run)

#include <optional>
#include <string>
#include <vector>

namespace reduz::fit {

struct Run {
    double from = 0;  // the run covers [from, to)
    double to = 0;
    int code = 0;     // index into Logs::classes
};

// Where a borehole stands: its depths are below the collar, at elevation - depth.
struct Collar {
    double x = 0;
    double y = 0;
    double elevation = 0;  // 0 where none is given: the holes' depths are then compared as they are
};

struct Hole {
    std::string name;  // what the input calls it: "hole BH1" of logs, "row 3" or "column 5" of a map
    std::vector<Run> runs;
    std::optional<Collar> collar;  // logs read for lateral curves alone
};

struct Logs {
    std::vector<std::string> classes;  // in the order the output lists them
    std::vector<Hole> holes;           // only holes with at least one run
    long long intervals = 0;           // intervals (rows, cells) read, before joining into runs
};

// Appends [from, to) of class `code` after the hole's last run (the caller keeps the order),
// joining it to that run when it continues it without a gap.
void appendInterval(Hole& hole, double from, double to, int code);

}  // namespace reduz::fit
