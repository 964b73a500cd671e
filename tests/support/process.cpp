#include "process.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <grp.h>
#include <map>
#include <sys/resource.h>
#include <poll.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scratch.hpp"

namespace reduz::testing {

namespace {

bool lookUpNobody(uid_t& uid, gid_t& gid) {
    const passwd* entry = ::getpwnam("nobody");
    if (entry == nullptr) return false;
    uid = entry->pw_uid;
    gid = entry->pw_gid;
    return true;
}

// Feeds input to the child and collects its two output streams without blocking on either.
void pump(int inFd, std::string_view input, int outFd, int errFd, RunResult& result) {
    std::size_t written = 0;
    if (input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    char chunk[4096];
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[3];
        int count = 0;
        int outIndex = -1, errIndex = -1, inIndex = -1;
        if (outFd >= 0) { fds[count] = {outFd, POLLIN, 0}; outIndex = count++; }
        if (errFd >= 0) { fds[count] = {errFd, POLLIN, 0}; errIndex = count++; }
        if (inFd >= 0) { fds[count] = {inFd, POLLOUT, 0}; inIndex = count++; }
        if (::poll(fds, static_cast<nfds_t>(count), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        auto drain = [&](int index, int& fd, std::string& into) {
            if (index < 0 || fds[index].revents == 0) return;
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got > 0) {
                into.append(chunk, static_cast<std::size_t>(got));
            } else {
                ::close(fd);
                fd = -1;
            }
        };
        drain(outIndex, outFd, result.out);
        drain(errIndex, errFd, result.err);
        if (inIndex >= 0 && fds[inIndex].revents != 0) {
            const ssize_t put = ::write(inFd, input.data() + written, input.size() - written);
            if (put > 0) written += static_cast<std::size_t>(put);
            if (put <= 0 || written == input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0) ::close(inFd);
}

// "nobody" may not reach the build tree (a checkout under a private directory), so it runs a
// copy of the binary in a directory open to every user, removed when the tests end.
struct CopiedBinary {
    std::string directory;
    std::string path;
    explicit CopiedBinary(const std::string& binary) {
        std::string pattern = (std::filesystem::temp_directory_path() / "reduz-bin-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        directory = pattern;
        path = directory + "/" + std::filesystem::path(binary).filename().string();
        std::error_code error;
        std::filesystem::copy_file(binary, path, error);
        ::chmod(directory.c_str(), 0755);
        ::chmod(path.c_str(), 0755);
    }
    ~CopiedBinary() {
        std::error_code ignored;
        if (!directory.empty()) std::filesystem::remove_all(directory, ignored);
    }
};

const std::string& unprivilegedBinary(const std::string& binary) {
    static std::map<std::string, CopiedBinary> copies;
    return copies.try_emplace(binary, binary).first->second.path;
}

}  // namespace

RunResult runBinary(const std::string& directory, const RunOptions& options) {
    return runCommand(REDUZMODEL_BINARY, {}, directory, options);
}

RunResult runCommand(const std::string& binary, const std::vector<std::string>& arguments,
                     const std::string& directory, const RunOptions& options) {
    RunResult result;
    // Root overrides file modes, so only root needs to drop to another user for a real denial.
    const bool dropToNobody = options.asUnprivileged && ::geteuid() == 0;
    uid_t uid = 0;
    gid_t gid = 0;
    if (dropToNobody && !lookUpNobody(uid, gid)) {
        ADD_FAILURE() << "run as root, this test needs the user 'nobody' to be denied access";
        return result;
    }
    // CI may start the tests without a standard input: keep the pipes off descriptors 0 to 2.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0) ::open("/dev/null", O_RDWR);
    }
    const std::string program = dropToNobody ? unprivilegedBinary(binary) : binary;
    const std::string name = std::filesystem::path(binary).filename().string();
    std::vector<char*> argv{const_cast<char*>(name.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }
    // A child writing to a closed input pipe must not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    if (options.outputsClosed) {
        ::close(out[0]);
        ::close(err[0]);
        out[0] = err[0] = -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
            if (fd > 2) ::close(fd);
        }
        if (::chdir(directory.c_str()) != 0) ::_exit(126);
        if (dropToNobody) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(125);
        }
        // The programs themselves must survive a write past the file-size limit.
        std::signal(SIGXFSZ, SIG_DFL);
        std::signal(SIGPIPE, SIG_DFL);
        for (const auto& [resource, bytes] : {std::pair{RLIMIT_FSIZE, options.fileSizeLimit},
                                              std::pair{RLIMIT_AS, options.addressSpaceLimit}}) {
            if (bytes < 0) continue;
            const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
            if (::setrlimit(resource, &limit) != 0) ::_exit(124);
        }
        if (!options.inputFile.empty()) {
            const int file = ::open(options.inputFile.c_str(), O_RDONLY);
            if (file < 0 || ::dup2(file, 0) != 0) ::_exit(123);
            ::close(file);
        }
        for (int fd : options.closed) ::close(fd);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    pump(in[1], options.input, out[0], err[0], result);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    if (dropToNobody && result.status == 125) ADD_FAILURE() << "could not drop to 'nobody'";
    return result;
}

RunOptions withInput(std::string input) {
    RunOptions options;
    options.input = std::move(input);
    return options;
}

RunOptions asNobody() {
    RunOptions options;
    options.asUnprivileged = true;
    return options;
}

RunInFresh runWithParameters(std::string_view parameterFile, std::string_view keyboard) {
    ScratchDir dir;
    writeFile(dir.file("PARAMETER.TXT"), parameterFile);
    RunInFresh run;
    run.result = runBinary(dir.path, withInput(std::string(keyboard)));
    run.reportWritten = fileExists(dir.file("ReduzModel.txt"));
    if (run.reportWritten) run.report = readFile(dir.file("ReduzModel.txt"));
    return run;
}

ShellResult runShell(const std::string& command) {
    ShellResult result;
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

std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string joined;
    for (std::string_view line : lines) {
        joined += line;
        joined += "\r\n";
    }
    return joined;
}

}  // namespace reduz::testing
