// Every folder of examples/ run as a user would run it: its PARAMETER.TXT copied into a fresh
// directory, its keyboard.txt (when the model asks for more) on standard input. The report and
// the console trail must match the folder's ReduzModel.txt and console.txt byte for byte,
// standard error must stay empty and the exit status be 0.
// scripts/regenerate-examples.sh writes those expected files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

namespace fs = std::filesystem;

fs::path examplesDir() { return fs::path(REDUZ_SOURCE_DIR) / "examples"; }

// The folders that hold a PARAMETER.TXT, by name.
std::vector<std::string> exampleNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(examplesDir(), error)) {
        if (entry.is_directory() && fs::exists(entry.path() / "PARAMETER.TXT")) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Example : public ::testing::TestWithParam<std::string> {};

TEST_P(Example, ReportAndConsoleAsRecorded) {
    const fs::path dir = examplesDir() / GetParam();
    ASSERT_TRUE(fs::exists(dir / "ReduzModel.txt")) << dir << ": no ReduzModel.txt (run scripts/regenerate-examples.sh)";
    ASSERT_TRUE(fs::exists(dir / "console.txt")) << dir << ": no console.txt (run scripts/regenerate-examples.sh)";
    const std::string keyboard = fs::exists(dir / "keyboard.txt") ? readFile((dir / "keyboard.txt").string()) : "";

    ScratchDir scratch;
    writeFile(scratch.file("PARAMETER.TXT"), readFile((dir / "PARAMETER.TXT").string()));
    const RunResult result = runBinary(scratch.path, withInput(keyboard));

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, readFile((dir / "console.txt").string()));
    ASSERT_TRUE(fileExists(scratch.file("ReduzModel.txt")));
    EXPECT_EQ(readFile(scratch.file("ReduzModel.txt")), readFile((dir / "ReduzModel.txt").string()));
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Examples, Example, ::testing::ValuesIn(exampleNames()), testName);

// One example per shape of each kind, the wrong-input case and the one the README runs.
TEST(Examples, CoverEveryShapeOfBothKinds) {
    const std::vector<std::string> names = exampleNames();
    const std::set<std::string> present(names.begin(), names.end());
    auto hasPrefix = [&](const std::string& prefix) {
        return std::any_of(names.begin(), names.end(),
                           [&](const std::string& name) { return name.rfind(prefix, 0) == 0; });
    };
    for (int model = 1; model <= 8; ++model) {
        EXPECT_TRUE(hasPrefix("auto-" + std::to_string(model) + "-")) << "auto-transiogram model " << model;
    }
    for (int model = 1; model <= 12; ++model) {
        EXPECT_TRUE(hasPrefix("cross-" + std::to_string(model) + "-")) << "cross-transiogram model " << model;
    }
    EXPECT_TRUE(present.count("wrong-input"));
    EXPECT_TRUE(present.count("exponential"));
}

// A keyboard.txt exactly where the model asks for more (models 7 to 12).
TEST(Examples, KeyboardAnswersWhereAPromptIsAsked) {
    for (const std::string& name : exampleNames()) {
        const fs::path dir = examplesDir() / name;
        const bool prompted = fs::exists(dir / "console.txt") &&
                              readFile((dir / "console.txt").string()).rfind("Output transiogram model", 0) != 0;
        EXPECT_EQ(fs::exists(dir / "keyboard.txt"), prompted) << name;
    }
}

}  // namespace
}  // namespace reduz::testing
