// Whole runs in-process over thousands of generated parameter sets for every shape (and for
// kinds and models outside the catalogue): sensible values, edge values, wild values, and now
// and then input the reader must refuse. Whatever the parameters, a run ends one of two ways:
//   - exit status 0, nothing on standard error, the stop trail on standard output and a report
//     whose rows are all well formed and show the lag table;
//   - exit status 1, one well-formed failure report on standard error and no report file.
// Never both, never neither. The sets come from a fixed seed, so a failure comes back on every
// run; the message names the parameter file and the keyboard answer.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "driver/run.hpp"
#include "models/catalogue.hpp"
#include "models/model_parameters.hpp"
#include "support/scratch.hpp"
#include "textio/fields.hpp"
#include "textio/console.hpp"

namespace reduz::testing {
namespace {

constexpr std::string_view stopTrail = "Output transiogram model\r\nFinish\r\nStop - Program terminated.\r\n\r\n";

struct InProcessRun {
    int status = -1;
    std::string out;
    std::string err;
    bool reportWritten = false;
    std::string report;
};

// Everything a pipe holds once its writing end is closed.
std::string drain(int fd) {
    std::string bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0) break;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int ends[2];
        if (::pipe(ends) != 0) {
            ADD_FAILURE() << "no pipe";
            return;
        }
        read = ends[0];
        write = ends[1];
    }
    ~Pipe() { closeWrite(), closeRead(); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void closeWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
    void closeRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
};

void writeNewFile(const char* name, std::string_view bytes) {
    ::unlink(name);
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        ADD_FAILURE() << "cannot write " << name;
    }
    if (fd >= 0) ::close(fd);
}

// Runs the program in a scratch directory, with pipes for the keyboard, the console and
// standard error (a run writes a few hundred bytes at most, far less than a pipe holds). The
// working directory is the scratch directory while the runner lives.
class Runner {
public:
    Runner() {
        back_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (back_ < 0 || ::chdir(directory_.path.c_str()) != 0) ADD_FAILURE() << "cannot enter the run directory";
    }
    ~Runner() {
        runStreams() = RunStreams{};
        if (::fchdir(back_) != 0) ADD_FAILURE() << "cannot go back to the first working directory";
        ::close(back_);
    }
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    InProcessRun run(std::string_view parameterFile, std::string_view keyboard) {
        // Fresh files rather than emptied ones: emptying a file costs the file system a flush.
        writeNewFile("PARAMETER.TXT", parameterFile);
        ::unlink("ReduzModel.txt");
        Pipe in, out, err;
        if (!keyboard.empty() && ::write(in.write, keyboard.data(), keyboard.size()) != static_cast<ssize_t>(keyboard.size())) {
            ADD_FAILURE() << "cannot fill the keyboard pipe";
        }
        in.closeWrite();
        runStreams() = RunStreams{in.read, out.write, err.write};
        InProcessRun result;
        result.status = runProgram();
        runStreams() = RunStreams{};
        out.closeWrite();
        err.closeWrite();
        result.out = drain(out.read);
        result.err = drain(err.read);
        struct stat info {};
        result.reportWritten = ::stat("ReduzModel.txt", &info) == 0;
        if (result.reportWritten) result.report = readFile("ReduzModel.txt");
        return result;
    }

    // Names in the run directory other than the parameter file and the report.
    std::vector<std::string> strayFiles() const {
        std::vector<std::string> stray;
        for (const auto& entry : std::filesystem::directory_iterator(directory_.path)) {
            const std::string name = entry.path().filename().string();
            if (name != "PARAMETER.TXT" && name != "ReduzModel.txt") stray.push_back(name);
        }
        return stray;
    }

private:
    ScratchDir directory_;
    int back_ = -1;
};

// ---- Generated parameter sets --------------------------------------------------------------

struct Shape {
    int kind;
    int model;
};

class Generator {
public:
    explicit Generator(std::uint64_t seed) : random_(seed) {}

    std::string parameterFile(const Shape& shape) {
        std::string file = integerText(shape.model) + separator() + integerText(shape.kind) + lineEnd();
        if (chance(0.01)) file += lineEnd();  // an empty line is passed over
        file += realText(sillValue()) + separator() + realText(positive(1.0, 100.0)) + lineEnd();
        file += maxLagText() + lineEnd();
        return spoil(file);
    }

    // The answer to the prompt of models 7 to 12: D; C and W; ALFA, BETA and W; ALFA and BETA.
    std::string keyboard(const Shape& shape) {
        std::string answer;
        switch (shape.model) {
            case 7: answer = realText(positive(0.1, 50.0)); break;
            case 8: answer = realText(real(-5.0, 5.0)) + separator() + realText(real(-2.0, 3.0)); break;
            case 9:
            case 10:
            case 11:
                answer = realText(positive(0.5, 5.0)) + separator() + realText(positive(0.1, 3.0)) + separator() +
                         realText(real(-2.0, 3.0));
                break;
            case 12: answer = realText(positive(0.5, 5.0)) + separator() + realText(positive(0.1, 3.0)); break;
            default: break;
        }
        if (chance(0.03)) return {};          // the keyboard has nothing to give
        if (chance(0.03)) return "/\n";       // every default kept
        if (chance(0.02)) answer.insert(0, "\n\n");  // Enter alone waits for a line
        return spoil(answer + lineEnd());
    }

private:
    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p; }
    int below(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }
    double real(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }

    // A value of a first run, an edge value, or anything at all.
    double pick(double typical) {
        static constexpr double edges[] = {0.0,    -0.0,    1.0,     -1.0,    2.0,      0.5,     25.0,
                                           -4.5,   -4.0,    -3.5,    -0.5,    171.6,    171.7,   1e-300,
                                           1e300,  1e308,   -1e308,  5e-324,  1e-10,    1e10,    2.5,
                                           710.0,  -710.0,  9.3e18,  1e-20,   1000.0,   3.0,     0.999};
        const int kind = below(10);
        if (kind < 6) return typical;
        if (kind < 8) return edges[below(static_cast<int>(std::size(edges)))];
        const double magnitude = std::pow(10.0, real(-30.0, 30.0));
        return chance(0.5) ? -magnitude : magnitude;
    }
    double sillValue() { return pick(real(0.0, 1.0)); }
    double positive(double low, double high) { return pick(real(low, high)); }

    std::string separator() {
        const int kind = below(20);
        if (kind == 0) return ",";
        if (kind == 1) return " , ";
        if (kind == 2) return "\t";
        return " ";
    }
    std::string lineEnd() { return chance(0.2) ? "\r\n" : "\n"; }

    std::string integerText(int value) {
        char text[32];
        if (chance(0.02)) std::snprintf(text, sizeof text, "16#%X", static_cast<unsigned>(value));
        else std::snprintf(text, sizeof text, "%d", value);
        return text;
    }

    std::string realText(double value) {
        char text[64];
        switch (below(12)) {
            case 0: std::snprintf(text, sizeof text, "%.3f", value); break;
            case 1: {
                std::snprintf(text, sizeof text, "%.6E", value);
                for (char* c = text; *c != '\0'; ++c) {
                    if (*c == 'E') *c = 'D';
                }
                break;
            }
            case 2: return chance(0.5) ? "," : "/";  // the default survives
            default: std::snprintf(text, sizeof text, "%.17g", value); break;
        }
        return text;
    }

    std::string maxLagText() {
        const int kind = below(100);
        int maxLag = below(13);
        if (kind < 4) maxLag = -1 - below(5);
        else if (kind < 6) maxLag = 13 + below(988);
        else if (kind < 7) maxLag = 1000;
        else if (kind < 8) return chance(0.5) ? "1001" : "2147483647";
        else if (kind < 9) return chance(0.5) ? "," : "/";  // maxLag 100
        return integerText(maxLag);
    }

    // Now and then input that the reader refuses, or that ends too early.
    std::string spoil(std::string text) {
        if (!chance(0.04)) return text;
        static constexpr const char* bad[] = {"abc", "1E400", "50.", "'x'", "0*5", "2*3*4", "16#ZZ",
                                              "(1,2)", "2147483648", "+", "\x1a", "1.5.5", "3#1", "2*"};
        switch (below(3)) {
            case 0: return text.insert(static_cast<std::size_t>(below(static_cast<int>(text.size()) + 1)),
                                       std::string(" ") + bad[below(static_cast<int>(std::size(bad)))] + " ");
            case 1: return text.substr(0, static_cast<std::size_t>(below(static_cast<int>(text.size()) + 1)));
            default: return bad[below(static_cast<int>(std::size(bad)))] + std::string("\n") + text;
        }
    }

    std::mt19937_64 random_;
};

// ---- What a run may leave ------------------------------------------------------------------

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        if (end == std::string_view::npos) {
            result.push_back(text);
            break;
        }
        result.push_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return result;
}

// A value field: blanks, an optional minus, digits, a point and four decimals; or asterisks.
bool wellFormedValue(std::string_view field) {
    if (field.size() != 9) return false;
    if (field == "*********") return true;
    std::size_t place = field.find_first_not_of(' ');
    if (place == std::string_view::npos) return false;
    if (field[place] == '-') ++place;
    while (place < field.size() && field[place] >= '0' && field[place] <= '9') ++place;
    if (place != 4 || field[place] != '.') return false;
    for (std::size_t i = 5; i < 9; ++i) {
        if (field[i] < '0' || field[i] > '9') return false;
    }
    return true;
}

std::string expectedLagField(int lag) {
    char text[16];
    std::snprintf(text, sizeof text, "%3d", lag);
    return lag > 999 ? "***" : text;
}

// The rows after the column heading: one per lag, each 13 characters, showing the table.
void checkReport(const std::string& report) {
    ASSERT_GE(report.size(), 2u);
    ASSERT_EQ(report.substr(report.size() - 2), "\r\n") << "the report's last line has no line end";
    const std::vector<std::string_view> all = lines(report);
    std::size_t heading = 0;
    while (heading < all.size() && all[heading] != "  h REDUZ-Model") ++heading;
    ASSERT_LT(heading, all.size()) << "no column heading";
    const std::string_view first = all[0];
    EXPECT_TRUE(first == " Auto-Transiogram model (1-8). Need to tune." ||
                first == " Cross-Transiogram model (1-12). Need to tune." || first == " WRONG INPUT")
        << first;
    const ModelParameters& p = runParameters();
    const int rows = p.maxLag < 0 ? 0 : p.maxLag + 1;
    ASSERT_LE(p.maxLag, maxTableLag);
    ASSERT_EQ(all.size() - heading - 1, static_cast<std::size_t>(rows));
    for (int lag = 0; lag < rows; ++lag) {
        const std::string_view row = all[heading + 1 + static_cast<std::size_t>(lag)];
        ASSERT_EQ(row.size(), 13u) << "row " << lag << ": \"" << row << '"';
        ASSERT_EQ(row[0], ' ');
        ASSERT_EQ(row.substr(1, 3), expectedLagField(lag));
        const std::string_view value = row.substr(4);
        ASSERT_TRUE(wellFormedValue(value)) << "row " << lag << ": \"" << row << '"';
        ASSERT_EQ(value, renderFixed(runLagTable()[static_cast<std::size_t>(lag)], 9, 4)) << "row " << lag;
    }
}

// "\r\nrun-time error " letter, four digits, the statement, then "- " and one line of message.
void checkFailureReport(const std::string& err) {
    constexpr std::string_view start = "\r\nrun-time error ";
    ASSERT_EQ(err.substr(0, start.size()), start) << err;
    std::string_view rest = std::string_view(err).substr(start.size());
    ASSERT_GE(rest.size(), 5u);
    const char letter = rest[0];
    for (std::size_t i = 1; i <= 4; ++i) ASSERT_TRUE(rest[i] >= '0' && rest[i] <= '9') << err;
    rest.remove_prefix(5);
    if (letter == 'M') {
        ASSERT_EQ(rest.substr(0, 10), ": MATH\r\n- ") << err;
        rest.remove_prefix(10);
    } else {
        ASSERT_EQ(letter, 'F') << err;
        const std::size_t open = rest.find('(');
        ASSERT_NE(open, std::string_view::npos) << err;
        const std::string_view statement = rest.substr(0, open);
        ASSERT_TRUE(statement == ": READ" || statement == ": OPEN" || statement == ": WRITE" || statement == ": CLOSE")
            << err;
        rest.remove_prefix(open + 1);
        const std::size_t close = rest.find(")\r\n- ");
        ASSERT_NE(close, std::string_view::npos) << err;
        const std::string_view unit = rest.substr(0, close);
        ASSERT_TRUE(unit == "PARAMETER.TXT" || unit == "CON") << err;
        rest.remove_prefix(close + 5);
    }
    ASSERT_GE(rest.size(), 3u) << err;
    ASSERT_EQ(rest.substr(rest.size() - 2), "\r\n") << err;
    ASSERT_EQ(rest.find_first_of("\r\n"), rest.size() - 2) << "the message is one line: " << err;
}

std::string_view promptOf(int model) {
    const Question* question = questionOf(model);
    return question == nullptr ? std::string_view() : question->prompt;
}

struct Tally {
    int succeeded = 0;
    int failed = 0;
};

void checkRun(Runner& runner, const std::string& parameters, const std::string& keyboard, Tally& tally) {
    SCOPED_TRACE("PARAMETER.TXT \"" + parameters + "\", keyboard \"" + keyboard + '"');
    const InProcessRun run = runner.run(parameters, keyboard);
    ASSERT_TRUE(run.status == 0 || run.status == 1) << run.status;
    ASSERT_TRUE(runner.strayFiles().empty());
    // The run may have read other numbers than the generator meant, when the file was spoiled.
    const std::string_view prompt = promptOf(runParameters().model);
    if (run.status == 0) {
        ++tally.succeeded;
        ASSERT_EQ(run.err, "");
        ASSERT_TRUE(run.reportWritten) << "exit status 0 without a report";
        const std::string trail = prompt.empty() ? std::string(stopTrail) : std::string(prompt) + "\r\n" + std::string(stopTrail);
        ASSERT_EQ(run.out, trail);
        checkReport(run.report);
    } else {
        ++tally.failed;
        ASSERT_FALSE(run.reportWritten) << "a failed run left a report";
        checkFailureReport(run.err);
        ASSERT_TRUE(run.out.empty() || run.out == std::string(prompt) + "\r\n") << run.out;
    }
}

class RunProperty : public ::testing::TestWithParam<Shape> {};

TEST_P(RunProperty, EndsWithAReportOrWithAFailureReport) {
    const Shape shape = GetParam();
    Generator generator(0xC0FFEEULL * 131 + static_cast<std::uint64_t>(shape.kind * 100 + shape.model + 1000));
    Runner runner;
    Tally tally;
    constexpr int sets = 2000;
    for (int i = 0; i < sets && !HasFatalFailure(); ++i) {
        const std::string parameters = generator.parameterFile(shape);
        const std::string keyboard = generator.keyboard(shape);
        checkRun(runner, parameters, keyboard, tally);
    }
    // Both ends are reached for every shape, or the sets say little.
    EXPECT_GT(tally.succeeded, sets / 10);
    EXPECT_GT(tally.failed, sets / 100);
}

std::vector<Shape> shapes() {
    std::vector<Shape> all;
    for (int model = 1; model <= 8; ++model) all.push_back({1, model});
    for (int model = 1; model <= 12; ++model) all.push_back({2, model});
    // Outside the catalogue: kinds 0 and 3, models 0 and 13, and the gamma shapes of kind 1.
    for (const Shape& outside : {Shape{0, 3}, Shape{3, 1}, Shape{2, 0}, Shape{2, 13}, Shape{1, 9}, Shape{1, 12}}) {
        all.push_back(outside);
    }
    return all;
}

std::string shapeName(const ::testing::TestParamInfo<Shape>& info) {
    return "kind" + std::to_string(info.param.kind) + "_model" + std::to_string(info.param.model);
}

INSTANTIATE_TEST_SUITE_P(EveryShape, RunProperty, ::testing::ValuesIn(shapes()), shapeName);

}  // namespace
}  // namespace reduz::testing
