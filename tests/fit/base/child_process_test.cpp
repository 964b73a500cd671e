// Real children run to their end or to the limit: a child that fills a pipe before it reads its
// input, and children that run on past the limit with their outputs open or closed. None is
// waited on for ever.

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "fit/base/child_process.hpp"

namespace reduz::fit {
namespace {

using std::chrono_literals::operator""ms;

TEST(ChildProcess, NeverWaitsOnAPipeOrAChildForEver) {
    std::signal(SIGPIPE, SIG_IGN);  // as reduzfit's main has it: a child gone is a failed write
    const std::string input(1 << 20, 'x');
    struct Case {
        std::vector<std::string> arguments;
        std::chrono::milliseconds limit;
        bool timedOut;
        int status;
        std::string out;
        std::size_t errBytes;
    };
    const Case cases[] = {
        // 300 KB on its standard error before it reads a byte of the 1 MB input.
        {{"sh", "-c", "head -c 300000 /dev/zero >&2; wc -c"}, 20000ms, false, 0, "1048576\n", 300000},
        {{"sleep", "60"}, 300ms, true, -1, "", 0},
        {{"sh", "-c", "exec >&- 2>&-; sleep 60"}, 300ms, true, -1, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const ChildRun run = runChild(c.arguments, input, c.limit);
        EXPECT_TRUE(run.started);
        EXPECT_EQ(run.timedOut, c.timedOut);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err.size(), c.errBytes);
    }
    const ChildRun missing = runChild({"reduzfit-no-such-tool"}, input, 20000ms);
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.startError, "No such file or directory");
}

}  // namespace
}  // namespace reduz::fit
