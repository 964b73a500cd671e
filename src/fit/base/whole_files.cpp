#include "fit/base/whole_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "fit/base/failures.hpp"

namespace reduz::fit {

namespace {

[[noreturn]] void failWrite(const char* what, const std::string& target, int error) {
    throw OutputError(std::string("cannot ") + what + " " + target + ": " + std::strerror(error));
}

// "out/measured.csv" -> "out/.measured.csv.XXXXXX", "fitted/" -> ".fitted.XXXXXX"
std::string temporaryPattern(std::string target) {
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    const std::size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return directory + "." + name + ".XXXXXX";
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

void writeAll(int fd, const std::string& text, const std::string& target) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(fd, text.data() + written, text.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) failWrite("write", target, put < 0 ? errno : ENOSPC);
        written += static_cast<std::size_t>(put);
    }
}

// Gives a new file its mode and text and puts it on the disk; closes fd whatever happens.
void fill(int fd, mode_t mode, const std::string& text, const std::string& target) {
    try {
        if (::fchmod(fd, mode) != 0) failWrite("create", target, errno);
        writeAll(fd, text, target);
        if (::fsync(fd) != 0) failWrite("write", target, errno);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0) failWrite("write", target, errno);
}

// The temporary for one target, complete and on the disk; its path is in `temporary` from the
// moment it exists, so that the caller can remove it whatever happens next.
void writeTemporary(const FileText& file, mode_t mode, std::string& temporary) {
    std::string pattern = temporaryPattern(file.path);
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) failWrite("create", file.path, errno);
    temporary = pattern;
    fill(fd, mode, file.text, file.path);
}

void removeAll(const std::vector<std::string>& temporaries) {
    for (const std::string& path : temporaries) {
        if (!path.empty()) ::unlink(path.c_str());
    }
}

void syncDirectory(const std::string& path, const std::string& target) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) failWrite("write", target, errno);
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!synced) failWrite("write", target, error);
}

// Every file of the directory inside `staging`, folders made on the way and put on the disk.
void writeInto(const std::string& staging, const std::string& directory, const std::vector<FileText>& files,
               mode_t mask) {
    std::vector<std::string> folders = {""};
    for (const FileText& file : files) {
        const std::string target = directory + "/" + file.path;
        for (std::size_t slash = file.path.find('/'); slash != std::string::npos;
             slash = file.path.find('/', slash + 1)) {
            const std::string folder = file.path.substr(0, slash);
            if (::mkdir((staging + "/" + folder).c_str(), 0777 & ~mask) == 0) {
                folders.push_back(folder);
            } else if (errno != EEXIST) {
                failWrite("create", directory + "/" + folder, errno);
            }
        }
        const int fd = ::open((staging + "/" + file.path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) failWrite("create", target, errno);
        fill(fd, 0666 & ~mask, file.text, target);
    }
    for (const std::string& folder : folders) syncDirectory(staging + "/" + folder, directory + "/" + folder);
}

// Puts `staging` where `directory` is; an older directory ends up at `staging`.
void putInPlace(const std::string& staging, const std::string& directory) {
    if (::rename(staging.c_str(), directory.c_str()) == 0) return;
    if (errno != ENOTEMPTY && errno != EEXIST) failWrite("replace", directory, errno);
    if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, directory.c_str(), RENAME_EXCHANGE) != 0) {
        failWrite("replace", directory, errno);
    }
}

// The signals that end a run from outside are held while the output is written and put in
// place, so that the output is whole whenever one ends the run: one that came while the files
// were written ends it after their temporaries are removed, before anything is replaced.
constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t endingSet() {
    sigset_t set;
    ::sigemptyset(&set);
    for (const int signal : endingSignals) ::sigaddset(&set, signal);
    return set;
}

struct HeldSignals {
    sigset_t previous{};
    HeldSignals() {
        const sigset_t ending = endingSet();
        ::pthread_sigmask(SIG_BLOCK, &ending, &previous);
    }
    ~HeldSignals() { ::pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
};

bool interrupted() {
    sigset_t pending;
    if (::sigpending(&pending) != 0) return false;
    for (const int signal : endingSignals) {
        if (::sigismember(&pending, signal) == 1) return true;
    }
    return false;
}

// Should the signal be caught rather than end the run when it is released, the run still
// fails: nothing was written.
[[noreturn]] void failInterrupted(const std::string& target) {
    throw OutputError("interrupted: " + target + " is not written");
}

}  // namespace

void writeWholeFiles(const std::vector<FileText>& files) {
    // Each target is checked before any is written: a directory in the way of the second
    // would otherwise be found after the first was replaced.
    for (const FileText& file : files) {
        struct stat status {};
        if (::lstat(file.path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) failWrite("replace", file.path, EISDIR);
    }
    const mode_t mask = currentUmask();
    std::vector<std::string> temporaries(files.size());
    const HeldSignals held;
    try {
        for (std::size_t f = 0; f < files.size(); ++f) writeTemporary(files[f], 0666 & ~mask, temporaries[f]);
        if (interrupted()) failInterrupted(files.front().path);
        for (std::size_t f = 0; f < files.size(); ++f) {
            if (::rename(temporaries[f].c_str(), files[f].path.c_str()) != 0) failWrite("replace", files[f].path, errno);
            temporaries[f].clear();
        }
    } catch (...) {
        removeAll(temporaries);
        throw;
    }
}

std::string writeWholeDirectory(const std::string& directory, const std::vector<FileText>& files) {
    const mode_t mask = currentUmask();
    std::string staging = temporaryPattern(directory);
    const HeldSignals held;
    if (::mkdtemp(staging.data()) == nullptr) failWrite("create", directory, errno);
    std::error_code ignored;
    try {
        if (::chmod(staging.c_str(), 0777 & ~mask) != 0) failWrite("create", directory, errno);
        writeInto(staging, directory, files, mask);
        if (interrupted()) failInterrupted(directory);
        putInPlace(staging, directory);
    } catch (...) {
        std::filesystem::remove_all(staging, ignored);
        throw;
    }
    // What remains at the temporary name is the older directory, if there was one.
    std::error_code error;
    std::filesystem::remove_all(staging, error);
    if (!error) return "";
    return "the older " + directory + " is left at " + staging + ": it cannot be removed (" + error.message() + ")";
}

}  // namespace reduz::fit
