#pragma once
// The beds of the holes, counted in the direction measured: each run is a bed, the run after it
// (before it, measured backward) without a gap is the bed it passes to.
//
//   one hole, sand [0, 2) clay [2, 5) sand [5, 6), down:
//     transitions sand->clay 1, clay->sand 1; whole {clay 3}; cut {sand 1}
//   the same up: the sand [5, 6) is the first bed (neither whole nor cut), clay whole, sand [0, 2) cut
//   a gap between two runs cuts the bed before it and hides the top of the bed after it

#include "fit/base/beds.hpp"
#include "fit/measuring/logs.hpp"

namespace reduz::fit {

Beds bedsOf(const Logs& logs, bool backward);

}  // namespace reduz::fit
