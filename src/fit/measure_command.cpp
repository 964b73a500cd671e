#include "fit/measure_command.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "fit/ascii_grid.hpp"
#include "fit/failures.hpp"
#include "fit/input_file.hpp"
#include "fit/number_text.hpp"
#include "fit/progress.hpp"
#include "fit/result_csv.hpp"
#include "fit/text_case.hpp"
#include "fit/whole_files.hpp"

namespace reduz::fit {

namespace {

// A table of L_ij above this many values (1 GiB) is refused rather than left to exhaust memory.
constexpr std::size_t largestPairTable = std::size_t{1} << 27;

bool backward(Direction d) { return d == Direction::up || d == Direction::west || d == Direction::north; }

}  // namespace

std::string measureSummary(const MeasureRequest& request, const Measurement& m) {
    return "input          " + request.input + "\nholes          " + std::to_string(m.holes) +
           "\nintervals      " + std::to_string(m.intervals) + "\nclasses        " + std::to_string(m.classes.size()) +
           "\nlogged length  " + shortest(m.loggedLength) + "\nlags           0 to " + std::to_string(m.lags) + " by " +
           shortest(m.step) + ", " + std::string(directionName(request.direction)) + "\n";
}


std::string_view directionName(Direction direction) {
    constexpr std::array<std::string_view, 6> names = {"down", "up", "east", "west", "north", "south"};
    return names[static_cast<std::size_t>(direction)];
}

bool isMapDirection(Direction direction) { return direction != Direction::down && direction != Direction::up; }

bool namesMap(std::string_view path) { return endsIgnoringCase(path, ".asc"); }

std::string classesPathBeside(std::string_view output) {
    const std::size_t slash = output.rfind('/');
    return std::string(slash == std::string_view::npos ? "" : output.substr(0, slash + 1)) + "classes.csv";
}

Measurement measureInput(const MeasureRequest& request, const ProgressFn& progress) {
    const std::string text = readInputFile(request.input);
    const bool alongColumns = request.direction == Direction::north || request.direction == Direction::south;
    const Logs logs = namesMap(request.input) ? readAsciiGrid(text, request.input, alongColumns)
                                              : readIntervalLogs(text, request.input, request.columns);
    if (pairTableSize(logs.classes.size(), request.lags) > largestPairTable) {
        failInput(request.input, 0, 0,
                  std::to_string(logs.classes.size()) + " classes are too many to measure at " +
                      std::to_string(request.lags + 1) + " lags");
    }
    Measurement m = measureTransiograms(logs, LagGrid{request.step, request.lags, backward(request.direction)}, progress);
    // Every L_ij is at most the logged length: while that is finite, so is every value written.
    if (!std::isfinite(m.loggedLength)) failInput(request.input, 0, 0, "the logged length is too large to measure");
    return m;
}

int runMeasure(const MeasureRequest& request) {
    const std::string classesPath = classesPathBeside(request.output);
    return reportingFailures([&] {
        for (const std::string& target : {request.output, classesPath}) {
            if (sameFile(request.input, target)) failInput(target, 0, 0, "is the input, which would be overwritten");
        }
        ProgressBar bar;
        std::optional<bool> barWanted;  // decided after the first hole, when the work is known
        const Measurement m = measureInput(request, [&](long long done, long long total) {
            if (!barWanted) barWanted = wantsProgress(bar.fd, total * (request.lags + 1));
            if (*barWanted) showProgress(bar, done, total);
        });
        clearProgress(bar);
        writeWholeFiles({{request.output, measuredCsv(m)}, {classesPath, classesCsv(m)}});
        std::fputs(measureSummary(request, m).c_str(), stdout);
        std::printf("written        %s, %s\n", request.output.c_str(), classesPath.c_str());
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) return reportFailure("cannot write the summary to standard output", 1);
        return 0;
    });
}

}  // namespace reduz::fit
