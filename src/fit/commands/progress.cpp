#include "fit/commands/progress.hpp"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace reduz::fit {

namespace {

constexpr int barWidth = 20;
constexpr int lineWidth = 11 + barWidth + 6;  // "measuring [", the bar, "] 100%"

// A terminal that has gone away is no reason to stop measuring: failures are ignored.
void put(int fd, const std::string& text) {
    if (::write(fd, text.data(), text.size()) < 0) return;
}

}  // namespace

bool wantsProgress(int fd, long long work) { return work >= progressWork && ::isatty(fd) == 1; }

void showProgress(ProgressBar& bar, long long done, long long total) {
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == bar.percent) return;
    bar.percent = percent;
    const int filled = percent * barWidth / 100;
    char tail[8];
    std::snprintf(tail, sizeof tail, "] %3d%%", percent);
    put(bar.fd, "\rmeasuring [" + std::string(static_cast<std::size_t>(filled), '#') +
                    std::string(static_cast<std::size_t>(barWidth - filled), ' ') + tail);
}

void clearProgress(ProgressBar& bar) {
    if (bar.percent < 0) return;
    put(bar.fd, "\r" + std::string(lineWidth, ' ') + "\r");
    bar.percent = -1;
}

}  // namespace reduz::fit
