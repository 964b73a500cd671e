// gnuplot run on a panel's script that does not end: killed at the limit, and the panel is not
// drawn, with the reason the summary gives.

#include <gtest/gtest.h>

#include "fit/fitting/panel_plot.hpp"
#include "support/process.hpp"

namespace reduz::fit {
namespace {

TEST(PanelPlot, GnuplotIsKilledAtTheLimit) {
    if (!reduz::testing::installed("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    const Drawing drawing = drawPanel("pause 60\n", 1, std::chrono::seconds(1));
    EXPECT_FALSE(drawing.drawn);
    EXPECT_EQ(drawing.png, "");
    EXPECT_EQ(drawing.why, "gnuplot took more than 1 s");
}

}  // namespace
}  // namespace reduz::fit
