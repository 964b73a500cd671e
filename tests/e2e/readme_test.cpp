// The README's screen of a run is examples/exponential as the program runs it: the parameter
// file, the console and the report, which the examples test compares with a real run, shown
// without the CR of each line end, as a terminal shows them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

std::string withoutCr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

TEST(Readme, ScreenOfARunIsTheExampleAsRecorded) {
    const std::string readme = readFile(std::string(REDUZ_SOURCE_DIR) + "/README.md");
    const std::string example = std::string(REDUZ_SOURCE_DIR) + "/examples/exponential/";
    const std::string screen = "```console\n$ cat PARAMETER.TXT\n" + readFile(example + "PARAMETER.TXT") +
                               "$ reduzmodel\n" + withoutCr(readFile(example + "console.txt")) +
                               "$ cat ReduzModel.txt\n" + withoutCr(readFile(example + "ReduzModel.txt")) + "```\n";
    EXPECT_NE(readme.find(screen), std::string::npos) << "README.md should show:\n" << screen;
}

}  // namespace
}  // namespace reduz::testing
