#pragma once
// Lateral transiograms between boreholes. For classes i and j at lag k, L_ij sums, over every
// ordered pair of holes whose collars stand from (k - 1/2) step to (k + 1/2) step apart (along
// the cone, when one is given: the second hole within the tolerance of the azimuth from the
// first), the length of the elevations where the first hole is logged i and the second j. Every
// direction takes each pair of holes both ways. Lag 0 pairs each hole with itself alone, so t(0)
// is the identity and L_i(0) the length logged i; holes under step/2 apart are in no lag and are
// counted apart. A depth d of a hole lies at the elevation of its collar minus d, both taken in
// whole ticks of the step (run_pairs.hpp): lengths are exact, and the measurements of holes
// farther apart than the last lag add up to the whole's.
//
//   BH1 at (0, 0): sand 0-2, clay 2-5;  BH2 at (10, 0): clay 0-1, sand 1-4;  collars at 0;
//   step 10, lags 0..1:
//     every direction, lag 1: sand->sand 2, sand->clay 3, clay->sand 3, clay->clay 0
//     azimuth 90, tolerance 45 (BH2 east of BH1), lag 1: sand->sand 1, sand->clay 1, clay->sand 2
//     BH2's collar at 1 instead, azimuth 90: sand->sand 2, clay->sand 1

#include <string_view>

#include "fit/measuring/logs.hpp"
#include "fit/measuring/points.hpp"

namespace reduz::fit {

struct LateralMeasurement {
    Measurement measurement;  // its direction left to the caller to name
    long long tooClose = 0;   // pairs of holes under step/2 apart, in no lag
};

// The cone's dip is not taken: lateral curves run level. Throws InputError naming `file` for a
// hole without a collar, coordinates or elevations where the doubles are too far apart for the step, and
// lengths that add up beyond what can be added exactly. Progress is told in holes.
LateralMeasurement measureLateral(const Logs& logs, const PointLags& lags, std::string_view file,
                                  const ProgressFn& progress = {});

}  // namespace reduz::fit
