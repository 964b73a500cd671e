// The man pages reduzmodel(1) and reduzfit(1): they have the sections a reader looks for, and
// they render without a single warning, checked with groff or with man where either is
// installed.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

struct Page {
    std::string path;
    std::string title;  // as .TH gives it
};

const Page pages[] = {{std::string(REDUZ_SOURCE_DIR) + "/man/reduzmodel.1", "REDUZMODEL"},
                      {std::string(REDUZ_SOURCE_DIR) + "/man/reduzfit.1", "REDUZFIT"}};

struct Command {
    std::string output;  // standard output and standard error together
    int status = -1;
};

Command runShell(const std::string& command) {
    Command result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, got);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool installed(const std::string& tool) { return runShell("command -v " + tool + " >/dev/null 2>&1").status == 0; }

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
        Command render;
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

}  // namespace
}  // namespace reduz::testing
