// What the README shows is what the program does: its screen of a run is examples/exponential
// as the program runs it (the parameter file, the console and the report, which the examples
// test compares with a real run), and each failure example is the report a real run writes;
// both shown without the CR of each line end, as a terminal shows them.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "support/process.hpp"
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

// printf's text: only \n is written escaped.
std::string printed(const std::string& text) {
    return std::regex_replace(text, std::regex(R"(\\n)"), "\n");
}

// "$ printf 'PARAMETER' > PARAMETER.TXT; [printf 'KEYBOARD' | ]reduzmodel > /dev/null", then the
// report on standard error.
TEST(Readme, FailureExamplesAreWhatTheProgramReports) {
    const std::string readme = readFile(std::string(REDUZ_SOURCE_DIR) + "/README.md");
    const std::regex example(
        "```console\n\\$ printf '([^']*)' > PARAMETER\\.TXT; (?:printf '([^']*)' \\| )?reduzmodel > /dev/null\n"
        "([^`]*)```\n");
    int examples = 0;
    for (std::sregex_iterator it(readme.begin(), readme.end(), example), end; it != end; ++it) {
        const std::smatch& m = *it;
        SCOPED_TRACE(m[1].str());
        ++examples;
        const RunInFresh run = runWithParameters(printed(m[1].str()), printed(m[2].str()));
        EXPECT_EQ(run.result.status, 1);
        EXPECT_EQ(withoutCr(run.result.err), m[3].str());
    }
    EXPECT_GE(examples, 5);
}

}  // namespace
}  // namespace reduz::testing
