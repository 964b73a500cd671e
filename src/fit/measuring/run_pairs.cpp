#include "fit/measuring/run_pairs.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace reduz::fit {

namespace {

std::size_t slot(const PairTally& t, int from, int to, int lag) {
    return (static_cast<std::size_t>(from) * static_cast<std::size_t>(t.classes) + static_cast<std::size_t>(to)) *
               (static_cast<std::size_t>(t.maxLag) + 1) +
           static_cast<std::size_t>(lag);
}

// The first lag whose shift lies beyond t; maxLag + 1 when none does.
int firstLagBeyond(const PairTally& t, std::int64_t at) {
    if (at < 0) return 0;
    if (t.perLag > 0) return at >= t.shifts.back() ? t.maxLag + 1 : static_cast<int>(at / t.perLag) + 1;
    const std::vector<std::int64_t>& s = t.shifts;
    const std::int64_t farthest = s.back();
    if (at >= farthest) return t.maxLag + 1;
    // The shifts grow by a lag's ticks, within one of it: start from the quotient.
    const double perLag = t.maxLag > 0 ? static_cast<double>(s[1]) : 1.0;
    int k = std::clamp(static_cast<int>(static_cast<double>(at) / perLag), 0, t.maxLag);
    while (k > 0 && s[static_cast<std::size_t>(k) - 1] > at) --k;
    while (s[static_cast<std::size_t>(k)] <= at) ++k;
    return k;
}

// sign R(s - at) from the first lag beyond `at` on.
void addRamp(PairTally& t, std::size_t base, std::int64_t at, std::uint64_t sign) {
    const int k = firstLagBeyond(t, at);
    if (k > t.maxLag) return;
    t.starts[base + static_cast<std::size_t>(k)] += sign;
    t.offsets[base + static_cast<std::size_t>(k)] += sign * static_cast<std::uint64_t>(at);
}

// Whether `later` can hold a partner of some position of `earlier` within the farthest lag.
bool withinReach(const PairTally& t, const TickRun& earlier, const TickRun& later) {
    return later.from - earlier.to < t.shifts.back();
}

}  // namespace

namespace {

// 10^e for |e| up to 308; powers of 10 to 10^22 are exact doubles.
double powerOfTen(int e) { return std::pow(10.0, e); }

}  // namespace

int tickExponent(double step) {
    int e = static_cast<int>(std::floor(std::log10(step)));
    // log10 may round across a power of 10
    while (powerOfTen(e + 1) <= step) ++e;
    while (powerOfTen(e) > step) --e;
    return e - 5;
}

std::int64_t tickOf(double position, int exponent) {
    // Multiplying or dividing by an exact power of 10 rounds once, as the written decimal would.
    const double ticks = exponent < 0 ? position * powerOfTen(-exponent) : position / powerOfTen(exponent);
    return static_cast<std::int64_t>(std::llround(ticks));
}

double lengthOfTicks(std::int64_t ticks, int exponent) {
    const double t = static_cast<double>(ticks);
    return exponent < 0 ? t / powerOfTen(-exponent) : t * powerOfTen(exponent);
}

PairTally pairTally(int classes, int maxLag, double step, int exponent) {
    PairTally t;
    t.maxLag = maxLag;
    for (int k = 0; k <= maxLag; ++k) t.shifts.push_back(tickOf(k * step, exponent));
    bool uniform = maxLag > 0;
    for (std::size_t k = 0; k < t.shifts.size() && uniform; ++k) uniform = t.shifts[k] == static_cast<std::int64_t>(k) * t.shifts[1];
    t.perLag = uniform ? t.shifts[1] : 0;
    growClasses(t, classes);
    return t;
}

void growClasses(PairTally& t, int count) {
    if (count <= t.classes) return;
    PairTally grown;
    grown.maxLag = t.maxLag;
    grown.classes = count;
    grown.shifts = std::move(t.shifts);
    grown.perLag = t.perLag;
    const std::size_t size = static_cast<std::size_t>(count) * static_cast<std::size_t>(count) * (static_cast<std::size_t>(t.maxLag) + 1);
    grown.starts.assign(size, 0);
    grown.offsets.assign(size, 0);
    for (int i = 0; i < t.classes; ++i) {
        for (int j = 0; j < t.classes; ++j) {
            std::copy_n(t.starts.begin() + static_cast<std::ptrdiff_t>(slot(t, i, j, 0)), t.maxLag + 1,
                        grown.starts.begin() + static_cast<std::ptrdiff_t>(slot(grown, i, j, 0)));
            std::copy_n(t.offsets.begin() + static_cast<std::ptrdiff_t>(slot(t, i, j, 0)), t.maxLag + 1,
                        grown.offsets.begin() + static_cast<std::ptrdiff_t>(slot(grown, i, j, 0)));
        }
    }
    t = std::move(grown);
}

void addRunPair(PairTally& t, const TickRun& a, const TickRun& b) {
    assert(b.from >= a.from && a.code < t.classes && b.code < t.classes);
    const std::size_t base = slot(t, a.code, b.code, 0);
    constexpr std::uint64_t plus = 1, minus = ~std::uint64_t{0};  // -1 modulo 2^64
    addRamp(t, base, b.from - a.to, plus);
    addRamp(t, base, b.from - a.from, minus);
    addRamp(t, base, b.to - a.to, minus);
    addRamp(t, base, b.to - a.from, plus);
}

void addHole(PairTally& t, std::span<const TickRun> runs) {
    for (std::size_t a = 0; a < runs.size(); ++a) {
        for (std::size_t b = a; b < runs.size() && withinReach(t, runs[a], runs[b]); ++b) addRunPair(t, runs[a], runs[b]);
    }
}

void addRun(PairTally& t, OpenHole& hole, const TickRun& run) {
    std::vector<TickRun>& window = hole.window;
    // The runs out of reach of this one are out of reach of every later one too.
    const auto kept = std::find_if(window.begin(), window.end(), [&](const TickRun& r) { return withinReach(t, r, run); });
    window.erase(window.begin(), kept);
    for (const TickRun& earlier : window) addRunPair(t, earlier, run);
    addRunPair(t, run, run);
    window.push_back(run);
}

std::vector<std::int64_t> tickLengthsOf(const PairTally& t, bool backward) {
    const std::size_t n = static_cast<std::size_t>(t.classes);
    std::vector<std::int64_t> lengths((static_cast<std::size_t>(t.maxLag) + 1) * n * n, 0);
    for (int i = 0; i < t.classes; ++i) {
        for (int j = 0; j < t.classes; ++j) {
            std::uint64_t count = 0, offset = 0;
            const std::size_t base = slot(t, i, j, 0);
            for (int k = 0; k <= t.maxLag; ++k) {
                count += t.starts[base + static_cast<std::size_t>(k)];
                offset += t.offsets[base + static_cast<std::size_t>(k)];
                const std::uint64_t ticks = static_cast<std::uint64_t>(t.shifts[static_cast<std::size_t>(k)]) * count - offset;
                const std::size_t from = static_cast<std::size_t>(backward ? j : i), to = static_cast<std::size_t>(backward ? i : j);
                lengths[(static_cast<std::size_t>(k) * n + from) * n + to] = static_cast<std::int64_t>(ticks);
            }
        }
    }
    return lengths;
}

}  // namespace reduz::fit
