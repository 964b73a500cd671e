// Scattered points: five points counted by hand in every direction and along cones, the counts
// found through the cells against every pair taken in turn, and the two halves of a cone of 90
// degrees adding up to every direction.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "fit/measuring/point_csv.hpp"
#include "fit/measuring/points.hpp"

namespace reduz::fit {
namespace {

struct HandCase {
    const char* name;
    const char* csv;
    std::optional<Cone> cone;
    std::vector<std::vector<double>> counts;  // L_ij per lag from 0: sand->sand, sand->clay, clay->sand, clay->clay
    long long tooClose;
};

// A (0,0) sand, B (1,0) clay, C (0,1) clay, D (0,0.3) sand (0.3 from A: too close), E (2,1) sand.
// Lag 1: A-B, A-C, B-C, B-D, B-E, C-D; lag 2: A-E, C-E, D-E. B-C and B-E lie at 45 degrees.
const char* const plane = "x,y,class\n0,0,sand\n1,0,clay\n0,1,clay\n0,0.3,sand\n2,1,sand\n";
// A (0,0,0) sand, B 1 below A clay, C (1,0,0) clay, D 2 below A sand, E (3,0,0) sand.
// Lag 1: A-B, A-C, B-C (45 degrees up from B), B-D; lag 2: A-D, C-D, C-E.
const char* const space = "x,y,z,class\n0,0,0,sand\n0,0,-1,clay\n1,0,0,clay\n0,0,-2,sand\n3,0,0,sand\n";

const HandCase handCases[] = {
    {"plane, every direction", plane, std::nullopt, {{3, 0, 0, 2}, {0, 5, 5, 2}, {4, 1, 1, 0}}, 1},
    // C->B and B->E stand on the cone's edge, 45 degrees off east, and count
    {"plane, east within 45", plane, Cone{90, 45, {}}, {{3, 0, 0, 2}, {0, 2, 1, 1}, {2, 0, 1, 0}}, 1},
    {"plane, west within 45", plane, Cone{270, 45, {}}, {{3, 0, 0, 2}, {0, 1, 2, 1}, {2, 1, 0, 0}}, 1},
    {"plane, north within 30", plane, Cone{0, 30, {}}, {{3, 0, 0, 2}, {0, 2, 0, 0}, {0, 0, 0, 0}}, 1},
    {"space, every direction", space, std::nullopt, {{3, 0, 0, 2}, {0, 3, 3, 2}, {2, 2, 2, 0}}, 0},
    {"space, down within 30", space, Cone{0, 30, 90.0}, {{3, 0, 0, 2}, {0, 1, 1, 0}, {1, 0, 1, 0}}, 0},
    // no dip in space is the horizontal: B-C, 45 degrees up, is outside
    {"space, east within 30", space, Cone{90, 30, {}}, {{3, 0, 0, 2}, {0, 1, 0, 0}, {0, 0, 1, 0}}, 0},
};

TEST(Points, HandCheckedCounts) {
    for (const HandCase& c : handCases) {
        SCOPED_TRACE(c.name);
        const Points points = readPointCsv(c.csv, "points.csv", PointColumns{});
        ASSERT_EQ(points.classes, (std::vector<std::string>{"sand", "clay"}));
        const PointMeasurement pm = measurePoints(points, PointLags{1, 2, c.cone});
        const std::size_t values = c.counts.size() * 4;
        ASSERT_EQ(pm.measurement.pairLengths.size(), values);
        for (std::size_t v = 0; v < values; ++v) {
            EXPECT_EQ(pm.measurement.pairLengths[v], c.counts[v / 4][v % 4]) << "lag " << v / 4 << ", pair " << v % 4;
        }
        EXPECT_EQ(pm.tooClose, c.tooClose);
        for (int lag = 0; lag <= 2; ++lag) {
            for (int from = 0; from < 2; ++from) {
                EXPECT_EQ(support(pm.measurement, lag, from),
                          pairLength(pm.measurement, lag, from, 0) + pairLength(pm.measurement, lag, from, 1));
            }
        }
    }
}

Points randomPoints(int count, bool withZ, double side, double origin, bool whole, unsigned seed) {
    std::mt19937_64 bits(seed);
    std::uniform_real_distribution<double> along(0, side);
    Points points{{"a", "b", "c"}, {}, withZ};
    for (int p = 0; p < count; ++p) {
        const auto at = [&] { return origin + (whole ? std::floor(along(bits)) : along(bits)); };
        Point point{at(), at(), withZ ? at() : 0, static_cast<int>(bits() % 3)};
        points.points.push_back(point);
    }
    return points;
}

// Two clusters 100,000 apart, one with its points doubled.
Points clusters() {
    Points points = randomPoints(150, false, 10, 0, false, 10);
    for (int p = 0; p < 150; ++p) {
        Point far = points.points[static_cast<std::size_t>(p)];
        far.x += 1e5;
        points.points.push_back(far);
        points.points.push_back(far);
    }
    return points;
}

// Every pair in turn, binned by rounding d / step, a cone by the angle itself.
PointMeasurement everyPair(const Points& points, const PointLags& lags) {
    const std::size_t n = points.classes.size();
    PointMeasurement pm;
    std::vector<double>& counts = pm.measurement.pairLengths;
    counts.assign((static_cast<std::size_t>(lags.maxLag) + 1) * n * n, 0);
    const auto add = [&](long long lag, int from, int to) {
        counts[(static_cast<std::size_t>(lag) * n + static_cast<std::size_t>(from)) * n + static_cast<std::size_t>(to)] += 1;
    };
    double axis[3] = {0, 0, 0};
    if (lags.cone) {
        const double a = lags.cone->azimuth * std::numbers::pi / 180, d = lags.cone->dip.value_or(0) * std::numbers::pi / 180;
        axis[0] = std::sin(a) * std::cos(d);
        axis[1] = std::cos(a) * std::cos(d);
        axis[2] = -std::sin(d);
    }
    for (const Point& p : points.points) add(0, p.code, p.code);
    for (std::size_t i = 0; i < points.points.size(); ++i) {
        for (std::size_t j = i + 1; j < points.points.size(); ++j) {
            const Point &a = points.points[i], &b = points.points[j];
            const double v[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
            const double distance = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            const long long lag = static_cast<long long>(std::floor(distance / lags.step + 0.5));
            if (lag == 0) ++pm.tooClose;
            if (lag == 0 || lag > lags.maxLag) continue;
            if (!lags.cone) {
                add(lag, a.code, b.code);
                add(lag, b.code, a.code);
                continue;
            }
            const double cosine = std::clamp((v[0] * axis[0] + v[1] * axis[1] + v[2] * axis[2]) / distance, -1.0, 1.0);
            const double degrees = std::acos(cosine) * 180 / std::numbers::pi;
            if (degrees <= lags.cone->tolerance + 1e-7) add(lag, a.code, b.code);
            if (180 - degrees <= lags.cone->tolerance + 1e-7) add(lag, b.code, a.code);
        }
    }
    return pm;
}

TEST(Points, CellsFindEveryPair) {
    struct Case {
        const char* name;
        Points points;
        PointLags lags;
    };
    const Case cases[] = {
        {"plane, every direction", randomPoints(300, false, 100, -50, false, 1), {3, 20, std::nullopt}},
        {"plane, a cone", randomPoints(300, false, 100, 0, false, 2), {3, 20, Cone{30, 20, {}}}},
        {"space, every direction", randomPoints(300, true, 50, 0, false, 3), {2.5, 15, std::nullopt}},
        {"space, a dipping cone", randomPoints(300, true, 50, -25, false, 4), {2.5, 15, Cone{200, 25, 40.0}}},
        {"two clusters far apart", clusters(), {1, 8, std::nullopt}},
        {"far from the origin", randomPoints(300, false, 1000, 5e6, false, 5), {10, 30, Cone{120, 45, {}}}},
        // whole coordinates: duplicates, distances on the lags' edges, pairs on the cone's edge
        {"whole, every direction", randomPoints(400, false, 20, 0, true, 6), {2, 6, std::nullopt}},
        {"whole, a cone", randomPoints(400, false, 20, 0, true, 7), {2, 6, Cone{0, 45, {}}}},
        {"whole, space", randomPoints(400, true, 8, 0, true, 8), {1, 6, Cone{90, 45, 45.0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PointMeasurement cells = measurePoints(c.points, c.lags);
        const PointMeasurement brute = everyPair(c.points, c.lags);
        EXPECT_EQ(cells.measurement.pairLengths, brute.measurement.pairLengths);
        EXPECT_EQ(cells.tooClose, brute.tooClose);
    }
}

// At tolerance 90 a direction and its opposite take every pair once between them, as every
// direction takes it both ways (no pair of random points lies square across the axis).
TEST(Points, OppositeHalvesMakeEveryDirection) {
    struct Case {
        bool withZ;
        Cone cone, opposite;
    };
    const Case cases[] = {
        {false, {0, 90, {}}, {180, 90, {}}},
        {false, {37.5, 90, {}}, {217.5, 90, {}}},
        {true, {90, 90, 30.0}, {270, 90, -30.0}},
        {true, {300, 90, {}}, {120, 90, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cone.azimuth);
        const Points points = randomPoints(400, c.withZ, 60, 0, false, 9);
        const std::vector<double> every = measurePoints(points, {2, 25, std::nullopt}).measurement.pairLengths;
        std::vector<double> halves = measurePoints(points, {2, 25, c.cone}).measurement.pairLengths;
        const std::vector<double> other = measurePoints(points, {2, 25, c.opposite}).measurement.pairLengths;
        for (std::size_t v = 0; v < halves.size(); ++v) halves[v] += v < 9 ? 0 : other[v];  // lag 0 once
        EXPECT_EQ(halves, every);
    }
}

}  // namespace
}  // namespace reduz::fit
