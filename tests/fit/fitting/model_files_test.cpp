// The names of the pairs' folders, and the reals of PARAMETER.TXT and keyboard.txt, which
// reduzmodel's own reader must take back as the same doubles.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "fit/fitting/model_files.hpp"
#include "models/model_parameters.hpp"
#include "textio/conversion.hpp"

namespace reduz::fit {
namespace {

TEST(ModelFiles, FolderNamesAreSafeAndDistinct) {
    struct Case {
        std::vector<std::string> classes;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {{"sand", "silt, clayey"}, {"sand_sand", "sand_silt__clayey", "silt__clayey_sand", "silt__clayey_silt__clayey"}},
        {{"a_b", "c", "a", "b_c"},
         {"a_b_a_b", "a_b_c", "a_b_a", "a_b_b_c", "c_a_b", "c_c", "c_a", "c_b_c", "a_a_b", "a_c", "a_a", "a_b_c-2",
          "b_c_a_b", "b_c_c", "b_c_a", "b_c_b_c"}},
        // one name on a file system that folds case
        {{"Clay", "clay"}, {"Clay_Clay", "Clay_clay-2", "clay_Clay-3", "clay_clay-4"}},
        {{"..", "a/b"}, {"_.__.", "_._a_b", "a_b__.", "a_b_a_b"}},
    };
    for (const Case& c : cases) EXPECT_EQ(folderNames(c.classes), c.names);
}

// Every real written reads back, through the program's own conversion, as the very same bits.
TEST(ModelFiles, RealsReadBackAsTheSameDouble) {
    std::mt19937_64 bits(15);
    std::vector<double> values = {0.25, 1.0 / 3, 1e-300, 5e-324, std::numeric_limits<double>::max(), 0.0, 171.0};
    for (int i = 0; i < 20000; ++i) {
        const double value = std::bit_cast<double>(bits() & ~(std::uint64_t{1} << 63));
        if (std::isfinite(value)) values.push_back(value);
    }
    for (double value : values) {
        const std::string text = exactReal(value);
        const Converted<double> read = convertReal(text);
        ASSERT_TRUE(read.ok()) << text;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(read.value), std::bit_cast<std::uint64_t>(value)) << text;
    }
    ModelParameters p;
    p.model = 9;
    p.ALFA = 2;
    p.BETA = 0.5;
    p.W = 1;
    EXPECT_EQ(keyboardFile(p), "2.0000000000000000E+00 5.0000000000000000E-01 1.0000000000000000E+00\n");
}

}  // namespace
}  // namespace reduz::fit
