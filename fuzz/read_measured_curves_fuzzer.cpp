// Arbitrary bytes as measured.csv, read without a largest lag and with the ones a fit may ask
// for (--max-lag 1 to 1000). Each read must give curves that keep the reader's rules, or refuse
// the text with an InputError naming measured.csv:
//   - classes named once each, the pairs every ordered pair of them, no proportions yet;
//   - maxLag as asked, else the largest lag given, from 1 to 1000; a distance for every lag
//     from 0 to maxLag, each finite;
//   - each pair's points at lags 0 to maxLag in strictly increasing order, a probability from 0
//     to 1 and a support from 0 on, finite; some point at a lag above 0.
// A largest lag passes over the rows above it and changes nothing else: where the text reads
// without one up to N, with M it reads the same points up to M, the same classes, and the same
// distance at every lag a row gives (or finds no lag from 1 to M below N, or a step too large
// for a lag no row gives: one above N, or any below N, where the step may be another row's).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fit/fitting/measured_curves.hpp"
#include "reader_fuzzing.hpp"

namespace {

using reduz::fit::MeasuredCurves;
using reduz::fit::MeasuredPoint;
using reduz::fuzz::finding;

constexpr int mostLags = 1000;

void checkCurves(const MeasuredCurves& curves, std::optional<int> asked) {
    reduz::fuzz::checkClassNames(curves.classes);
    const std::size_t n = curves.classes.size();
    if (n == 0) finding("curves without a class");
    if (!curves.proportions.empty()) finding("proportions before classes.csv is read");
    if (asked ? curves.maxLag != *asked : curves.maxLag < 1 || curves.maxLag > mostLags) finding("a wrong maxLag");
    if (curves.distances.size() != static_cast<std::size_t>(curves.maxLag) + 1) finding("distances not one a lag");
    for (const double distance : curves.distances) {
        if (!std::isfinite(distance)) finding("a distance that is not finite");
    }
    if (curves.pairs.size() != n * n) finding("pairs other than every ordered pair");
    bool aboveZero = false;
    bool atMaxLag = false;
    for (const std::vector<MeasuredPoint>& curve : curves.pairs) {
        for (std::size_t i = 0; i < curve.size(); ++i) {
            const MeasuredPoint& point = curve[i];
            if (point.lag < 0 || point.lag > curves.maxLag) finding("a point outside the lags");
            if (i > 0 && !(curve[i - 1].lag < point.lag)) finding("a pair's points not in strictly increasing lag order");
            if (!(point.probability >= 0 && point.probability <= 1)) finding("a probability outside 0 to 1");
            if (!(point.support >= 0) || !std::isfinite(point.support)) finding("a support that is not a number from 0 on");
            aboveZero = aboveZero || point.lag > 0;
            atMaxLag = atMaxLag || point.lag == curves.maxLag;
        }
    }
    if (!aboveZero) finding("curves without a point above lag 0");
    if (!asked && !atMaxLag) finding("maxLag is not the largest lag given");
}

bool samePoint(const MeasuredPoint& a, const MeasuredPoint& b) {
    return a.lag == b.lag && a.probability == b.probability && a.support == b.support;
}

// `limited` read with the largest lag asked, `whole` without one.
void checkLimited(const MeasuredCurves& limited, const MeasuredCurves& whole) {
    if (limited.classes != whole.classes) finding("a largest lag changed the classes");
    std::vector<bool> given(static_cast<std::size_t>(limited.maxLag) + 1, false);
    for (std::size_t p = 0; p < whole.pairs.size(); ++p) {
        std::vector<MeasuredPoint> kept;
        for (const MeasuredPoint& point : whole.pairs[p]) {
            if (point.lag <= limited.maxLag) kept.push_back(point);
        }
        const std::vector<MeasuredPoint>& read = limited.pairs[p];
        if (read.size() != kept.size()) finding("a largest lag changed a pair's points");
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (!samePoint(read[i], kept[i])) finding("a largest lag changed a pair's points");
            given[static_cast<std::size_t>(kept[i].lag)] = true;
        }
    }
    for (std::size_t lag = 0; lag < given.size(); ++lag) {
        if (given[lag] && limited.distances[lag] != whole.distances[lag]) finding("a largest lag changed a distance");
    }
}

// What a text read without a largest lag up to `largest` may be refused for with `maxLag`: no
// lag from 1 to it below the largest given; a step, which a lower largest lag may take from
// another row, too large for a lag no row gives, above the largest given whatever the step.
bool mayRefuse(const std::string& report, int maxLag, int largest) {
    if (maxLag < largest && report == "measured.csv: no lag from 1 to " + std::to_string(maxLag)) return true;
    const std::string step = " is a step too large for lag ";
    const std::size_t at = report.find(step);
    if (at == std::string::npos || report.substr(report.size() - 20) != ", which no row gives") return false;
    return maxLag < largest || std::strtol(report.c_str() + at + step.size(), nullptr, 10) > largest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = reduz::fuzz::textOf(data, size);
    const char* const file = "measured.csv";
    const auto read = [&](std::optional<int> maxLag, std::string* report) {
        const std::optional<MeasuredCurves> curves = reduz::fuzz::readOrRefuse(
            text, file, [&] { return reduz::fit::readMeasuredCsv(text, file, maxLag); }, report);
        if (curves) checkCurves(*curves, maxLag);
        return curves;
    };
    const std::optional<MeasuredCurves> whole = read(std::nullopt, nullptr);
    std::vector<int> asked = {1, 2, 7, mostLags};
    if (whole && whole->maxLag > 1) asked.push_back(whole->maxLag - 1);
    if (whole) asked.push_back(whole->maxLag);
    for (const int maxLag : asked) {
        std::string report;
        const std::optional<MeasuredCurves> limited = read(maxLag, &report);
        if (!whole) continue;
        if (limited) {
            checkLimited(*limited, *whole);
        } else if (!mayRefuse(report, maxLag, whole->maxLag)) {
            finding("refused with a largest lag, read without one: " + report);
        }
    }
    return 0;
}
