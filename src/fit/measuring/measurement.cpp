#include "fit/measuring/measurement.hpp"

#include <cstddef>

namespace reduz::fit {

namespace {

std::size_t classCount(const Measurement& m) { return m.classes.size(); }

}  // namespace

double lagDistance(const Measurement& m, int lag) { return lag * m.step; }

double pairLength(const Measurement& m, int lag, int from, int to) {
    const std::size_t n = classCount(m);
    return m.pairLengths[(static_cast<std::size_t>(lag) * n + static_cast<std::size_t>(from)) * n +
                         static_cast<std::size_t>(to)];
}

double support(const Measurement& m, int lag, int from) {
    return m.supports[static_cast<std::size_t>(lag) * classCount(m) + static_cast<std::size_t>(from)];
}

std::optional<double> probability(const Measurement& m, int lag, int from, int to) {
    const double total = support(m, lag, from);
    if (!(total > 0)) return std::nullopt;
    return pairLength(m, lag, from, to) / total;
}

}  // namespace reduz::fit
