#pragma once
// Measured transiograms of scattered points: L_ij at lag k is the number of ordered pairs of
// distinct points, from a point of class i to one of class j, whose distance d lies in
// [(k - 1/2) step, (k + 1/2) step). Lag 0 pairs each point with itself alone, so t(0) is the
// identity and L_i(0) is the count of class i; distinct points under step/2 apart (the same
// place included) are in no lag and are counted apart. Counts are whole, so the measurements of
// disjoint sets of points add up exactly.
//
// Every direction: each pair counts both ways, a to b and b to a. Along a cone (an azimuth in
// degrees clockwise from north, +y, a tolerance, and in 3-D a dip below the horizontal, z
// growing upward; no dip is dip 0): a pair counts from a to b when b - a lies within the
// tolerance of the cone's axis, from b to a when a - b does. A pair on the cone's edge (to a
// part in 10^12) is within it, so at tolerance 90 a pair square across the axis counts both
// ways.
//
//   sand at (0, 0), clay at (0, 1), clay at (3, 0), step 1, lags 0..3, every direction:
//     lag 0: sand->sand 1, clay->clay 2
//     lag 1: sand->clay 1, clay->sand 1                    ((0, 0)-(0, 1), 1 apart)
//     lag 3: sand->clay 1, clay->sand 1, clay->clay 2      (3 and sqrt 10 = 3.16 apart)
//   the same, azimuth 0, tolerance 45: lag 1: sand->clay 1 (north of sand); lag 3: nothing
//   (both pairs lie east-west, 90 and 71.6 degrees off north)

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fit/measuring/measurement.hpp"
#include "fit/measuring/sweep.hpp"

namespace reduz::fit {

struct Point {
    double x = 0;
    double y = 0;
    double z = 0;  // 0 for points in a plane
    int code = 0;  // index into Points::classes
};

struct Points {
    std::vector<std::string> classes;  // in the order the output lists them
    std::vector<Point> points;
    bool hasZ = false;
};

// A direction and the angle a pair may stand off it, in degrees.
struct Cone {
    double azimuth = 0;         // [0, 360), clockwise from north (+y)
    double tolerance = 90;      // (0, 90]
    std::optional<double> dip;  // [-90, 90] below the horizontal, for points with z; none is 0
};

struct PointLags {
    double step = 1;
    int maxLag = 0;
    std::optional<Cone> cone;  // none: every direction
};

struct PointMeasurement {
    Measurement measurement;  // holes and intervals 0, loggedLength the number of points
    long long tooClose = 0;   // pairs of distinct points under step/2 apart, in no lag
};

// Throws InputError (naming `file`) when the doubles where the points lie are too far apart for
// lags of `step`, as for logs: a coordinate plus a lag would be rounded by more than a 2^-24
// part of the step; or when the distance of the last lag squared is beyond the largest number.
//   x up to 1e16, step 1 -> "points.csv: doubles at 1e+16 are 2 apart, too far for lags of 1
//                            (give the coordinates from a nearby origin)"
void checkPointPrecision(const Points& points, const PointLags& lags, std::string_view file);

// Summaries per class: proportion the share of the points, length and runs the count (a point
// weighs one and joins no other into a run), mean_length 1.
// The points are sorted into cells of half the reach, (maxLag + 1/2) step, and each is paired
// only with the points of the cells around it, so the work grows with the pairs in reach rather
// than with the square of the points. Progress is told in points done of all the points.
PointMeasurement measurePoints(const Points& points, const PointLags& lags, const ProgressFn& progress = {});

}  // namespace reduz::fit
