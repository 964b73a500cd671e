#include "textio/replacement.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace reduz {

namespace {

// The name that is replaced: a symbolic link's target, so that the link stays.
std::string targetOf(const std::string& name) {
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return name;
    char resolved[PATH_MAX];
    if (::realpath(name.c_str(), resolved) == nullptr) return name;
    return resolved;
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

Replacement beginReplacement(std::string_view name) {
    Replacement replacement;
    replacement.target = targetOf(std::string(name));
    const std::size_t slash = replacement.target.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : replacement.target.substr(0, slash + 1);
    const std::string base = replacement.target.substr(slash == std::string::npos ? 0 : slash + 1);
    std::string temporary = directory + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        replacement.error = errno;
        return replacement;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    replacement.fd = fd;
    replacement.temporary = temporary;
    struct stat older {};
    if (::stat(replacement.target.c_str(), &older) == 0) {
        // The owner only where the system allows it (root, or the same owner); then the bits,
        // which a change of owner may have cleared.
        if (::fchown(fd, older.st_uid, older.st_gid) != 0) {
            // Left as the user who runs the program.
        }
        if (::fchmod(fd, older.st_mode & 07777) != 0) {
            // A file system without modes keeps its own.
        }
    } else if (::fchmod(fd, newFileMode()) != 0) {
        // The same.
    }
    return replacement;
}

int completeReplacement(Replacement& replacement) {
    int error = 0;
    if (::close(replacement.fd) != 0) error = errno;
    replacement.fd = -1;
    if (error == 0 && ::rename(replacement.temporary.c_str(), replacement.target.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(replacement.temporary.c_str());
    replacement.temporary.clear();
    return error;
}

void abandonReplacement(Replacement& replacement) {
    if (replacement.fd >= 0) ::close(replacement.fd);
    replacement.fd = -1;
    if (!replacement.temporary.empty()) ::unlink(replacement.temporary.c_str());
    replacement.temporary.clear();
}

}  // namespace reduz
