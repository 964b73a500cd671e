// The keyboard at a real terminal: the program runs under a pseudo-terminal whose line
// discipline reads line by line (canonical mode) without echo and without output translation,
// so that everything read from the master side is exactly what the program wrote.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "support/scratch.hpp"

namespace {

using reduz::testing::ScratchDir;
using reduz::testing::readFile;
using reduz::testing::writeFile;
using Clock = std::chrono::steady_clock;

const std::string prompt = "Input C (SLOPE) AND W (POWER):\r\n";
const std::string successTrail = "Output transiogram model\r\nFinish\r\nStop - Program terminated.\r\n\r\n";

class TerminalRun {
public:
    explicit TerminalRun(const std::string& directory) {
        termios settings{};
        settings.c_iflag = 0;
        settings.c_oflag = 0;                  // the program's CR LF reach us untranslated
        settings.c_cflag = CS8 | CREAD | CLOCAL;
        settings.c_lflag = ICANON;             // lines as typed, no echo, no signal characters
        settings.c_cc[VEOF] = 4;               // Ctrl-D
        settings.c_cc[VMIN] = 1;
        cfsetispeed(&settings, B38400);
        cfsetospeed(&settings, B38400);
        pid_ = ::forkpty(&master_, nullptr, &settings, nullptr);
        if (pid_ == 0) {
            if (::chdir(directory.c_str()) != 0) ::_exit(126);
            ::execl(REDUZMODEL_BINARY, "reduzmodel", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid_ < 0) ADD_FAILURE() << "forkpty failed";
    }
    ~TerminalRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) ::close(master_);
    }
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    // Collects output until it ends with `text`, the terminal closes, or the time is up.
    bool waitFor(std::string_view text, int milliseconds) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        while (!endsWith(text)) {
            if (!readSome(deadline)) return endsWith(text);
        }
        return true;
    }
    void type(std::string_view bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Everything until the program has closed the terminal; its exit status (-1 if none).
    int finish() {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (readSome(deadline)) {
        }
        if (pid_ <= 0) return -1;
        int status = 0;
        for (;;) {
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) break;
            if (Clock::now() > deadline) return -1;
            ::usleep(10000);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& output() const { return output_; }

private:
    bool endsWith(std::string_view text) const {
        return output_.size() >= text.size() && output_.compare(output_.size() - text.size(), text.size(), text) == 0;
    }
    // False once the terminal is closed or the deadline has passed.
    bool readSome(Clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || master_ < 0) return false;
        pollfd ready{master_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left));
        if (polled < 0 && errno == EINTR) return true;
        if (polled <= 0) return false;
        char bytes[512];
        const ssize_t got = ::read(master_, bytes, sizeof bytes);
        if (got <= 0) return false;  // EIO: the program has closed its side
        output_.append(bytes, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    int master_ = -1;
    std::string output_;
};

struct TypedCase {
    std::string name;
    std::string typed;     // sent once the prompt and its line end are on the screen
    std::string expected;  // the whole screen output after the prompt line
    int status;
};

std::string padded(std::string text, std::size_t length) {
    text.resize(length, ' ');
    return text;
}

const std::string failure6407 = "\r\nrun-time error F6407: READ(CON)\r\n";
const std::string failure6501 = "\r\nrun-time error F6501: READ(CON)\r\n";

TEST(KeyboardAtTerminal, AnswersToThePrompt) {
    const std::vector<TypedCase> cases = {
        {"one line", "1.5 2\n", successTrail, 0},
        {"two lines", "1.5\n2\n", successTrail, 0},
        {"130 characters", padded("1.5 2", 130) + "\n", successTrail, 0},
        {"131 characters", padded("1.5 2", 131) + "\n", failure6407, 1},
        {"Ctrl-D at the start of a line", "\x04", failure6501, 1},
        {"Ctrl-Z line", "\x1a\n", failure6501, 1},
        {"Ctrl-Z after the values", "1.5 2\x1a\n", failure6501, 1},
    };
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir.file("PARAMETER.TXT"), "8 1\n0.25 25\n10\n");
        TerminalRun run(dir.path);
        // The line end comes before the program waits for the answer.
        ASSERT_TRUE(run.waitFor(prompt, 5000)) << "screen: " << run.output();
        run.type(c.typed);
        const int status = run.finish();
        EXPECT_EQ(status, c.status);
        const std::string after = run.output().substr(prompt.size());
        if (c.status == 0) {
            EXPECT_EQ(after, c.expected);
            EXPECT_NE(readFile(dir.file("ReduzModel.txt")).find("     1.50     2.00\r\n"), std::string::npos);
        } else {
            // The message wording belongs to the failure report; the report's head is fixed.
            EXPECT_EQ(after.substr(0, c.expected.size()), c.expected);
            EXPECT_EQ(after.find("Output transiogram model"), std::string::npos);
        }
    }
}

TEST(KeyboardAtTerminal, EnterAloneWaitsForAnotherLine) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), "8 1\n0.25 25\n10\n");
    TerminalRun run(dir.path);
    ASSERT_TRUE(run.waitFor(prompt, 5000)) << "screen: " << run.output();
    run.type("\n");
    EXPECT_FALSE(run.waitFor("Output transiogram model\r\n", 300));
    EXPECT_EQ(run.output(), prompt);
    run.type("1.5 2\n");
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(run.output(), prompt + successTrail);
}

}  // namespace
