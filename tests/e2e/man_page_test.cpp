// The man page reduzmodel(1): it has the sections a reader looks for, and it renders without a
// single warning, checked with groff or with man, and with mandoc, where they are installed.

#include <gtest/gtest.h>

#include <string>

#include "support/process.hpp"
#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

const std::string manPage = std::string(REDUZ_SOURCE_DIR) + "/man/reduzmodel.1";

TEST(ManPage, HasTheUsualSections) {
    const std::string text = readFile(manPage);
    ASSERT_EQ(text.rfind(".TH REDUZMODEL 1 ", 0), 0u);
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "FILES", "EXIT STATUS", "EXAMPLES"}) {
        const std::string heading = std::string(".SH ") + section + "\n";
        const std::string quoted = std::string(".SH \"") + section + "\"\n";
        EXPECT_TRUE(text.find(heading) != std::string::npos || text.find(quoted) != std::string::npos) << section;
    }
}

TEST(ManPage, RendersWithoutWarnings) {
    ShellResult render;
    if (installed("groff")) {
        render = runShell("groff -man -ww -z '" + manPage + "' 2>&1");
    } else if (installed("man")) {
        render = runShell("man --warnings -l '" + manPage + "' 2>&1 >/dev/null");
    } else {
        GTEST_SKIP() << "neither groff nor man is installed";
    }
    EXPECT_EQ(render.status, 0);
    EXPECT_EQ(render.output, "");
}

// mandoc is stricter than groff about the header: it must read the date, for one.
TEST(ManPage, LintsCleanWithMandoc) {
    if (!installed("mandoc")) GTEST_SKIP() << "mandoc is not installed";
    const ShellResult lint = runShell("mandoc -T lint -W warning '" + manPage + "' 2>&1");
    EXPECT_EQ(lint.status, 0);
    EXPECT_EQ(lint.output, "");
}

}  // namespace
}  // namespace reduz::testing
