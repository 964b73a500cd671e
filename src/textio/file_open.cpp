#include "textio/file_open.hpp"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace reduz {

std::string_view connectionName(std::string_view name) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

int openFailureNumber(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
        case ENOTDIR:
            return 6416;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EISDIR:
        case EBUSY:
            return 6414;
        case EEXIST:
            return 6415;
        case EMFILE:
        case ENFILE:
            return 6417;
        default:  // EINVAL, ENAMETOOLONG, ELOOP, ENOMEM, ENOSPC, ...
            return 6412;
    }
}

OpenedFile openWithFallbacks(std::string_view name) {
    const std::string path(name);
    OpenedFile result;
    struct stat info {};
    result.existed = ::stat(path.c_str(), &info) == 0;
    const int creation = result.existed ? 0 : (O_CREAT | O_EXCL);
    struct Attempt {
        int mode;
        bool readable;
        bool writable;
    };
    const Attempt attempts[] = {{O_RDWR, true, true}, {O_RDONLY, true, false}, {O_WRONLY, false, true}};
    int lastErrno = 0;
    for (const Attempt& attempt : attempts) {
        const int fd = ::open(path.c_str(), attempt.mode | creation | O_CLOEXEC, 0666);
        if (fd >= 0) {
            result.fd = fd;
            result.readable = attempt.readable;
            result.writable = attempt.writable;
            return result;
        }
        lastErrno = errno;
        // A file that appeared after the existence test: the exclusive creation is refused.
        if (lastErrno == EEXIST) break;
    }
    result.failureNumber = openFailureNumber(lastErrno);
    return result;
}

}  // namespace reduz
