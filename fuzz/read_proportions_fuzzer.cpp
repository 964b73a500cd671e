// Arbitrary bytes as classes.csv, read for curves of several class lists: none, the tests'
// classes, the example's, and names that need quoting or differ only in case. A fault of the
// file itself is found whatever the curves' classes, so:
//   - where the file is refused for curves without classes, it is refused with the same report
//     for every list;
//   - where it is read, a list is either read or refused for one of its own classes, "no class
//     \"NAME\"";
//   - every read gives each class of the list a proportion from 0 to 1, and a class the same
//     proportion in every list that holds it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fit/fitting/measured_curves.hpp"
#include "reader_fuzzing.hpp"

namespace {

using reduz::fuzz::finding;

const std::vector<std::string> classLists[] = {
    {},
    {"a"},
    {"a", "b"},
    {"b", "a"},
    {"clay", "sand", "gravel", "silt"},
    {"silt, sandy", "5\" pipe", "Sand", "sand"},
};

bool namesClassOf(const std::string& report, const std::vector<std::string>& classes) {
    for (const std::string& name : classes) {
        if (report == "classes.csv: no class \"" + name + "\"") return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = reduz::fuzz::textOf(data, size);
    std::optional<std::string> fileRefused;  // the report for curves without classes
    std::map<std::string, double> proportions;
    for (const std::vector<std::string>& classes : classLists) {
        reduz::fit::MeasuredCurves curves;
        curves.classes = classes;
        std::string report;
        const std::optional<bool> read = reduz::fuzz::readOrRefuse(
            text, "classes.csv",
            [&] {
                reduz::fit::readProportions(curves, text, "classes.csv");
                return true;
            },
            &report);
        if (classes.empty()) {
            if (!read) fileRefused = report;
            continue;
        }
        if (fileRefused) {
            if (read || report != *fileRefused) finding("the file's fault found for some classes only: " + report);
            continue;
        }
        if (!read) {
            if (!namesClassOf(report, classes)) finding("a file read for no classes refused for some: " + report);
            continue;
        }
        if (curves.proportions.size() != classes.size()) finding("proportions not one a class");
        for (std::size_t c = 0; c < classes.size(); ++c) {
            const double p = curves.proportions[c];
            if (!(p >= 0 && p <= 1)) finding("a proportion outside 0 to 1");
            const auto [earlier, added] = proportions.try_emplace(classes[c], p);
            if (!added && earlier->second != p) finding("a class's proportion depends on the other classes");
        }
    }
    return 0;
}
