#include "textio/file_open.hpp"

#include <cerrno>
#include <fcntl.h>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace reduz {

std::string_view connectionName(std::string_view name) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

IoFailure openFailure(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
        case ENOTDIR:
            return IoFailure::FileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EISDIR:
        case EBUSY:
            return IoFailure::AccessDenied;
        case EEXIST:
            return IoFailure::FileExists;
        case EMFILE:
        case ENFILE:
            return IoFailure::TooManyOpenFiles;
        default:  // EINVAL, ENAMETOOLONG, ELOOP, ENOMEM, ENOSPC, ...
            return IoFailure::OpenRefused;
    }
}

OpenedFile openWithFallbacks(std::string_view name, OpenPurpose purpose) {
    const std::string path(name);
    OpenedFile result;
    struct stat info {};
    result.existed = ::stat(path.c_str(), &info) == 0;
    result.regular = !result.existed || S_ISREG(info.st_mode);
    const int creation = result.existed ? 0 : (O_CREAT | O_EXCL);
    struct Attempt {
        int mode;
        bool writable;
    };
    const Attempt attempts[] = {{O_RDWR, true}, {O_RDONLY, false}, {O_WRONLY, true}};
    // Opened for writing too, a FIFO would have the program for its own writer and never end.
    const bool readOnly = purpose == OpenPurpose::Reading && !result.regular;
    const std::span<const Attempt> tried = readOnly ? std::span<const Attempt>(attempts + 1, 1) : std::span<const Attempt>(attempts);
    int lastErrno = 0;
    for (const Attempt& attempt : tried) {
        const int fd = ::open(path.c_str(), attempt.mode | creation | O_CLOEXEC, 0666);
        if (fd >= 0) {
            result.fd = fd;
            result.writable = attempt.writable;
            return result;
        }
        lastErrno = errno;
        // A file that appeared after the existence test: the exclusive creation is refused.
        if (lastErrno == EEXIST) break;
    }
    result.failure = openFailure(lastErrno);
    return result;
}

}  // namespace reduz
