// Wall time of whole process runs, as a user waits for them: each program is started without
// arguments in the current directory, with standard input read from a file and its output
// thrown away, and the time from the spawn to the end of the wait is taken. The programs take
// turns, so that a slow spell of the machine falls on all of them alike.
//
//   spawn_timer RUNS INPUT PROGRAM...
//   spawn_timer 2000 keyboard.txt ./reduzmodel /bin/true

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

double now() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One run; returns its wall time in seconds, or a negative value when it could not be started
// or did not exit.
double timeOneRun(const std::string& program, const char* input) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    const double start = now();
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1.0;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1.0;
    }
    const double elapsed = now() - start;
    return WIFEXITED(status) ? elapsed : -1.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s RUNS INPUT PROGRAM...\n", argv[0]);
        return 2;
    }
    const long runs = std::strtol(argv[1], nullptr, 10);
    const char* input = argv[2];
    std::vector<std::string> programs(argv + 3, argv + argc);
    if (runs < 1) {
        std::fprintf(stderr, "RUNS must be at least 1\n");
        return 2;
    }
    std::vector<std::vector<double>> times(programs.size());
    const long warmup = std::max(10L, runs / 20);
    for (long round = 0; round < warmup + runs; ++round) {
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const double t = timeOneRun(programs[i], input);
            if (t < 0.0) {
                std::fprintf(stderr, "%s did not run to its end\n", programs[i].c_str());
                return 1;
            }
            if (round >= warmup) times[i].push_back(t);
        }
    }
    std::printf("%-40s %10s %10s %10s %10s\n", "program", "median ms", "mean ms", "min ms", "p90 ms");
    for (std::size_t i = 0; i < programs.size(); ++i) {
        std::vector<double>& t = times[i];
        std::sort(t.begin(), t.end());
        double sum = 0.0;
        for (const double x : t) sum += x;
        std::printf("%-40s %10.3f %10.3f %10.3f %10.3f\n", programs[i].c_str(), t[t.size() / 2] * 1e3,
                    sum / static_cast<double>(t.size()) * 1e3, t.front() * 1e3, t[t.size() * 9 / 10] * 1e3);
    }
    return 0;
}
