#include "fit/commands/progress.hpp"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace reduz::fit {

namespace {

constexpr int barWidth = 20;

// The label, " [", the bar, "] 100%".
std::size_t lineWidth(const ProgressBar& bar) { return bar.label.size() + 2 + barWidth + 6; }

// A terminal that has gone away is no reason to stop measuring: failures are ignored.
void put(int fd, const std::string& text) {
    if (::write(fd, text.data(), text.size()) < 0) return;
}

}  // namespace

bool wantsProgress(int fd, long long work) { return work >= progressWork && ::isatty(fd) == 1; }

bool wantsFitProgress(int fd, long long pairs) { return pairs >= fitProgressPairs && ::isatty(fd) == 1; }

void showProgress(ProgressBar& bar, long long done, long long total) {
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == bar.percent) return;
    bar.percent = percent;
    const int filled = percent * barWidth / 100;
    char tail[8];
    std::snprintf(tail, sizeof tail, "] %3d%%", percent);
    std::string line = "\r";
    line += bar.label;
    line += " [";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(barWidth - filled), ' ');
    line += tail;
    put(bar.fd, line);
}

void clearProgress(ProgressBar& bar) {
    if (bar.percent < 0) return;
    std::string blank(lineWidth(bar) + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    put(bar.fd, blank);
    bar.percent = -1;
}

}  // namespace reduz::fit
