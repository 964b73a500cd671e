#include "fit/whole_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "fit/failures.hpp"

namespace reduz::fit {

namespace {

[[noreturn]] void failWrite(const char* what, const std::string& target, int error) {
    throw OutputError(std::string("cannot ") + what + " " + target + ": " + std::strerror(error));
}

std::string temporaryPattern(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return directory + "." + name + ".XXXXXX";
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

// The temporary for one target, complete and on the disk; its path is in `temporary` from the
// moment it exists, so that the caller can remove it whatever happens next.
void writeTemporary(const FileText& file, mode_t mode, std::string& temporary) {
    std::string pattern = temporaryPattern(file.path);
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) failWrite("create", file.path, errno);
    temporary = pattern;
    try {
        if (::fchmod(fd, mode) != 0) failWrite("create", file.path, errno);
        writeAll(fd, file.text, file.path);
        if (::fsync(fd) != 0) failWrite("write", file.path, errno);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0) failWrite("write", file.path, errno);
}

void removeAll(const std::vector<std::string>& temporaries) {
    for (const std::string& path : temporaries) {
        if (!path.empty()) ::unlink(path.c_str());
    }
}

}  // namespace

void writeWholeFiles(const std::vector<FileText>& files) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::vector<std::string> temporaries(files.size());
    try {
        for (std::size_t f = 0; f < files.size(); ++f) writeTemporary(files[f], 0666 & ~mask, temporaries[f]);
        for (std::size_t f = 0; f < files.size(); ++f) {
            if (::rename(temporaries[f].c_str(), files[f].path.c_str()) != 0) failWrite("replace", files[f].path, errno);
            temporaries[f].clear();
        }
    } catch (...) {
        removeAll(temporaries);
        throw;
    }
}

}  // namespace reduz::fit
