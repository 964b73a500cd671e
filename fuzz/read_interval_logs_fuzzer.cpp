// Arbitrary bytes as interval logs, read with the default column names and with two other sets
// a user may give with --columns (the tests' own). Each read must give logs that keep the
// readers' rules, or refuse the text with an InputError naming logs.csv.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "fit/measuring/interval_csv.hpp"
#include "logs_checks.hpp"
#include "reader_fuzzing.hpp"

namespace {

using reduz::fit::ColumnNames;

const ColumnNames columnSets[] = {
    {},
    {"BH", "Top", "Base", "Lith"},
    {"holeid", "FROM", "to", "LITH"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = reduz::fuzz::textOf(data, size);
    for (const ColumnNames& names : columnSets) {
        const std::optional<reduz::fit::Logs> logs = reduz::fuzz::readOrRefuse(
            text, "logs.csv", [&] { return reduz::fit::readIntervalLogs(text, "logs.csv", names); });
        if (logs) reduz::fuzz::checkLogs(*logs);
    }
    return 0;
}
