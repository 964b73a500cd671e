#include "textio/console.hpp"

#include <cerrno>
#include <unistd.h>

namespace reduz {

namespace {

bool owedLineEnd = false;

}  // namespace

RunStreams& runStreams() {
    static RunStreams streams;
    return streams;
}

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return 0;
}

bool lineEndPending() { return owedLineEnd; }

void setLineEndPending(bool pending) { owedLineEnd = pending; }

void writeOwedLineEnd() {
    if (owedLineEnd) writeAll(runStreams().output, "\r\n");
}

}  // namespace reduz
