#include "fit/base/child_process.hpp"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace reduz::fit {

namespace {

struct Pipe {
    int read = -1;
    int write = -1;
};

// The parent's end (the one the child does not get) does not block: a write larger than the
// pipe's room takes what fits, and the outputs are read meanwhile, so that neither side waits on
// the other for ever.
Pipe makePipe(bool parentWrites) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    const int parent = fds[parentWrites ? 1 : 0];
    const int flags = ::fcntl(parent, F_GETFL);
    if (flags < 0 || ::fcntl(parent, F_SETFL, flags | O_NONBLOCK) != 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return {};
    }
    return {fds[0], fds[1]};
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

using Clock = std::chrono::steady_clock;

bool wouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

// Writes the input and reads both outputs as each is ready, so that neither side waits on a
// full pipe, until the child closes its outputs or the deadline passes (false then).
bool exchange(int in, std::string_view input, int out, int err, Clock::time_point deadline, ChildRun& run) {
    std::size_t written = 0;
    if (input.empty()) closeFd(in);
    char chunk[65536];
    bool inTime = true;
    while (out >= 0 || err >= 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            inTime = false;
            break;
        }
        pollfd fds[3];
        nfds_t count = 0;
        for (int fd : {out, err}) {
            if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
        }
        if (in >= 0) fds[count++] = {in, POLLOUT, 0};
        if (::poll(fds, count, static_cast<int>(std::min<long long>(left, 60000))) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == in) {
                const ssize_t put = ::write(in, input.data() + written, input.size() - written);
                if (put > 0) written += static_cast<std::size_t>(put);
                if ((put < 0 && !wouldBlock()) || written == input.size()) closeFd(in);
                continue;
            }
            const ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                (fds[i].fd == out ? run.out : run.err).append(chunk, static_cast<std::size_t>(got));
            } else if (got == 0 || !wouldBlock()) {
                closeFd(fds[i].fd == out ? out : err);
            }
        }
    }
    closeFd(in);
    closeFd(out);
    closeFd(err);
    return inTime;
}

// The child's exit status (-1 for a signal), once it has ended by the deadline or been killed
// there.
int reap(pid_t pid, Clock::time_point deadline, bool& killed) {
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, killed ? 0 : WNOHANG);
        if (ended == pid) break;
        if (ended < 0 && errno != EINTR) return -1;
        if (ended == 0 && Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            killed = true;
        } else if (ended == 0) {
            ::usleep(10000);
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ChildRun runChild(const std::vector<std::string>& arguments, std::string_view input, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    ChildRun run;
    Pipe in = makePipe(true), out = makePipe(false), err = makePipe(false);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in.read, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    ::posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    pid_t pid = -1;
    const int spawned = in.read < 0 || out.read < 0 || err.read < 0
                            ? errno
                            : ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    closeFd(in.read);
    closeFd(out.write);
    closeFd(err.write);
    if (spawned != 0) {
        run.startError = std::strerror(spawned);
        closeFd(in.write);
        closeFd(out.read);
        closeFd(err.read);
        return run;
    }
    run.started = true;
    bool killed = !exchange(in.write, input, out.read, err.read, deadline, run);
    if (killed) ::kill(pid, SIGKILL);
    run.status = reap(pid, deadline, killed);
    run.timedOut = killed;
    return run;
}

}  // namespace reduz::fit
