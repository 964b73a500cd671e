#include "fit/command_line.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <optional>
#include <vector>

#include "fit/number_text.hpp"
#include "fit/text_case.hpp"

namespace reduz::fit {

namespace {

constexpr const char* programHelp = R"(Usage: reduzfit COMMAND [OPTION]...
Measure transiograms from borehole logs and categorical maps.

Commands:
  measure        measure the transiograms of interval logs or a map

Options:
  -h, --help     display this help and exit
      --version  output version information and exit

'reduzfit COMMAND --help' describes a command; the manual is reduzfit(1).
)";

constexpr const char* measureHelp = R"(Usage: reduzfit measure INPUT --step S [OPTION]...
Measure the transiograms of INPUT exactly at the lags 0, S, 2S, ..., N*S and
write them to measured.csv, the classes' proportions and runs to classes.csv.

INPUT is a CSV file of intervals (a header row, then on each row a hole, the
top and bottom of an interval and its class), or a map: an ESRI ASCII grid of
class codes, whose name ends in .asc.

Options:
      --step S           the lag spacing, above 0, in the data's units (needed)
      --lags N           the largest lag, 0 to 1000 (default 100)
      --direction D      down or up for logs (default down); east, west, north
                         or south for a map (default east)
      --columns H,F,T,C  the hole, from, to and class columns' names
                         (default hole,from,to,class; case does not matter)
  -o, --output FILE      the measured transiograms (default measured.csv);
                         classes.csv is written beside it
  -h, --help             display this help and exit

Exit status: 0 when both files are written; 1 when they cannot be; 2 for input
it cannot use or a usage error, and nothing is written then.
)";

constexpr const char* programUsage = "Usage: reduzfit COMMAND [OPTION]...\n"
                                     "Try 'reduzfit --help' for more information.\n";
constexpr const char* measureUsage =
    "Usage: reduzfit measure INPUT --step S [--lags N] [--direction D] [--columns H,F,T,C] [-o FILE]\n"
    "Try 'reduzfit measure --help' for more information.\n";

struct UsageError {
    std::string message;
};

// The options of a measurement as typed; checked here rather than by CLI11, so that every
// fault is told in the same words.
struct MeasureWords {
    std::string input;
    std::string step;
    std::string lags;
    std::string direction;
    std::string columns;
    std::string output = "measured.csv";
};

// An option given twice takes its last value, as with most tools.
void addMeasureOptions(CLI::App& command, MeasureWords& words) {
    command.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command.add_option("INPUT", words.input)->required();
    command.add_option("--step", words.step)->required();
    command.add_option("--lags", words.lags);
    command.add_option("--direction", words.direction);
    command.add_option("--columns", words.columns);
    command.add_option("-o,--output", words.output);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

Direction directionOf(const MeasureWords& words) {
    const bool map = namesMap(words.input);
    if (words.direction.empty()) return map ? Direction::east : Direction::down;
    for (Direction d : {Direction::down, Direction::up, Direction::east, Direction::west, Direction::north,
                        Direction::south}) {
        if (directionName(d) != words.direction) continue;
        if (isMapDirection(d) && !map) {
            throw UsageError{"--direction " + words.direction + " is for a map (.asc); logs run down or up"};
        }
        if (!isMapDirection(d) && map) {
            throw UsageError{"--direction " + words.direction + " is for logs; a map runs east, west, north or south"};
        }
        return d;
    }
    throw UsageError{"--direction must be down, up, east, west, north or south, not " + quoted(words.direction)};
}

ColumnNames columnsOf(const std::string& text) {
    std::vector<std::string> names;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        names.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    for (std::size_t n = 0; n < names.size(); ++n) {
        const bool repeated = std::any_of(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(n),
                                          [&](const std::string& earlier) { return sameIgnoringCase(earlier, names[n]); });
        if (names.size() != 4 || names[n].empty() || repeated) {
            throw UsageError{"--columns takes four different names, HOLE,FROM,TO,CLASS, not " + quoted(text)};
        }
    }
    return ColumnNames{names[0], names[1], names[2], names[3]};
}

MeasureRequest requestOf(const MeasureWords& words) {
    MeasureRequest request;
    request.input = words.input;
    const std::optional<double> step = parseNumber(words.step);
    if (!step || *step <= 0) throw UsageError{"--step must be a number above 0, not " + quoted(words.step)};
    request.step = *step;
    if (!words.lags.empty()) {
        const std::optional<long long> lags = parseWhole(words.lags);
        if (!lags || *lags < 0 || *lags > 1000) {
            throw UsageError{"--lags must be a whole number from 0 to 1000, not " + quoted(words.lags)};
        }
        request.lags = static_cast<int>(*lags);
    }
    request.direction = directionOf(words);
    if (!words.columns.empty()) request.columns = columnsOf(words.columns);
    if (words.output.empty()) throw UsageError{"-o needs a file name"};
    const std::string classesPath = classesPathBeside(words.output);
    if (words.output == classesPath) {
        throw UsageError{"-o " + words.output + " is where classes.csv is written"};
    }
    request.output = words.output;
    return request;
}

// CLI11's words for the faults a user meets most, in this program's words; the rest as CLI11
// says them ("--step is required").
std::string messageOf(const CLI::ParseError& e, int argc, const char* const* argv, const CLI::App& where) {
    const std::string text = e.what();
    if (where.get_parent() == nullptr && dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
        if (argc < 2) return "no command given (the command is measure)";
        const std::string first = argv[1];
        return (first[0] == '-' ? "unknown option " : "unknown command ") + quoted(first) + " (the command is measure)";
    }
    const std::vector<std::string> extras = where.remaining();
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !extras.empty()) {
        return "unexpected argument " + quoted(extras.front());
    }
    const std::size_t colon = text.find(": ");
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr && colon != std::string::npos) {
        return text.substr(0, colon) + " needs a value";
    }
    return text;
}

CommandLine usageError(const std::string& message, bool inMeasure) {
    return CommandLine{Action::usageError, "reduzfit: " + message + "\n" + (inMeasure ? measureUsage : programUsage), {}};
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CLI::App app("", "reduzfit");
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", "reduzfit (reduzmodel) " REDUZ_VERSION);
    app.require_subcommand(1);
    app.formatter_fn([](const CLI::App* shown, const std::string&, CLI::AppFormatMode) {
        return std::string(shown->get_name() == "measure" ? measureHelp : programHelp);
    });
    MeasureWords words;
    CLI::App* measure = app.add_subcommand("measure");
    addMeasureOptions(*measure, words);

    try {
        app.parse(argc, argv);
        return CommandLine{Action::measure, {}, requestOf(words)};
    } catch (const CLI::CallForHelp&) {
        return CommandLine{Action::help, app.help(), {}};
    } catch (const CLI::CallForVersion& e) {
        return CommandLine{Action::version, std::string(e.what()) + "\n", {}};
    } catch (const CLI::ParseError& e) {
        const bool inMeasure = measure->parsed();
        return usageError(messageOf(e, argc, argv, inMeasure ? *measure : app), inMeasure);
    } catch (const UsageError& e) {
        return usageError(e.message, true);
    }
}

}  // namespace reduz::fit
