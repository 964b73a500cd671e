#pragma once
// Measured transiograms as a fit takes them: for each ordered pair of classes, the measured
// probability and its support at the lags 0..maxLag. They come from measured.csv (what
// `reduzfit measure` writes, or the same columns from elsewhere) or, by the commands, straight
// from a measurement.
//
//   lag,distance,from,to,probability,support
//   0,0,sand,sand,1,2            -> classes sand, clay (in the order they first appear)
//   1,0.5,sand,sand,0.5,2           pair sand->sand: lag 0 1 (support 2), lag 1 0.5 (support 2)
//   1,0.5,sand,clay,0.5,2           pair sand->clay: lag 1 0.5 (support 2); maxLag 1
//
// Without a support column every support is 1. A lag that no row gives keeps no point; its
// distance is the lag times the step of the rows (distance / lag).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reduz::fit {

// The most classes a fit takes: 65,536 pairs, each fitted with every candidate shape.
inline constexpr std::size_t mostFitClasses = 256;

struct MeasuredPoint {
    int lag = 0;
    double probability = 0;
    double support = 0;
};

struct MeasuredCurves {
    std::vector<std::string> classes;
    std::vector<double> proportions;  // by class; empty until known (classes.csv, a measurement)
    int maxLag = 0;                   // N: lags 1..N are fitted and tabulated
    std::vector<double> distances;    // by lag, 0..N
    std::vector<std::vector<MeasuredPoint>> pairs;  // [from * classes + to], in lag order
};

const std::vector<MeasuredPoint>& curveOf(const MeasuredCurves& curves, int from, int to);

// Rows above maxLag are passed over; without it, N is the largest lag given, which must be at
// most 1000. Throws InputError naming `file`, the line and the column: a class past the
// mostFitClasses-th (before the pairs take memory), a missing column, a value
// that is not a number, a probability outside [0, 1], a support below 0, a pair given twice at
// one lag, no lag above 0, a step (the first row above lag 0: its distance over its lag) that
// puts a lag no row gives beyond the largest number.
MeasuredCurves readMeasuredCsv(std::string_view text, std::string_view file, std::optional<int> maxLag);

// Each class's share of the logged length: the proportions where they are known, else the
// supports of the auto-curves at lag 0 over their sum (equal shares where none is given).
std::vector<double> sharesOf(const MeasuredCurves& curves);

// Each class's proportion from classes.csv (columns class and proportion; others ignored).
// Throws InputError for a class of the curves that the file does not give, and for a class it
// gives twice.
void readProportions(MeasuredCurves& curves, std::string_view text, std::string_view file);

}  // namespace reduz::fit
