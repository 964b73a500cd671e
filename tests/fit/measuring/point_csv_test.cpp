// The points' reader: which headers name points rather than logs, what it reads, and the rows
// it refuses, each told at its line and column.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fit/measuring/point_csv.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

using testing::refusal;

TEST(PointCsv, HeadersThatNamePoints) {
    struct Case {
        std::string text;
        bool points;
    };
    const Case cases[] = {
        {"x,y,class\n0,0,a\n", true},
        {"\xEF\xBB\xBF" "Class,Note,Y,X\r\n", true},
        {"\"x\",y,z,class\n", true},
        {"hole,x,y,from,to,class\n", false},  // logs with their collars
        {"x,y,class,TO\n", false},
        {"x,y,lith\n", false},
        {"east,north,class\n", false},
        {"", false},
        {"x,\"y,class\n", false},  // left to the logs' reader, which tells why
    };
    for (const Case& c : cases) EXPECT_EQ(headerNamesPoints(c.text), c.points) << c.text;
}

TEST(PointCsv, ReadsPointsInAPlaneOrInSpace) {
    const Points plane = readPointCsv("Y,note,X,Class\n1.5,core,2,clay\n-3,,0,sand\n4,,4,clay\n", "p.csv", {});
    EXPECT_FALSE(plane.hasZ);
    EXPECT_EQ(plane.classes, (std::vector<std::string>{"clay", "sand"}));
    ASSERT_EQ(plane.points.size(), 3u);
    EXPECT_EQ(plane.points[1].x, 0);
    EXPECT_EQ(plane.points[1].y, -3);
    EXPECT_EQ(plane.points[1].code, 1);
    const Points space = readPointCsv("E,N,Elev,Lith\n1,2,-3.5,clay\n", "p.csv", {"e", "n", "elev", "lith", true});
    EXPECT_TRUE(space.hasZ);
    EXPECT_EQ(space.points[0].z, -3.5);
}

TEST(PointCsv, RefusesRowsItCannotUse) {
    const std::string header = "x,y,class\n";
    struct Case {
        std::string text;
        const char* error;
        PointColumns columns = {};
    };
    const Case cases[] = {
        {header, "p.csv: no points after the header"},
        {header + "0,0,a\n1,north,b\n", "p.csv:3:2: y \"north\" is not a number"},
        {header + "inf,0,a\n", "p.csv:2:1: x \"inf\" is not a number"},
        {header + ",0,a\n", "p.csv:2:1: x \"\" is not a number"},
        {header + "0,0,\n", "p.csv:2:3: empty class"},
        {"x,y,z,class\n0,0,,a\n", "p.csv:2:3: z \"\" is not a number"},
        {"x,class\n0,a\n", "p.csv:1: no column \"y\" in the header"},
        {header + "0,0,a\n", "p.csv:1: no column \"elev\" in the header", {"x", "y", "elev", "class", true}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal([&] { readPointCsv(c.text, "p.csv", c.columns); }), c.error) << c.text;
    }
}

}  // namespace
}  // namespace reduz::fit
