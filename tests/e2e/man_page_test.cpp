// The man pages reduzmodel(1) and reduzfit(1): they have the sections a reader looks for, and
// they render without a single warning, checked with groff or with man, and with mandoc, where
// they are installed.

#include <gtest/gtest.h>

#include <string>

#include "support/process.hpp"
#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

struct Page {
    std::string path;
    std::string title;  // as .TH gives it
};

const Page pages[] = {{std::string(REDUZ_SOURCE_DIR) + "/man/reduzmodel.1", "REDUZMODEL"},
                      {std::string(REDUZ_SOURCE_DIR) + "/man/reduzfit.1", "REDUZFIT"}};

TEST(ManPage, HasTheUsualSections) {
    for (const Page& page : pages) {
        const std::string text = readFile(page.path);
        ASSERT_EQ(text.rfind(".TH " + page.title + " 1 ", 0), 0u) << page.path;
        for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "FILES", "EXIT STATUS", "EXAMPLES"}) {
            const std::string heading = std::string(".SH ") + section + "\n";
            const std::string quoted = std::string(".SH \"") + section + "\"\n";
            EXPECT_TRUE(text.find(heading) != std::string::npos || text.find(quoted) != std::string::npos)
                << page.path << ": " << section;
        }
    }
}

TEST(ManPage, RendersWithoutWarnings) {
    for (const Page& page : pages) {
        ShellResult render;
        if (installed("groff")) {
            render = runShell("groff -man -ww -z '" + page.path + "' 2>&1");
        } else if (installed("man")) {
            render = runShell("man --warnings -l '" + page.path + "' 2>&1 >/dev/null");
        } else {
            GTEST_SKIP() << "neither groff nor man is installed";
        }
        EXPECT_EQ(render.status, 0) << page.path;
        EXPECT_EQ(render.output, "") << page.path;
    }
}

// mandoc is stricter than groff about the header: it must read the date, for one.
TEST(ManPage, LintsCleanWithMandoc) {
    if (!installed("mandoc")) GTEST_SKIP() << "mandoc is not installed";
    for (const Page& page : pages) {
        const ShellResult lint = runShell("mandoc -T lint -W warning '" + page.path + "' 2>&1");
        EXPECT_EQ(lint.status, 0) << page.path;
        EXPECT_EQ(lint.output, "") << page.path;
    }
}

}  // namespace
}  // namespace reduz::testing
