// Arbitrary bytes as a whole run, in-process, in a scratch directory.
//
// Input: one set-up byte, then the parameter file, a NUL byte and the keyboard input (without
// a NUL everything after the set-up byte is the parameter file and the keyboard has nothing).
// Set-up bit 0: there is no PARAMETER.TXT; bit 1: an older ReduzModel.txt is there.
//
// A run must end with status 0 or 1 and leave nothing but its two files behind: the
// parameter file (created empty only when it was missing, never changed otherwise) and the
// report. Status 0: nothing on standard error, the stop message, a report with one well-formed
// row per lag of a table that holds them. Status 1: one well-formed failure report and no new
// report (an older one untouched). The lag table, and the numeric failure of a run that fails
// with one, are those of the exact path alone for the run's parameters, bit for bit. Anything
// else, and every crash, sanitizer report, leak or hang, is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <span>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "driver/run.hpp"
#include "failure/run_failure.hpp"
#include "models/catalogue.hpp"
#include "models/lag_table.hpp"
#include "models/model_parameters.hpp"
#include "textio/console.hpp"

namespace {

std::string baseDirectory;  // holds the run directory and the stream files
std::string runDirectory;
int keyboardFd = -1;
int outFd = -1;
int errFd = -1;

constexpr std::string_view olderReport = " older report\r\n  h REDUZ-Model\r\n";

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "run_program_fuzzer: %s\n", what);
    std::abort();
}

void removeScratch() {
    for (const char* name : {"PARAMETER.TXT", "ReduzModel.txt"}) ::unlink((runDirectory + "/" + name).c_str());
    ::rmdir(runDirectory.c_str());
    for (const char* name : {"keyboard", "out", "err"}) ::unlink((baseDirectory + "/" + name).c_str());
    ::rmdir(baseDirectory.c_str());
}

int openStream(const char* name) {
    const int fd = ::open((baseDirectory + "/" + name).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) finding("cannot create a stream file");
    return fd;
}

void prepareScratch() {
    if (!baseDirectory.empty()) return;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/reduz-run-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) finding("cannot create the scratch directory");
    baseDirectory = pattern;
    runDirectory = baseDirectory + "/run";
    if (::mkdir(runDirectory.c_str(), 0700) != 0) finding("cannot create the run directory");
    keyboardFd = openStream("keyboard");
    outFd = openStream("out");
    errFd = openStream("err");
    std::atexit(removeScratch);
}

std::string path(const char* name) { return runDirectory + "/" + name; }

void writeWhole(const std::string& file, std::string_view bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) finding("cannot write a scratch file");
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put <= 0) finding("cannot write a scratch file");
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    ::close(fd);
}

void refill(int fd, std::string_view bytes) {
    if (::ftruncate(fd, 0) != 0) finding("cannot empty a stream file");
    if (!bytes.empty() && ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        finding("cannot fill a stream file");
    }
    ::lseek(fd, 0, SEEK_SET);
}

std::string readWhole(int fd) {
    std::string bytes;
    char chunk[4096];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, chunk, sizeof chunk, offset);
        if (got < 0) finding("cannot read a scratch file");
        if (got == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(got));
        offset += got;
    }
    return bytes;
}

bool readFile(const char* name, std::string& bytes) {
    const int fd = ::open(path(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bytes = readWhole(fd);
    ::close(fd);
    return true;
}

// The run directory holds nothing but the parameter file and the report.
void checkDirectory() {
    DIR* directory = ::opendir(runDirectory.c_str());
    if (directory == nullptr) finding("cannot list the run directory");
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || name == "PARAMETER.TXT" || name == "ReduzModel.txt") continue;
        std::fprintf(stderr, "run_program_fuzzer: the run left \"%s\"\n", entry->d_name);
        std::abort();
    }
    ::closedir(directory);
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        if (end == std::string_view::npos) finding("a report line without CR LF");
        result.push_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return result;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// " " + I3 + F9.4: the lag right-justified (asterisks from 1000 on), then blanks, an optional
// minus, digits, a point and four decimals, or nine asterisks.
void checkRow(std::string_view row, int lag) {
    if (row.size() != 13 || row[0] != ' ') finding("a row that is not 13 characters");
    char lagField[16];
    std::snprintf(lagField, sizeof lagField, "%3d", lag);
    if (row.substr(1, 3) != (lag > 999 ? std::string_view("***") : std::string_view(lagField))) {
        finding("a row with the wrong lag");
    }
    const std::string_view value = row.substr(4);
    if (value == "*********") return;
    std::size_t place = value.find_first_not_of(' ');
    if (place == std::string_view::npos) finding("an empty value field");
    if (value[place] == '-') ++place;
    while (place < value.size() && isDigit(value[place])) ++place;
    if (place != 4 || value[4] != '.') finding("a value field without its point in place");
    for (std::size_t i = 5; i < 9; ++i) {
        if (!isDigit(value[i])) finding("a value field without four decimals");
    }
}

void checkReport(const std::string& report) {
    const reduz::ModelParameters& p = reduz::runParameters();
    if (p.maxLag > reduz::maxTableLag) finding("a report for more lags than the table holds");
    const std::vector<std::string_view> all = lines(report);
    std::size_t heading = 0;
    while (heading < all.size() && all[heading] != "  h REDUZ-Model") ++heading;
    if (heading == all.size()) finding("a report without its column heading");
    const int rows = p.maxLag < 0 ? 0 : p.maxLag + 1;
    if (all.size() - heading - 1 != static_cast<std::size_t>(rows)) finding("a report with the wrong number of rows");
    for (int lag = 0; lag < rows; ++lag) checkRow(all[heading + 1 + static_cast<std::size_t>(lag)], lag);
    // The slots past maxLag are never written.
    const reduz::LagTable& table = reduz::runLagTable();
    for (std::size_t slot = static_cast<std::size_t>(rows); slot < table.size(); ++slot) {
        if (table[slot] != 0.0) finding("a table slot past maxLag was written");
    }
}

// The run takes each lag in plain doubles first and on the exact path again only where a
// flag says they may part; the exact path alone must give the same table and the same failure.
void checkLagTable(int status, std::string_view err) {
    const reduz::ModelParameters& p = reduz::runParameters();
    const reduz::Shape* shape = reduz::findShape(p.kind, p.model);
    if (shape == nullptr || p.maxLag < 0 || p.maxLag > reduz::maxTableLag) return;
    // A run that failed otherwise stopped before its table, or after it while writing the report.
    const bool numericFailure = status == 1 && err.substr(0, 18) == "\r\nrun-time error M";
    if (status != 0 && !numericFailure) return;
    reduz::LagTable exact{};
    std::string exactFailure;
    try {
        reduz::evaluateShapeExactly(*shape, p, 0, std::span<double>(exact.data(), static_cast<std::size_t>(p.maxLag) + 1));
    } catch (const reduz::RunFailure& failure) {
        exactFailure = reduz::failureReport(failure);
    }
    if (exactFailure != (numericFailure ? err : std::string_view())) finding("a numeric failure other than the exact path's");
    if (std::memcmp(exact.data(), reduz::runLagTable().data(), sizeof exact) != 0) {
        finding("a lag table other than the exact path's");
    }
}

void checkFailureReport(std::string_view err) {
    constexpr std::string_view start = "\r\nrun-time error ";
    if (err.substr(0, start.size()) != start) finding("a failure report that does not start as one");
    err.remove_prefix(start.size());
    if (err.size() < 5 || (err[0] != 'M' && err[0] != 'F')) finding("a failure report without its letter");
    for (std::size_t i = 1; i <= 4; ++i) {
        if (!isDigit(err[i])) finding("a failure number of other than four digits");
    }
    const char letter = err[0];
    err.remove_prefix(5);
    if (letter == 'M') {
        if (err.substr(0, 10) != ": MATH\r\n- ") finding("a numeric failure without MATH");
        err.remove_prefix(10);
    } else {
        std::string_view unit;
        for (const std::string_view statement : {": READ(", ": OPEN(", ": WRITE(", ": CLOSE("}) {
            if (err.substr(0, statement.size()) == statement) {
                err.remove_prefix(statement.size());
                unit = "found";
            }
        }
        if (unit.empty()) finding("a failure report without its statement");
        const std::size_t close = err.find(")\r\n- ");
        if (close == std::string_view::npos) finding("a failure report without its unit");
        unit = err.substr(0, close);
        if (unit != "PARAMETER.TXT" && unit != "CON" && unit != "ReduzModel.txt") finding("a failure on a strange unit");
        err.remove_prefix(close + 5);
    }
    if (err.size() < 3 || err.substr(err.size() - 2) != "\r\n" || err.find_first_of("\r\n") != err.size() - 2) {
        finding("a failure message of other than one line");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    prepareScratch();
    const std::uint8_t setUp = size > 0 ? data[0] : 0;
    const std::string_view rest = size > 0 ? std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)
                                           : std::string_view();
    const std::size_t split = rest.find('\0');
    const std::string_view parameterFile = rest.substr(0, split);
    const std::string_view keyboard = split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);
    const bool parametersMissing = (setUp & 1) != 0;
    const bool reportPresent = (setUp & 2) != 0;

    ::unlink(path("PARAMETER.TXT").c_str());
    ::unlink(path("ReduzModel.txt").c_str());
    if (!parametersMissing) writeWhole(path("PARAMETER.TXT"), parameterFile);
    if (reportPresent) writeWhole(path("ReduzModel.txt"), olderReport);
    refill(keyboardFd, keyboard);
    refill(outFd, {});
    refill(errFd, {});

    const int back = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (back < 0 || ::chdir(runDirectory.c_str()) != 0) finding("cannot enter the run directory");
    reduz::runStreams() = reduz::RunStreams{keyboardFd, outFd, errFd};
    const int status = reduz::runProgram();
    reduz::runStreams() = reduz::RunStreams{};
    if (::fchdir(back) != 0) finding("cannot leave the run directory");
    ::close(back);

    if (status != 0 && status != 1) finding("an exit status other than 0 and 1");
    checkDirectory();
    std::string parameters;
    if (!readFile("PARAMETER.TXT", parameters)) finding("the parameter file is gone");
    if (parametersMissing ? !parameters.empty() : parameters != parameterFile) {
        finding("the parameter file was written to");
    }
    if (parametersMissing && status != 1) finding("a run without a parameter file did not fail");
    const std::string out = readWhole(outFd);
    const std::string err = readWhole(errFd);
    std::string report;
    const bool reportThere = readFile("ReduzModel.txt", report);
    if (status == 0) {
        if (!err.empty()) finding("standard error written by a run that succeeded");
        constexpr std::string_view stop = "Stop - Program terminated.\r\n\r\n";
        if (out.size() < stop.size() || out.substr(out.size() - stop.size()) != stop) finding("no stop message");
        if (!reportThere) finding("a run that succeeded without a report");
        checkReport(report);
    } else {
        checkFailureReport(err);
        if (reportPresent ? (!reportThere || report != olderReport) : reportThere) {
            finding("a run that failed wrote a report");
        }
    }
    checkLagTable(status, err);
    return 0;
}
