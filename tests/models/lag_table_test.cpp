#include "models/lag_table.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "models/gamma.hpp"

namespace reduz {
namespace {

ModelParameters shape(std::int32_t kind, std::int32_t model) {
    ModelParameters p;
    p.kind = kind;
    p.model = model;
    p.sill = 0.25;
    p.range = 25.0;
    p.maxLag = 30;
    p.D = 0.23749999701976776;  // the default: sill * 0.95 in single precision
    p.C = 1.0;
    p.W = 1.0;
    p.ALFA = 2.0;
    p.BETA = 1.0;
    return p;
}

struct ValueRow {
    std::int32_t kind, model;
    double at0, at1, at10, at25, at30;  // rounded to four decimals
};

// Sill 0.25, range 25.
TEST(LagTable, ValuesOfTheShapes) {
    const ValueRow rows[] = {
        {1, 1, 1.0000, 0.9700, 0.7000, 0.2500, 0.2500},
        {1, 2, 1.0000, 0.9550, 0.5740, 0.2500, 0.2500},
        {1, 3, 1.0000, 0.9152, 0.4759, 0.2873, 0.2705},
        {1, 4, 1.0000, 0.9964, 0.7141, 0.2873, 0.2600},
        {1, 6, 1.0000, 0.9970, 0.7409, 0.2500, 0.3216},
        {1, 7, 1.0000, 0.7749, 0.4637, 0.2247, 0.2612},
        {2, 1, 0.0000, 0.0100, 0.1000, 0.2500, 0.2500},
        {2, 2, 0.0000, 0.0150, 0.1420, 0.2500, 0.2500},
        {2, 3, 0.0000, 0.0283, 0.1747, 0.2376, 0.2432},
        {2, 6, 0.0000, 0.0010, 0.0864, 0.2500, 0.2261},
        {2, 9, 0.0000, 0.0379, 0.2417, 0.3295, 0.3335},
        {2, 11, 0.0000, 0.0246, 0.2090, 0.3420, 0.3404},
        {2, 12, 0.0000, 0.0384, 0.2681, 0.3679, 0.3614},
    };
    for (const ValueRow& row : rows) {
        LagTable table{};
        computeLagTable(shape(row.kind, row.model), table);
        const double expected[] = {row.at0, row.at1, row.at10, row.at25, row.at30};
        const int lags[] = {0, 1, 10, 25, 30};
        for (int i = 0; i < 5; ++i) {
            EXPECT_NEAR(table[static_cast<std::size_t>(lags[i])], expected[i], 0.5e-4)
                << "kind " << row.kind << " model " << row.model << " lag " << lags[i];
        }
    }
}

TEST(LagTable, LinearAndSphericalGiveExactlyTheSillAtTheRange) {
    for (std::int32_t kind : {1, 2}) {
        for (std::int32_t model : {1, 2}) {
            EXPECT_EQ(shapeValue(*findShape(kind, model), shape(kind, model), 25.0), 0.25) << kind << " " << model;
        }
    }
}

TEST(LagTable, PowerModelIsTheLagWithSlopeAndPowerOne) {
    for (std::int32_t kind : {1, 2}) {
        LagTable table{};
        computeLagTable(shape(kind, 8), table);
        for (int lag = 0; lag <= 30; ++lag) EXPECT_EQ(table[static_cast<std::size_t>(lag)], lag);
    }
}

TEST(LagTable, ShapesOutsideTheCatalogueStoreZero) {
    const std::int32_t cases[][2] = {{1, 9}, {1, 12}, {1, 0}, {2, 13}, {0, 3}, {3, 1}, {-1, 1}};
    for (const auto& c : cases) {
        LagTable table{};
        table.fill(7.0);
        ModelParameters p = shape(c[0], c[1]);
        computeLagTable(p, table);
        for (int lag = 0; lag <= 30; ++lag) EXPECT_EQ(table[static_cast<std::size_t>(lag)], 0.0);
        EXPECT_EQ(table[31], 7.0);
    }
}

TEST(LagTable, OnlySlotsUpToMaxLagAreTouched) {
    const std::int32_t lastLags[] = {-5, 0, 1000};
    for (std::int32_t maxLag : lastLags) {
        LagTable table{};
        table.fill(-1.0);
        ModelParameters p = shape(1, 5);
        p.maxLag = maxLag;
        computeLagTable(p, table);
        for (int lag = 0; lag <= maxTableLag; ++lag) {
            EXPECT_EQ(table[static_cast<std::size_t>(lag)], lag <= maxLag ? 0.25 : -1.0) << lag;
        }
    }
}

// The six-coefficient series, not the library's gamma function.
TEST(Gamma, LanczosSeries) {
    EXPECT_NEAR(1.0 - GAMMA(1.0), 3.4e-11, 0.1e-11);
    EXPECT_NEAR(1.0 - GAMMA(2.0), 7.8e-11, 0.2e-11);
    const double arguments[] = {0.5, 1.5, 2.5, 3.7, 10.0};
    for (double x : arguments) EXPECT_NEAR(GAMMA(x) / std::tgamma(x), 1.0, 5e-10) << x;
    EXPECT_NE(GAMMA(3.0), std::tgamma(3.0));
}

}  // namespace
}  // namespace reduz
