#include "fit/measuring/logs.hpp"

namespace reduz::fit {

void appendInterval(Hole& hole, double from, double to, int code) {
    if (!hole.runs.empty() && hole.runs.back().code == code && hole.runs.back().to == from) {
        hole.runs.back().to = to;
        return;
    }
    hole.runs.push_back(Run{from, to, code});
}

}  // namespace reduz::fit
