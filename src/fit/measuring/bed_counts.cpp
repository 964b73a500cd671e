#include "fit/measuring/bed_counts.hpp"

#include <cstddef>

namespace reduz::fit {

Beds bedsOf(const Logs& logs, bool backward) {
    const int n = static_cast<int>(logs.classes.size());
    Beds beds;
    beds.classes = n;
    beds.loggedLength.assign(static_cast<std::size_t>(n), 0.0);
    beds.transitions.assign(static_cast<std::size_t>(n * n), 0);
    beds.whole.resize(static_cast<std::size_t>(n));
    beds.cut.resize(static_cast<std::size_t>(n));
    for (const Hole& hole : logs.holes) {
        const std::size_t count = hole.runs.size();
        for (std::size_t k = 0; k < count; ++k) {
            // In the order measured: k-th bed from the hole's start in that direction.
            const Run& run = hole.runs[backward ? count - 1 - k : k];
            const Run* before = k == 0 ? nullptr : &hole.runs[backward ? count - k : k - 1];
            const Run* after = k + 1 == count ? nullptr : &hole.runs[backward ? count - 2 - k : k + 1];
            const auto joins = [](const Run& upper, const Run& lower) { return upper.to == lower.from; };
            const bool topLogged = before != nullptr && (backward ? joins(run, *before) : joins(*before, run));
            const bool baseLogged = after != nullptr && (backward ? joins(*after, run) : joins(run, *after));
            const std::size_t code = static_cast<std::size_t>(run.code);
            const double length = run.to - run.from;
            beds.loggedLength[code] += length;
            if (baseLogged) ++beds.transitions[code * static_cast<std::size_t>(n) + static_cast<std::size_t>(after->code)];
            if (!topLogged) continue;
            (baseLogged ? beds.whole : beds.cut)[code].push_back(length);
        }
    }
    return beds;
}

}  // namespace reduz::fit
