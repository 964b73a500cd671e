#pragma once
// A progress bar on a terminal, redrawn in place each time the whole percentage changes:
//
//   showProgress(bar, 1, 4)  -> "\rmeasuring [#####               ]  25%"
//   showProgress(bar, 1, 4)  -> nothing (the same percentage)
//   clearProgress(bar)       -> "\r" 37 blanks "\r"   (only when something was drawn)
//   a bar labelled "fitting 1600 pairs" -> "\rfitting 1600 pairs [#####               ]  25%"

#include <string>

namespace reduz::fit {

struct ProgressBar {
    int fd = 2;
    int percent = -1;  // the percentage drawn last; -1 before the first
    std::string label = "measuring";
};

// Worth a bar: `fd` is a terminal and the measurement has at least this much to do, counted in
// runs times lags (a few tenths of a second and more).
constexpr long long progressWork = 5'000'000;
bool wantsProgress(int fd, long long work);

// Worth a bar for a fit: `fd` is a terminal and there are at least this many pairs (a second
// and more).
constexpr long long fitProgressPairs = 64;
bool wantsFitProgress(int fd, long long pairs);

void showProgress(ProgressBar& bar, long long done, long long total);
void clearProgress(ProgressBar& bar);

}  // namespace reduz::fit
