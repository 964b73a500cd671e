// Lateral curves between boreholes: two holes counted by hand, each way and at two elevations;
// the lengths found through the collars' cells against every pair of holes and every pair of
// their runs taken in turn; and holes far apart measured in parts adding up to the whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fit/measuring/interval_csv.hpp"
#include "fit/measuring/lateral.hpp"
#include "fit/measuring/run_pairs.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

struct HandCase {
    const char* name;
    const char* csv;
    std::optional<Cone> cone;
    std::vector<std::vector<double>> lengths;  // L_ij per lag from 0: sand->sand, sand->clay, clay->sand, clay->clay
    long long tooClose;
};

// BH1 at (0, 0): sand 0-2, clay 2-5. BH2 at (10, 0): clay 0-1, sand 1-4. BH1 to BH2 meet at
// elevations -2..-1 sand-sand, -1..0 sand-clay, -4..-2 clay-sand.
const char* const twoHoles = "hole,x,y,from,to,class\nBH1,0,0,0,2,sand\nBH1,0,0,2,5,clay\n"
                             "BH2,10,0,0,1,clay\nBH2,10,0,1,4,sand\n";
// BH2's collar a metre higher: its sand at -3..0 meets BH1's sand 2 and its clay 1.
const char* const raised = "hole,x,y,elevation,from,to,class\nBH1,0,0,0,0,2,sand\nBH1,0,0,0,2,5,clay\n"
                           "BH2,10,0,1,0,1,clay\nBH2,10,0,1,1,4,sand\n";
// BH3 4 from BH1, under half a step: too close for any lag. Decimal depths stay as written.
const char* const tooClose = "hole,x,y,from,to,class\nBH1,0,0,0,0.1,sand\nBH1,0,0,0.1,0.3,clay\n"
                             "BH3,0,4,0,0.2,sand\n";

const HandCase handCases[] = {
    {"every direction", twoHoles, std::nullopt, {{5, 0, 0, 4}, {2, 3, 3, 0}}, 0},
    {"east within 45", twoHoles, Cone{90, 45, {}}, {{5, 0, 0, 4}, {1, 1, 2, 0}}, 0},
    {"west within 45", twoHoles, Cone{270, 45, {}}, {{5, 0, 0, 4}, {1, 2, 1, 0}}, 0},
    {"north within 45", twoHoles, Cone{0, 45, {}}, {{5, 0, 0, 4}, {0, 0, 0, 0}}, 0},
    {"raised, east within 45", raised, Cone{90, 45, {}}, {{5, 0, 0, 4}, {2, 0, 1, 0}}, 0},
    {"too close", tooClose, std::nullopt, {{0.3, 0, 0, 0.2}, {0, 0, 0, 0}}, 1},
};

TEST(Lateral, HandCheckedLengths) {
    for (const HandCase& c : handCases) {
        SCOPED_TRACE(c.name);
        const Logs logs = readIntervalLogs(c.csv, "logs.csv", ColumnNames{}, true);
        const LateralMeasurement lm = measureLateral(logs, PointLags{10, 1, c.cone}, "logs.csv");
        const Measurement& m = lm.measurement;
        const std::size_t values = c.lengths.size() * 4;
        ASSERT_EQ(m.pairLengths.size(), values);
        for (std::size_t v = 0; v < values; ++v) {
            EXPECT_EQ(m.pairLengths[v], c.lengths[v / 4][v % 4]) << "lag " << v / 4 << ", pair " << v % 4;
        }
        EXPECT_EQ(lm.tooClose, c.tooClose);
        EXPECT_EQ(m.supports[2], m.pairLengths[4] + m.pairLengths[5]);
    }
}

// Holes on whole coordinates, logged in whole metres of three classes with gaps.
Logs randomHoles(std::mt19937& bits, int holes, int spread, int offset) {
    const auto below = [&](int n) { return static_cast<int>(bits() % static_cast<unsigned>(n)); };
    std::string csv = "hole,x,y,elevation,from,to,class\n";
    for (int h = 0; h < holes; ++h) {
        std::string collar = std::to_string(offset + below(spread));
        collar += ",";
        collar += std::to_string(below(spread));
        collar += ",";
        collar += std::to_string(below(5));
        for (int depth = 0; depth < 30;) {
            const int to = depth + 1 + below(4);
            if (below(5) != 0) {
                csv += "H";
                csv += std::to_string(offset * 1000 + h);
                csv += "," + collar + "," + std::to_string(depth) + "," + std::to_string(to) + ",";
                csv += static_cast<char>('a' + below(3));
                csv += "\n";
            }
            depth = to;
        }
    }
    Logs logs = readIntervalLogs(csv, "logs.csv", ColumnNames{}, true);
    // The classes in the order of their names, whichever a set of holes names first.
    std::vector<int> code(logs.classes.size());
    for (std::size_t c = 0; c < code.size(); ++c) code[c] = logs.classes[c][0] - 'a';
    for (Hole& hole : logs.holes) {
        for (Run& run : hole.runs) run.code = code[static_cast<std::size_t>(run.code)];
    }
    std::sort(logs.classes.begin(), logs.classes.end());
    return logs;
}

// Whether b lies within the cone from a, d apart.
bool alongCone(const std::optional<Cone>& cone, double dx, double dy, double d) {
    if (!cone) return true;
    const double toRadians = std::numbers::pi / 180;
    const double along = dx * std::sin(cone->azimuth * toRadians) + dy * std::cos(cone->azimuth * toRadians);
    return along >= d * std::cos(cone->tolerance * toRadians) - 1e-9;
}

// Every ordered pair of holes and every pair of their runs, in ticks.
std::vector<std::int64_t> everyPair(const Logs& logs, const PointLags& lags) {
    const std::size_t n = logs.classes.size();
    const int tick = tickExponent(lags.step);
    std::vector<std::int64_t> ticks((static_cast<std::size_t>(lags.maxLag) + 1) * n * n, 0);
    for (const Hole& a : logs.holes) {
        for (const Hole& b : logs.holes) {
            const double dx = b.collar->x - a.collar->x, dy = b.collar->y - a.collar->y;
            const double d = std::sqrt(dx * dx + dy * dy);
            const int lag = &a == &b ? 0 : static_cast<int>(std::floor(d / lags.step + 0.5));
            if (&a != &b && (d < lags.step / 2 || lag > lags.maxLag || !alongCone(lags.cone, dx, dy, d))) continue;
            for (const Run& ra : a.runs) {
                for (const Run& rb : b.runs) {
                    const double low = std::max(a.collar->elevation - ra.to, b.collar->elevation - rb.to);
                    const double high = std::min(a.collar->elevation - ra.from, b.collar->elevation - rb.from);
                    const std::size_t i = static_cast<std::size_t>(ra.code), j = static_cast<std::size_t>(rb.code);
                    if (high > low) ticks[(static_cast<std::size_t>(lag) * n + i) * n + j] += tickOf(high - low, tick);
                }
            }
        }
    }
    return ticks;
}

TEST(Lateral, EveryPairOfHolesTakenInTurn) {
    std::mt19937 bits(20261210);
    const Logs logs = randomHoles(bits, 60, 100, 0);
    for (const std::optional<Cone>& cone : {std::optional<Cone>{}, std::optional<Cone>{Cone{30, 40, {}}}}) {
        SCOPED_TRACE(cone ? "cone" : "every direction");
        const PointLags lags{7, 6, cone};
        const Measurement m = measureLateral(logs, lags, "logs.csv").measurement;
        const std::vector<std::int64_t> expected = everyPair(logs, lags);
        ASSERT_EQ(m.pairLengths.size(), expected.size());
        for (std::size_t v = 0; v < expected.size(); ++v) EXPECT_EQ(tickOf(m.pairLengths[v], tickExponent(7)), expected[v]) << v;
    }
}

// Two fields farther apart than the last lag: their measurements add up to both's.
TEST(Lateral, FieldsFarApartAddUp) {
    std::mt19937 bits(7);
    const Logs west = randomHoles(bits, 20, 50, 0), east = randomHoles(bits, 20, 50, 200);
    Logs both = west;
    both.holes.insert(both.holes.end(), east.holes.begin(), east.holes.end());
    both.intervals += east.intervals;
    const PointLags lags{5, 10, std::nullopt};
    ASSERT_EQ(west.classes, east.classes);
    const Measurement w = measureLateral(west, lags, "w").measurement, e = measureLateral(east, lags, "e").measurement,
                      all = measureLateral(both, lags, "all").measurement;
    for (std::size_t v = 0; v < all.pairLengths.size(); ++v) EXPECT_EQ(all.pairLengths[v], w.pairLengths[v] + e.pairLengths[v]) << v;
}

TEST(Lateral, RefusesHolesWithoutCollars) {
    const Logs logs = readIntervalLogs("hole,from,to,class\nBH1,0,1,a\n", "logs.csv", ColumnNames{});
    EXPECT_EQ(testing::refusal([&] { measureLateral(logs, PointLags{10, 2, {}}, "logs.csv"); }),
              "logs.csv: hole BH1 has no collar");
    const Logs far = readIntervalLogs("hole,x,y,from,to,class\nBH1,1e16,0,0,1,a\n", "logs.csv", ColumnNames{}, true);
    EXPECT_EQ(testing::refusal([&] { measureLateral(far, PointLags{1, 2, {}}, "logs.csv"); }),
              "logs.csv: doubles at 1e+16 are 2 apart, too far for lags of 1 (give the coordinates from a nearby origin)");
}

}  // namespace
}  // namespace reduz::fit
