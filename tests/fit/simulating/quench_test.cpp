// Quenching: a realization drawn on a random path comes closer to its model's curves, cells
// of data never change, and the draw and the quench depend on the seed alone.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fit/fitting/markov_rates.hpp"
#include "fit/simulating/quench.hpp"

namespace reduz::fit {
namespace {

SimModel twoClassChain() {
    ValidModel model;
    model.family = Family::markov;
    model.classes = 2;
    model.step = 1;
    model.maxLag = 10;
    model.markov = markovChainOf(2, {-0.2, 0.2, 0.1, -0.1});
    return simModel(model, model, 1, 1);
}

TEST(Quench, BringsTheCurvesCloserAndLeavesTheData) {
    const SimGrid grid{80, 60, 1, 1, 1, 1, 0, 0, 0, ""};
    const SimModel model = twoClassChain();
    KnownCells known(80 * 60, -1);
    for (std::size_t c = 0; c < known.size(); c += 97) known[c] = static_cast<int>(c % 2);
    std::vector<std::uint8_t> cells = simulateRealization(grid, model, known, 3);
    EXPECT_EQ(cells, simulateRealization(grid, model, known, 3));
    std::vector<std::uint8_t> again = cells;
    const QuenchSummary q = quenchRealization(grid, model, known, cells, 3, 10, 1);
    EXPECT_GT(q.changes, 0);
    EXPECT_LT(q.after, q.before / 10);
    for (std::size_t c = 0; c < known.size(); ++c) {
        if (known[c] >= 0) {
            EXPECT_EQ(cells[c], known[c]) << c;
        }
    }
    quenchRealization(grid, model, known, again, 3, 10, 1);
    EXPECT_EQ(again, cells);
}

}  // namespace
}  // namespace reduz::fit
