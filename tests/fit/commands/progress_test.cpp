// The progress bar, under a real pseudo-terminal: drawn on standard error for a large input,
// a redraw for each whole percentage, then cleared before the summary; never for a small one.
// (Its absence where standard error is no terminal is checked by every other run's empty
// standard error.)

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "support/scratch.hpp"

namespace reduz::testing {
namespace {

struct TerminalRun {
    std::string screen;  // standard output and error as the terminal received them
    int status = -1;
};

TerminalRun runOnTerminal(const std::string& directory, std::vector<std::string> arguments) {
    termios settings{};
    settings.c_oflag = 0;  // no translation: the bytes as the program wrote them
    settings.c_cflag = CS8 | CREAD | CLOCAL;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    std::vector<char*> argv{const_cast<char*>("reduzfit")};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, &settings, nullptr);
    if (pid == 0) {
        if (::chdir(directory.c_str()) != 0) ::_exit(126);
        ::execv(REDUZFIT_BINARY, argv.data());
        ::_exit(127);
    }
    TerminalRun run;
    if (pid < 0) {
        ADD_FAILURE() << "forkpty failed";
        return run;
    }
    char chunk[4096];
    pollfd ready{master, POLLIN, 0};
    // Until the program closes the terminal (EIO on Linux), at most 60 s.
    while (::poll(&ready, 1, 60000) > 0) {
        const ssize_t got = ::read(master, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        run.screen.append(chunk, static_cast<std::size_t>(got));
    }
    ::kill(pid, SIGKILL);  // only if it hung
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A side by side map whose every cell is a run of its own: side^2 runs.
std::string checkerboard(int side) {
    std::string map = "ncols " + std::to_string(side) + "\nnrows " + std::to_string(side) +
                      "\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) map += (row + column) % 2 == 0 ? "1 " : "2 ";
        map += '\n';
    }
    return map;
}

std::string summary(int side, int lags) {
    const std::string cells = std::to_string(side * side);
    return "input          map.asc\nholes          " + std::to_string(side) + "\nintervals      " + cells +
           "\nclasses        2\nlogged length  " + cells + "\nlags           0 to " + std::to_string(lags) +
           " by 1, east\nwritten        measured.csv, classes.csv\n";
}

TEST(Progress, OnATerminalForALargeInputOnly) {
    struct Case {
        int side;
        int lags;
        int draws;  // 0% to 100%: 101, when the map has a hundred rows or more
    };
    const Case cases[] = {{200, 200, 101}, {40, 200, 0}, {200, 5, 0}};
    const std::string first = "\rmeasuring [                    ]   0%";
    const std::string last = "\rmeasuring [####################] 100%";
    const std::string cleared = "\r" + std::string(37, ' ') + "\r";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.side);
        ScratchDir dir;
        writeFile(dir.file("map.asc"), checkerboard(c.side));
        const TerminalRun run =
            runOnTerminal(dir.path, {"measure", "map.asc", "--step", "1", "--lags", std::to_string(c.lags)});
        EXPECT_EQ(run.status, 0);
        if (c.draws == 0) {
            EXPECT_EQ(run.screen, summary(c.side, c.lags));
            continue;
        }
        EXPECT_EQ(run.screen.substr(0, first.size()), first);
        EXPECT_EQ(run.screen.substr(run.screen.find(last)), last + cleared + summary(c.side, c.lags));
        std::size_t draws = 0;
        for (std::size_t at = run.screen.find("\rmeasuring"); at != std::string::npos;
             at = run.screen.find("\rmeasuring", at + 1)) {
            ++draws;
        }
        EXPECT_EQ(draws, static_cast<std::size_t>(c.draws));
    }
}

// A fit of many pairs draws its bar too, saying how many pairs there are; a few pairs draw none.
TEST(Progress, FittingManyPairs) {
    for (const int classes : {8, 7}) {
        SCOPED_TRACE(classes);
        std::string logs = "hole,from,to,class\n";
        for (int bed = 0; bed < 40; ++bed) {
            logs += "A," + std::to_string(bed) + "," + std::to_string(bed + 1) + ",c" + std::to_string(bed * 3 % classes) + "\n";
        }
        ScratchDir dir;
        writeFile(dir.file("logs.csv"), logs);
        const TerminalRun run =
            runOnTerminal(dir.path, {"logs.csv", "--step", "1", "--lags", "3", "--family", "independent", "--shapes", "5", "-o", "fitted"});
        EXPECT_EQ(run.status, 0);
        const std::string pairs = std::to_string(classes * classes) + " pairs";
        const std::size_t first = run.screen.find("\rfitting " + pairs + " [");
        if (classes * classes < 64) {
            EXPECT_EQ(first, std::string::npos);
            EXPECT_EQ(run.screen.rfind("input          logs.csv\n", 0), 0u);
            continue;
        }
        ASSERT_EQ(first, 0u) << run.screen.substr(0, 80);
        const std::string last = "\rfitting " + pairs + " [####################] 100%";
        std::string cleared(std::string("fitting  [] 100%").size() + pairs.size() + 20 + 2, ' ');  // the bar's line
        cleared.front() = '\r';
        cleared.back() = '\r';
        EXPECT_NE(run.screen.find(last + cleared + "input          logs.csv\n"), std::string::npos) << run.screen.substr(0, 300);
    }
}

// The choice of a valid model draws its bar, counting the models it fits (each candidate on
// each fold and on all the data), when there is work enough; one hole of two classes draws none.
TEST(Progress, ChoosingAValidModel) {
    struct ChoiceCase {
        int classes;
        int holes;
        const char* bar;  // empty: none
    };
    // Three classes in two holes: 4 candidates on 2 folds and on all, 12 fits of 9 pairs.
    const ChoiceCase cases[] = {{3, 2, "fitting 12 models"}, {2, 1, ""}};
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.classes);
        std::string logs = "hole,from,to,class\n";
        for (int bed = 0; bed < 40; ++bed) {
            logs += (bed % c.holes == 0 ? "A," : "B,") + std::to_string(bed) + "," + std::to_string(bed + 1) + ",c" +
                    std::to_string(bed * 5 % (2 * c.classes) / 2) + "\n";
        }
        ScratchDir dir;
        writeFile(dir.file("logs.csv"), logs);
        const TerminalRun run = runOnTerminal(dir.path, {"logs.csv", "--step", "1", "--lags", "3", "-o", "fitted"});
        EXPECT_EQ(run.status, 0);
        if (std::string(c.bar).empty()) {
            EXPECT_EQ(run.screen.rfind("input          logs.csv\n", 0), 0u) << run.screen.substr(0, 80);
            continue;
        }
        EXPECT_EQ(run.screen.rfind(std::string("\r") + c.bar + " [", 0), 0u) << run.screen.substr(0, 80);
        EXPECT_NE(run.screen.find(std::string("\r") + c.bar + " [####################] 100%"), std::string::npos);
        EXPECT_NE(run.screen.find("\rinput          logs.csv\n"), std::string::npos);
    }
}

}  // namespace
}  // namespace reduz::testing
