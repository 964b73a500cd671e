// The commands run in the process give what the binary prints and writes: the same status, the
// same summary and failure line, the same files.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "fit/commands/command_line.hpp"
#include "fit/fit_run.hpp"

namespace reduz::testing {
namespace {

// The command line run in the process, in a fresh directory holding the inputs.
FitRun runInProcess(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& inputs) {
    ScratchDir dir;
    for (const auto& [name, bytes] : inputs) writeFile(dir.file(name), bytes);
    std::vector<const char*> argv = {"reduzfit"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    const fit::CommandLine command = fit::parseCommandLine(static_cast<int>(argv.size()), argv.data());
    char here[4096];
    EXPECT_NE(::getcwd(here, sizeof here), nullptr);
    EXPECT_EQ(::chdir(dir.path.c_str()), 0);
    EXPECT_TRUE(command.action == fit::Action::measure || command.action == fit::Action::fit ||
                command.action == fit::Action::measureAndFit)
        << command.text;
    const fit::CommandResult result = fit::runCommand(command);
    EXPECT_EQ(::chdir(here), 0);
    return FitRun{{result.out, result.err, result.status}, filesIn(dir.path)};
}

TEST(InProcess, AsTheBinary) {
    const std::string logs = "hole,from,to,class\nA,0,2,sand\nA,2,5,clay\nA,5,6,sand\nB,0,1,clay\nB,1,4,sand\n";
    const std::string measured = "lag,distance,from,to,probability\n0,0,a,a,1\n1,1,a,a,0.5\n2,2,a,a,0.25\n";
    struct Case {
        std::vector<std::string> arguments;
        std::map<std::string, std::string> inputs;
    };
    const Case cases[] = {
        {{"measure", "logs.csv", "--step", "1", "--lags", "3"}, {{"logs.csv", logs}}},
        {{"measure", "logs.csv", "--step", "1"}, {{"logs.csv", "hole,from,to,class\nA,1,0,x\n"}}},
        {{"fit", "measured.csv", "-o", "fitted", "--shapes", "1,3"}, {{"measured.csv", measured}}},
        {{"fit", "measured.csv", "-o", "fitted", "--sill", "proportion"}, {{"measured.csv", measured}}},
        {{"logs.csv", "--step", "1", "--lags", "3", "-o", "fitted", "--shapes", "3"}, {{"logs.csv", logs}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
        const FitRun binary = runFit(c.arguments, c.inputs);
        const FitRun inProcess = runInProcess(c.arguments, c.inputs);
        EXPECT_EQ(inProcess.result.status, binary.result.status);
        EXPECT_EQ(inProcess.result.out, binary.result.out);
        EXPECT_EQ(inProcess.result.err, binary.result.err);
        EXPECT_EQ(inProcess.files, binary.files);
    }
}

}  // namespace
}  // namespace reduz::testing
