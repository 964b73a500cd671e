// What a run spends its time on: the lag table of every shape at the largest lag the table
// holds, the F9.4 and F9.2 number fields, and a whole run in-process that writes its report;
// and how many evaluations of a shape over lags 0 to 200 a fitter gets a second, with plain
// doubles first (evaluateShape) and on the exact path alone (evaluateShapeExactly).
//
//   build/bench/reduz_bench [--benchmark_filter=REGEX]

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "driver/run.hpp"
#include "failure/float_settings.hpp"
#include "models/catalogue.hpp"
#include "models/lag_table.hpp"
#include "textio/fields.hpp"
#include "textio/console.hpp"
#include "textio/record_writer.hpp"

namespace {

struct Shape {
    int kind;
    int model;
    const char* name;
};

constexpr Shape shapes[] = {
    {1, 1, "auto-1-linear"},          {1, 2, "auto-2-spherical"},       {1, 3, "auto-3-exponential"},
    {1, 4, "auto-4-gaussian"},        {1, 5, "auto-5-nugget"},          {1, 6, "auto-6-hole-effect"},
    {1, 7, "auto-7-dampened-hole"},   {1, 8, "auto-8-power"},           {2, 1, "cross-1-linear"},
    {2, 2, "cross-2-spherical"},      {2, 3, "cross-3-exponential"},    {2, 4, "cross-4-gaussian"},
    {2, 5, "cross-5-nugget"},         {2, 6, "cross-6-hole-effect"},    {2, 7, "cross-7-dampened-hole"},
    {2, 8, "cross-8-power"},          {2, 9, "cross-9-gamma-exp"},      {2, 10, "cross-10-gamma-gauss"},
    {2, 11, "cross-11-gamma-spher"},  {2, 12, "cross-12-test-gamma"},
};

// The parameters of a first run: the usual sill and range, every prompt answered with its
// default.
reduz::ModelParameters parametersOf(const Shape& shape) {
    reduz::ModelParameters p;
    p.kind = shape.kind;
    p.model = shape.model;
    p.sill = 0.25;
    p.range = 25.0;
    p.maxLag = reduz::maxTableLag;
    p.D = 0.25 * 0.949999988079071;
    p.C = 1.0;
    p.W = 1.0;
    p.ALFA = 2.0;
    p.BETA = 1.0;
    return p;
}

void lagTable(benchmark::State& state, const Shape& shape) {
    reduz::setUpFloatSettings();
    const reduz::ModelParameters p = parametersOf(shape);
    reduz::LagTable table{};
    for (auto _ : state) {
        reduz::computeLagTable(p, table);
        benchmark::DoNotOptimize(table.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (reduz::maxTableLag + 1));
}

using Evaluation = void (*)(const reduz::Shape&, const reduz::ModelParameters&, std::int32_t, std::span<double>);

// One evaluation is the shape at lags 0 to 200 with a first run's parameters; items per second
// are evaluations per second.
void shapeEvaluation(benchmark::State& state, const Shape& shape, Evaluation evaluate) {
    reduz::setUpFloatSettings();
    const reduz::ModelParameters p = parametersOf(shape);
    const reduz::Shape& row = *reduz::findShape(shape.kind, shape.model);
    std::array<double, 201> values{};
    for (auto _ : state) {
        evaluate(row, p, 0, values);
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

// The values of a real table (cross model 11, lags 0 to 1000) and of a parameter line.
std::vector<double> fieldValues() {
    reduz::LagTable table{};
    reduz::computeLagTable(parametersOf(shapes[18]), table);
    return std::vector<double>(table.begin(), table.end());
}

void fixedField(benchmark::State& state, int w, int d) {
    const std::vector<double> values = fieldValues();
    for (auto _ : state) {
        for (const double value : values) benchmark::DoNotOptimize(reduz::renderFixed(value, w, d));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}

void integerField(benchmark::State& state) {
    for (auto _ : state) {
        for (std::int32_t lag = 0; lag <= reduz::maxTableLag; ++lag) {
            benchmark::DoNotOptimize(reduz::renderInteger(lag, 3));
        }
    }
    state.SetItemsProcessed(state.iterations() * (reduz::maxTableLag + 1));
}

void writeFile(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    ::close(fd);
}

// A whole run of cross model 11 at maxLag 1000 in a scratch directory, with the prompt's
// answer on a file standing in for the keyboard and the console thrown away.
void wholeRun(benchmark::State& state) {
    std::string directory = "/tmp/reduz-bench-XXXXXX";
    if (::mkdtemp(directory.data()) == nullptr) std::abort();
    writeFile(directory + "/PARAMETER.TXT", "11 2\n0.25 25\n1000\n");
    writeFile(directory + "/keyboard.txt", "2 1 1\n");
    const int back = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (back < 0 || ::chdir(directory.c_str()) != 0) std::abort();
    const int keyboard = ::open("keyboard.txt", O_RDONLY | O_CLOEXEC);
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (keyboard < 0 || nowhere < 0) std::abort();
    reduz::runStreams() = reduz::RunStreams{keyboard, nowhere, nowhere};
    for (auto _ : state) {
        ::lseek(keyboard, 0, SEEK_SET);
        if (reduz::runProgram() != 0) {
            state.SkipWithError("the run failed");
            break;
        }
    }
    reduz::runStreams() = reduz::RunStreams{};
    ::close(keyboard);
    ::close(nowhere);
    for (const char* name : {"PARAMETER.TXT", "keyboard.txt", "ReduzModel.txt"}) ::unlink(name);
    if (::fchdir(back) != 0) std::abort();
    ::close(back);
    ::rmdir(directory.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    for (const Shape& shape : shapes) {
        benchmark::RegisterBenchmark((std::string("computeLagTable/") + shape.name).c_str(), lagTable, shape);
    }
    for (const Shape& shape : shapes) {
        benchmark::RegisterBenchmark((std::string("evaluateShape/plain/") + shape.name).c_str(), shapeEvaluation, shape,
                                     reduz::evaluateShape);
        benchmark::RegisterBenchmark((std::string("evaluateShape/exact/") + shape.name).c_str(), shapeEvaluation, shape,
                                     reduz::evaluateShapeExactly);
    }
    benchmark::RegisterBenchmark("renderFixed/F9.4", fixedField, 9, 4);
    benchmark::RegisterBenchmark("renderFixed/F9.2", fixedField, 9, 2);
    benchmark::RegisterBenchmark("renderInteger/I3", integerField);
    benchmark::RegisterBenchmark("runProgram/cross-11-maxLag-1000", wholeRun);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
