#include "fit/measuring/ascii_grid.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"
#include "fit/base/text_case.hpp"
#include "fit/base/text_lines.hpp"
#include "fit/measuring/grid_sweep.hpp"

namespace reduz::fit {

namespace {

struct Line {
    long number = 0;
    std::vector<std::string_view> tokens;
};

// The next line of `text` split at blanks and TABs.
bool nextLine(std::string_view& text, Line& line) {
    if (text.empty()) return false;
    std::string_view rest = text.substr(0, lineEnd(text));
    text.remove_prefix(lineLength(text));
    ++line.number;
    line.tokens.clear();
    // A byte at a time: a map's values are a byte or two, and searching for each end costs more.
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    for (std::size_t at = 0; at < rest.size();) {
        if (blank(rest[at])) {
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        while (end < rest.size() && !blank(rest[end])) ++end;
        line.tokens.push_back(rest.substr(at, end - at));
        at = end;
    }
    return true;
}

enum Key { ncolsKey, nrowsKey, xKey, yKey, cellsizeKey, nodataKey, keyCount };

struct KeyName {
    std::string_view name;
    Key key;
};

constexpr std::array<KeyName, 8> keyNames = {{
    {"ncols", ncolsKey}, {"nrows", nrowsKey}, {"xllcorner", xKey}, {"xllcenter", xKey},
    {"yllcorner", yKey}, {"yllcenter", yKey}, {"cellsize", cellsizeKey}, {"nodata_value", nodataKey},
}};

std::optional<Key> keyOf(std::string_view token) {
    for (const KeyName& k : keyNames) {
        if (sameIgnoringCase(k.name, token)) return k.key;
    }
    return std::nullopt;
}

struct Header {
    std::array<long, keyCount> line{};  // where each key was given; 0 when it was not
    long long ncols = 0;
    long long nrows = 0;
    double cellsize = 0;
    std::optional<double> nodata;
    std::optional<long long> nodataWhole;  // when NODATA is a whole number, as cells are compared
};

void readHeaderValue(std::string_view file, const Line& line, Key key, Header& header) {
    const std::string name(line.tokens[0]);
    if (header.line[key] != 0) {
        failInput(file, line.number, 1, name + " repeats the header line " + std::to_string(header.line[key]));
    }
    if (line.tokens.size() != 2) {
        failInput(file, line.number, line.tokens.size() < 2 ? 2 : 3, name + " takes one value");
    }
    header.line[key] = line.number;
    const std::string text(line.tokens[1]);
    const std::optional<double> value = parseNumber(text);
    if (key == ncolsKey || key == nrowsKey) {
        const std::optional<long long> count = parseWhole(text);
        if (!count || *count <= 0) failInput(file, line.number, 2, name + " \"" + text + "\" is not a whole number above 0");
        (key == ncolsKey ? header.ncols : header.nrows) = *count;
    } else if (key == cellsizeKey) {
        if (!value || *value <= 0) failInput(file, line.number, 2, name + " \"" + text + "\" is not a number above 0");
        header.cellsize = *value;
    } else if (!value) {
        failInput(file, line.number, 2, name + " \"" + text + "\" is not a number");
    } else if (key == nodataKey) {
        header.nodata = value;
        header.nodataWhole = parseWholeDecimal(text);
    }
}

// Reads header lines up to the first line of cells, which it leaves in `line` (with no tokens
// when the text ends first).
Header readHeader(std::string_view& text, std::string_view file, Line& line) {
    Header header;
    bool atCells = false;
    while (nextLine(text, line)) {
        if (line.tokens.empty()) continue;
        const std::optional<Key> key = keyOf(line.tokens[0]);
        if (key) {
            readHeaderValue(file, line, *key, header);
            continue;
        }
        if (!parseNumber(line.tokens[0])) {
            failInput(file, line.number, 1, "\"" + std::string(line.tokens[0]) + "\" is neither a header key nor a class code");
        }
        atCells = true;
        break;
    }
    if (!atCells) line.tokens.clear();
    constexpr std::array<std::string_view, keyCount> needed = {"ncols", "nrows", "xllcorner or xllcenter",
                                                               "yllcorner or yllcenter", "cellsize", ""};
    for (int k = 0; k < nodataKey; ++k) {
        if (header.line[k] == 0) {
            failInput(file, line.tokens.empty() ? 0 : line.number, line.tokens.empty() ? 0 : 1,
                      "the header has no " + std::string(needed[k]));
        }
    }
    return header;
}

// One row of cells: each cell's whole code, or NoData.
void readRow(std::string_view file, const Line& line, const Header& header, std::vector<std::int64_t>& codes,
             std::vector<std::uint8_t>& isNoData) {
    if (static_cast<long long>(line.tokens.size()) != header.ncols) {
        const long column = static_cast<long>(std::min<long long>(static_cast<long long>(line.tokens.size()), header.ncols)) + 1;
        failInput(file, line.number, column,
                  std::to_string(line.tokens.size()) + " values where ncols is " + std::to_string(header.ncols));
    }
    codes.clear();
    isNoData.clear();
    for (std::size_t c = 0; c < line.tokens.size(); ++c) {
        const std::string text(line.tokens[c]);
        // Codes are whole numbers read exactly: through a double, 2^53 and 2^53 + 1 would be one.
        const std::optional<long long> code = parseWholeDecimal(text);
        // As a double only where the whole code cannot tell: no code, or a NODATA of another form.
        const std::optional<double> value = code && (!header.nodata || header.nodataWhole) ? std::optional<double>(*code)
                                                                                          : parseNumber(text);
        const long column = static_cast<long>(c) + 1;
        if (!code && !value) failInput(file, line.number, column, "\"" + text + "\" is not a class code");
        const bool nodata = header.nodata && (code && header.nodataWhole ? *code == *header.nodataWhole
                                                                         : value && *value == *header.nodata);
        if (nodata) {
            codes.push_back(0);
            isNoData.push_back(1);
            continue;
        }
        if (!code && *value == std::trunc(*value)) {
            failInput(file, line.number, column, "class code \"" + text + "\" is beyond the 64-bit whole numbers");
        }
        if (!code) failInput(file, line.number, column, "class code \"" + text + "\" is not a whole number");
        codes.push_back(*code);
        isNoData.push_back(0);
    }
}

// A cell that ends past the largest number has no place along its hole: along rows the row's
// first such cell that holds a class, along columns a row of the grid that holds one.
void checkFinite(std::string_view file, const Header& header, bool alongColumns, long long row,
                 std::span<const std::uint8_t> isNoData) {
    long long cell = 0;  // the cell, from 1, that ends beyond the largest number
    if (alongColumns) {
        const bool holds = std::find(isNoData.begin(), isNoData.end(), std::uint8_t{0}) != isNoData.end();
        if (holds && !std::isfinite(static_cast<double>(row + 1) * header.cellsize)) cell = row + 1;
    } else if (!std::isfinite(static_cast<double>(isNoData.size()) * header.cellsize)) {
        for (std::size_t c = 0; c < isNoData.size() && cell == 0; ++c) {
            if (isNoData[c] == 0 && !std::isfinite(static_cast<double>(c + 1) * header.cellsize)) cell = static_cast<long long>(c) + 1;
        }
    }
    if (cell == 0) return;
    failInput(file, header.line[cellsizeKey], 2,
              "cellsize " + shortest(header.cellsize) + " puts cell " + std::to_string(cell) + " of a " +
                  (alongColumns ? "column" : "row") + " beyond the largest number");
}

}  // namespace

bool namesMap(std::string_view path) { return endsIgnoringCase(path, ".asc"); }

GridSize readAsciiGridRows(std::string_view text, std::string_view file, bool alongColumns,
                           const std::function<void(const GridSize&)>& onSize,
                           const std::function<void(std::span<const std::int64_t>, std::span<const std::uint8_t>)>& onRow) {
    const bool endsLine = !text.empty() && (text.back() == '\n' || text.back() == '\r');
    Line line;
    const Header header = readHeader(text, file, line);
    const GridSize size{header.ncols, header.nrows, header.cellsize};
    onSize(size);
    std::vector<std::int64_t> codes;
    std::vector<std::uint8_t> isNoData;
    long long rows = 0;
    bool any = false;
    do {
        if (line.tokens.empty()) continue;
        if (rows == header.nrows) failInput(file, line.number, 1, "more rows than nrows " + std::to_string(header.nrows));
        readRow(file, line, header, codes, isNoData);
        any = any || std::find(isNoData.begin(), isNoData.end(), std::uint8_t{0}) != isNoData.end();
        checkFinite(file, header, alongColumns, rows, isNoData);
        onRow(codes, isNoData);
        ++rows;
    } while (nextLine(text, line));
    if (rows < header.nrows) {
        // Where the first missing row would stand: the line after the file's last, or after the
        // last value of a last line left without its line end.
        failInput(file, endsLine ? line.number + 1 : line.number,
                  endsLine ? 1 : static_cast<long>(line.tokens.size()) + 1,
                  "the grid ends after " + std::to_string(rows) + " of its " + std::to_string(header.nrows) + " rows");
    }
    if (!any) failInput(file, 0, 0, "every cell is NODATA");
    return size;
}

Logs readAsciiGrid(std::string_view text, std::string_view file, bool alongColumns) {
    std::vector<std::int64_t> codes;
    std::vector<std::uint8_t> isNoData;
    const GridSize size = readAsciiGridRows(
        text, file, alongColumns, [](const GridSize&) {},
        [&](std::span<const std::int64_t> row, std::span<const std::uint8_t> noData) {
            codes.insert(codes.end(), row.begin(), row.end());
            isNoData.insert(isNoData.end(), noData.begin(), noData.end());
        });
    return holesOfGrid(codes, isNoData, size.columns, size.cellsize, size.cellsize, alongColumns);
}

}  // namespace reduz::fit
