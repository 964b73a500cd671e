// The beds of the holes as the families fitted from beds take them: which are whole, which cut,
// and which bed passes to which, down and up, across gaps and holes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fit/measuring/bed_counts.hpp"

namespace reduz::fit {
namespace {

struct BedCase {
    const char* what;
    std::vector<std::vector<fit::Run>> holes;  // classes sand 0, clay 1
    bool backward;
    std::vector<double> loggedLength;
    std::vector<long long> transitions;  // sand->sand, sand->clay, clay->sand, clay->clay
    std::vector<std::vector<double>> whole;
    std::vector<std::vector<double>> cut;
};

TEST(BedCounts, WholeCutAndPassedTo) {
    const fit::Run sand02{0, 2, 0}, clay25{2, 5, 1}, sand56{5, 6, 0};
    const BedCase cases[] = {
        {"down: the first bed is neither, the last cut", {{sand02, clay25, sand56}}, false, {3, 3}, {0, 1, 1, 0}, {{}, {3}}, {{1}, {}}},
        {"up: the same beds from the other end", {{sand02, clay25, sand56}}, true, {3, 3}, {0, 1, 1, 0}, {{}, {3}}, {{2}, {}}},
        {"a gap cuts the bed above it and hides the top of the one below",
         {{sand02, {2, 4, 1}, {4.5, 7, 0}, {7, 8, 1}}}, false, {4.5, 3}, {0, 2, 0, 0}, {{}, {}}, {{}, {2, 1}}},
        {"a hole of one bed: neither whole nor cut", {{{0, 9, 1}}}, false, {0, 9}, {0, 0, 0, 0}, {{}, {}}, {{}, {}}},
        {"holes apart: no bed passes from one to the next", {{sand02}, {clay25, sand56}}, false, {3, 3}, {0, 0, 1, 0},
         {{}, {}}, {{1}, {}}},
    };
    for (const BedCase& c : cases) {
        SCOPED_TRACE(c.what);
        Logs logs{{"sand", "clay"}, {}, 0};
        for (const std::vector<fit::Run>& runs : c.holes) logs.holes.push_back(Hole{"hole", runs, {}});
        const Beds beds = bedsOf(logs, c.backward);
        EXPECT_EQ(beds.classes, 2);
        EXPECT_EQ(beds.loggedLength, c.loggedLength);
        EXPECT_EQ(beds.transitions, c.transitions);
        EXPECT_EQ(beds.whole, c.whole);
        EXPECT_EQ(beds.cut, c.cut);
    }
}

}  // namespace
}  // namespace reduz::fit
