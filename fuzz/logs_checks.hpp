#pragma once
// The rules every reader of logs keeps, checked by the fuzz targets of both.

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "fit/measuring/logs.hpp"
#include "reader_fuzzing.hpp"

namespace reduz::fuzz {

// What every reader of logs delivers (logs.hpp): at least one interval; only holes with runs;
// each hole's runs finite, each with from below to, in order along the hole, never
// overlapping, a run of one class never continued by another run of that class; every code a
// class and every class used; no more runs than intervals read.
inline void checkLogs(const fit::Logs& logs) {
    if (logs.classes.empty() || logs.holes.empty() || logs.intervals < 1) finding("logs read without an interval");
    checkClassNames(logs.classes);
    std::vector<bool> used(logs.classes.size(), false);
    long long runs = 0;
    for (const fit::Hole& hole : logs.holes) {
        if (hole.runs.empty()) finding("a hole without runs");
        for (std::size_t r = 0; r < hole.runs.size(); ++r) {
            const fit::Run& run = hole.runs[r];
            if (!std::isfinite(run.from) || !std::isfinite(run.to)) finding("a run that is not finite");
            if (!(run.from < run.to)) finding("a run whose from is not below its to");
            if (run.code < 0 || static_cast<std::size_t>(run.code) >= logs.classes.size()) finding("a code out of range");
            used[static_cast<std::size_t>(run.code)] = true;
            if (r == 0) continue;
            const fit::Run& before = hole.runs[r - 1];
            if (run.from < before.to) finding("runs out of order or overlapping");
            if (run.from == before.to && run.code == before.code) finding("a run continued by one of its class");
        }
        runs += static_cast<long long>(hole.runs.size());
    }
    for (std::size_t c = 0; c < used.size(); ++c) {
        if (!used[c]) finding("a class no run has: " + logs.classes[c]);
    }
    if (logs.intervals < runs) finding("more runs than intervals read");
}

}  // namespace reduz::fuzz
