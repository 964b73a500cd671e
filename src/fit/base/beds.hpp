#pragma once
// The beds of a log set as the families fitted from bed lengths take them: every run of a class
// in a hole is a bed, and the run after it in the same hole, without a gap, is the bed it passes
// to. Lengths are in the logs' own units, the units of the curves' distances.
//
//   one hole, sand [0, 2) clay [2, 5) sand [5, 6), then the hole ends:
//     loggedLength {sand 3, clay 3}; transitions sand->clay 1, clay->sand 1
//     whole {clay: 3}: its top and its base are logged
//     cut   {sand: 1}: the last sand's top is logged, its base cut by the hole's end
//     the first sand, whose top the hole's top cuts, is neither whole nor cut: how thick it was
//     above the hole is not known (its length still counts in loggedLength)

#include <vector>

namespace reduz::fit {

struct Beds {
    int classes = 0;
    std::vector<double> loggedLength;         // by class: the length of every run of it
    std::vector<long long> transitions;       // [from * classes + to]: a bed of `from` followed by one of `to`
    std::vector<std::vector<double>> whole;   // by class: beds with both ends logged
    std::vector<std::vector<double>> cut;     // by class: beds with their top logged, their base cut by the
                                              // hole's end or a gap (a length that is at least so much)
};

}  // namespace reduz::fit
