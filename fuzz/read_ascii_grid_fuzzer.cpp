// Arbitrary bytes as an ESRI ASCII grid, read along its rows and along its columns. The way a
// map is cut into holes comes after the whole text is read, so both readings must refuse it with
// the same report (but for a cell that ends beyond the largest number, which only the way read
// has), or both return logs that keep the readers' rules and these of a map: classes are whole
// codes in ascending order, the same both ways; every run starts and ends on a cell edge, a
// whole number of cellsizes from 0, within the hole's length; the cells the runs cover are the
// intervals read, the same number both ways; no more holes than rows (or columns).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fit/base/number_text.hpp"
#include "fit/base/text_case.hpp"
#include "fit/base/text_lines.hpp"
#include "fit/measuring/ascii_grid.hpp"
#include "logs_checks.hpp"
#include "reader_fuzzing.hpp"

namespace {

using reduz::fuzz::finding;

struct Size {
    long long ncols = 0;
    long long nrows = 0;
    double cellsize = 0;
};

// The size of a map the reader took: its header's ncols, nrows and cellsize, each given once.
Size sizeOf(std::string_view text) {
    Size size;
    while (!text.empty()) {
        std::string_view line = text.substr(0, text.find_first_of("\r\n"));
        text.remove_prefix(reduz::fit::lineLength(text));
        const std::size_t keyStart = line.find_first_not_of(" \t\r");
        if (keyStart == std::string_view::npos) continue;
        line.remove_prefix(keyStart);
        const std::size_t keyEnd = std::min(line.find_first_of(" \t\r"), line.size());
        const std::string_view key = line.substr(0, keyEnd);
        line.remove_prefix(keyEnd);
        const std::size_t valueStart = std::min(line.find_first_not_of(" \t\r"), line.size());
        const std::string_view value = line.substr(valueStart, line.find_first_of(" \t\r", valueStart) - valueStart);
        if (reduz::fit::sameIgnoringCase(key, "ncols")) {
            size.ncols = reduz::fit::parseWhole(value).value_or(0);
        } else if (reduz::fit::sameIgnoringCase(key, "nrows")) {
            size.nrows = reduz::fit::parseWhole(value).value_or(0);
        } else if (reduz::fit::sameIgnoringCase(key, "cellsize")) {
            size.cellsize = reduz::fit::parseNumber(value).value_or(0);
        } else if (reduz::fit::parseNumber(key)) {
            break;  // the first row of cells
        }
    }
    if (size.ncols <= 0 || size.nrows <= 0 || !(size.cellsize > 0)) finding("a map read without its size");
    return size;
}

// The cell edge a position is at, which it must be exactly.
long long edgeAt(double position, const Size& size, long long length) {
    const double edge = std::round(position / size.cellsize);
    if (!(edge >= 0 && edge <= static_cast<double>(length))) finding("a run outside its hole");
    const long long k = static_cast<long long>(edge);
    if (static_cast<double>(k) * size.cellsize != position) finding("a run that starts or ends within a cell");
    return k;
}

// A cell's end beyond the largest number is the one refusal that depends on the way it is read.
bool endsBeyond(const std::string& report, bool alongColumns) {
    const std::string ending = std::string(" of a ") + (alongColumns ? "column" : "row") + " beyond the largest number";
    return report.size() > ending.size() && report.compare(report.size() - ending.size(), ending.size(), ending) == 0;
}

void checkMap(const reduz::fit::Logs& logs, const Size& size, bool alongColumns) {
    reduz::fuzz::checkLogs(logs);
    for (std::size_t c = 0; c < logs.classes.size(); ++c) {
        const std::optional<long long> code = reduz::fit::parseWhole(logs.classes[c]);
        if (!code || std::to_string(*code) != logs.classes[c]) finding("a class that is not a code: " + logs.classes[c]);
        if (c > 0 && !(*reduz::fit::parseWhole(logs.classes[c - 1]) < *code)) finding("classes not in ascending order");
    }
    const long long holes = alongColumns ? size.ncols : size.nrows;
    const long long length = alongColumns ? size.nrows : size.ncols;
    if (static_cast<long long>(logs.holes.size()) > holes) finding("more holes than the map has rows or columns");
    long long cells = 0;
    for (const reduz::fit::Hole& hole : logs.holes) {
        for (const reduz::fit::Run& run : hole.runs) {
            cells += edgeAt(run.to, size, length) - edgeAt(run.from, size, length);
        }
    }
    if (cells != logs.intervals) finding("runs that cover other than the cells read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = reduz::fuzz::textOf(data, size);
    std::string reports[2];
    std::optional<reduz::fit::Logs> logs[2];
    for (const bool alongColumns : {false, true}) {
        logs[alongColumns] = reduz::fuzz::readOrRefuse(
            text, "map.asc", [&] { return reduz::fit::readAsciiGrid(text, "map.asc", alongColumns); },
            &reports[alongColumns]);
    }
    const bool beyond[2] = {endsBeyond(reports[0], false), endsBeyond(reports[1], true)};
    if (!beyond[0] && !beyond[1] && (logs[0].has_value() != logs[1].has_value() || reports[0] != reports[1])) {
        finding("a map read one way and refused the other: " + reports[0] + reports[1]);
    }
    for (const bool alongColumns : {false, true}) {
        if (logs[alongColumns]) checkMap(*logs[alongColumns], sizeOf(text), alongColumns);
    }
    if (!logs[0] || !logs[1]) return 0;
    if (logs[0]->classes != logs[1]->classes) finding("other classes along columns than along rows");
    if (logs[0]->intervals != logs[1]->intervals) finding("other cells along columns than along rows");
    return 0;
}
