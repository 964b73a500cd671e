#include "fit/base/child_process.hpp"

#include <cerrno>
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

Pipe makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    return {fds[0], fds[1]};
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Writes the input and reads both outputs as each is ready, so that neither side waits on a
// full pipe.
void exchange(int in, std::string_view input, int out, int err, ChildRun& run) {
    std::size_t written = 0;
    if (input.empty()) closeFd(in);
    char chunk[65536];
    while (out >= 0 || err >= 0) {
        pollfd fds[3];
        nfds_t count = 0;
        for (int fd : {out, err}) {
            if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
        }
        if (in >= 0) fds[count++] = {in, POLLOUT, 0};
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == in) {
                const ssize_t put = ::write(in, input.data() + written, input.size() - written);
                if (put > 0) written += static_cast<std::size_t>(put);
                if (put <= 0 || written == input.size()) closeFd(in);
                continue;
            }
            const ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) continue;
            if (got > 0) {
                (fds[i].fd == out ? run.out : run.err).append(chunk, static_cast<std::size_t>(got));
            } else {
                closeFd(fds[i].fd == out ? out : err);
            }
        }
    }
    closeFd(in);
    closeFd(out);
    closeFd(err);
}

}  // namespace

ChildRun runChild(const std::vector<std::string>& arguments, std::string_view input) {
    ChildRun run;
    Pipe in = makePipe(), out = makePipe(), err = makePipe();
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
    exchange(in.write, input, out.read, err.read, run);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace reduz::fit
