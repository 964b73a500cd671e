// The measured curves' reader and the classes' proportions a fit may take: what each makes of
// its file, and what it refuses, told at the line and column.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fit/fitting/measured_curves.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

using testing::refusal;

const std::string header = "lag,distance,from,to,probability,support\n";
const std::string good = header + "0,0,a,a,1,2\n1,1,a,a,0.5,2\n";

TEST(MeasuredCurves, RefusesRowsAFitCannotUse) {
    struct Case {
        std::string text;
        std::optional<int> maxLag;
        const char* error;
    };
    const Case cases[] = {
        {"", {}, "measured.csv: no header row: the file is empty"},
        {"lag,distance,from,to\n0,0,a,a\n", {}, "measured.csv:1: no column \"probability\" in the header"},
        {header, {}, "measured.csv: no lag above 0"},
        {header + "0,0,a,a,1,2\n", {}, "measured.csv: no lag above 0"},
        {good + "2,2,a,a,1\n", {}, "measured.csv:4:6: 5 values where the header has 6"},
        {good + "1.5,1,a,a,1,2\n", {}, "measured.csv:4:1: lag \"1.5\" is not a whole number from 0 on"},
        {good + "-1,1,a,a,1,2\n", {}, "measured.csv:4:1: lag \"-1\" is not a whole number from 0 on"},
        {good + "2,two,a,a,1,2\n", {}, "measured.csv:4:2: distance \"two\" is not a number"},
        {good + "2,2,,a,1,2\n", {}, "measured.csv:4:3: empty from"},
        {good + "2,2,a,,1,2\n", {}, "measured.csv:4:4: empty to"},
        {good + "2,2,a,a,1.5,2\n", {}, "measured.csv:4:5: probability 1.5 is outside 0 to 1"},
        {good + "2,2,a,a,-0.25,2\n", {}, "measured.csv:4:5: probability -0.25 is outside 0 to 1"},
        {good + "2,2,a,a,nan,2\n", {}, "measured.csv:4:5: probability \"nan\" is not a number"},
        {good + "2,2,a,a,1,-2\n", {}, "measured.csv:4:6: support -2 is below 0"},
        {good + "1,1,a,a,0.5,2\n", {}, "measured.csv:4:1: lag 1 from a to a is given on line 3 already"},
        {good + "1001,1001,a,a,1,2\n", {},
         "measured.csv:4:1: lag 1001 is beyond 1000, the most reduzmodel tabulates (--max-lag fits fewer)"},
        {header + "0,0,a,a,1,2\n2,2,a,a,1,2\n", 1, "measured.csv: no lag from 1 to 1"},
        // a lag no row gives is as far as the step of the rows takes it, which must be a number
        {header + "0,0,a,a,1,2\n1,1e308,a,a,0.5,2\n3,1,a,a,0.25,2\n", {},
         "measured.csv:3:2: distance 1e+308 at lag 1 is a step too large for lag 2, which no row gives"},
        {header + "0,0,a,a,1,2\n2,1e308,a,a,0.5,2\n", 1000,
         "measured.csv:3:2: distance 1e+308 at lag 2 is a step too large for lag 4, which no row gives"},
        // rows above the lags asked for are passed over, a repeat among them too
        {good + "3,3,a,a,0.5,2\n3,3,a,a,0.5,2\n", 2, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal([&] { readMeasuredCsv(c.text, "measured.csv", c.maxLag); }), c.error) << c.text;
    }
}

TEST(MeasuredCurves, PairsInLagOrderWithTheirDistances) {
    const MeasuredCurves curves = readMeasuredCsv(
        "Probability,to,from,lag,distance\n0.25,b,a,3,1.5\n1,a,a,0,0\n0.5,b,a,1,0.5\n", "m.csv", std::nullopt);
    EXPECT_EQ(curves.classes, (std::vector<std::string>{"a", "b"}));  // a row's from before its to
    EXPECT_EQ(curves.maxLag, 3);
    EXPECT_EQ(curves.distances, (std::vector<double>{0, 0.5, 1, 1.5}));  // lag 2 from the step of the rows
    const std::vector<MeasuredPoint>& ab = curveOf(curves, 0, 1);
    ASSERT_EQ(ab.size(), 2u);
    EXPECT_EQ(ab[0].lag, 1);
    EXPECT_EQ(ab[1].lag, 3);
    EXPECT_EQ(ab[1].probability, 0.25);
    EXPECT_EQ(ab[1].support, 1);  // no support column: every support is 1
}

TEST(MeasuredCurves, ProportionsOfEveryClass) {
    MeasuredCurves curves = readMeasuredCsv(good, "measured.csv", std::nullopt);
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"", "classes.csv: no header row: the file is empty"},
        {"class,share\n", "classes.csv:1: no column \"proportion\" in the header"},
        {"class,proportion\nb,1\n", "classes.csv: no class \"a\""},
        {"class,proportion\na,x\n", "classes.csv:2:2: proportion \"x\" is not a number from 0 to 1"},
        {"class,proportion\na,1.5\n", "classes.csv:2:2: proportion \"1.5\" is not a number from 0 to 1"},
        {"class,proportion\na,1\nb\n", "classes.csv:3:2: 1 values where the header has 2"},
        {"class,proportion\na,0.5\nb,0.5\na,0.25\n", "classes.csv:4:1: class \"a\" is given on line 2 already"},
        {"proportion,class\n0.5,a\n0.5,a\n", "classes.csv:3:2: class \"a\" is given on line 2 already"},
        {"runs,Proportion,class\n3,0.75,a\n", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal([&] { readProportions(curves, c.text, "classes.csv"); }), c.error) << c.text;
    }
    EXPECT_EQ(curves.proportions, (std::vector<double>{0.75}));
}

}  // namespace
}  // namespace reduz::fit
