#include "fit/base/input_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fit/base/failures.hpp"

namespace reduz::fit {

namespace {

constexpr const char* tooLarge = "is larger than 2 GiB, the most reduzfit reads";

}  // namespace

std::string readInputFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) failInput(path, 0, 0, std::strerror(errno));
    struct stat status {};
    const bool known = ::fstat(fd, &status) == 0;
    const char* refused = !known                                                ? nullptr
                          : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? "is a device, not a file of data"
                          : S_ISREG(status.st_mode) && status.st_size > largestInput
                              ? tooLarge
                              : nullptr;
    if (refused != nullptr) {
        ::close(fd);
        failInput(path, 0, 0, refused);
    }
    std::string text;
    char chunk[65536];
    while (true) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            failInput(path, 0, 0, std::strerror(error));
        }
        if (got == 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
        if (static_cast<long long>(text.size()) > largestInput) {
            ::close(fd);
            failInput(path, 0, 0, tooLarge);
        }
    }
    ::close(fd);
    return text;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace reduz::fit
