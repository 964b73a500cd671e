// Which cell holds a place: a map's and a block's faces, inside on the west, north and top,
// outside on the east, south and bottom, as a borehole's depth from its collar lands.

#include <gtest/gtest.h>

#include <optional>

#include "fit/simulating/sim_grid.hpp"

namespace reduz::fit {
namespace {

TEST(CellAt, FacesOfAMapAndOfABlock) {
    // 3 x 2 cells of 10, 4 layers of 1 from 0 up to 4
    const SimGrid map{3, 2, 1, 10, 10, 1, 0, 0, 0, ""};
    const SimGrid block{3, 2, 4, 10, 10, 1, 0, 0, 0, ""};
    struct Case {
        const SimGrid* grid;
        double x, y, z;
        std::optional<std::size_t> cell;
    };
    const Case cases[] = {
        {&map, 25, 5, 0, 5},            // column 2, row 1
        {&map, 0, 20, 0, 0},            // the north-west corner, inside
        {&map, 30, 5, 0, std::nullopt}, // the east edge, outside
        {&map, 5, 0, 0, std::nullopt},  // the south edge, outside
        {&map, 5, 5, -70, 3},           // a map holds every z
        {&block, 25, 5, 3.5, 5},        // the top layer
        {&block, 25, 5, 0.5, 23},       // layer 3, the lowest
        {&block, 25, 5, 4, 5},          // the top face, inside
        {&block, 25, 5, 0, std::nullopt},    // the bottom face, outside
        {&block, 25, 5, 4.01, std::nullopt}, // above
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cellAt(*c.grid, c.x, c.y, c.z), c.cell) << c.x << " " << c.y << " " << c.z;
    }
    EXPECT_EQ(cellAt(block, 25, 5), std::optional<std::size_t>(5)) << "a place without z: the top layer";
}

}  // namespace
}  // namespace reduz::fit
