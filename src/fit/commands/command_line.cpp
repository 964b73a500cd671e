#include "fit/commands/command_line.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <vector>

#include "fit/base/number_text.hpp"
#include "fit/base/text_case.hpp"
#include "fit/fitting/fit_plans.hpp"
#include "fit/measuring/ascii_grid.hpp"
#include "fit/measuring/measured_csv.hpp"
#include "models/model_parameters.hpp"

namespace reduz::fit {

namespace {

constexpr const char* programHelp = R"(Usage: reduzfit COMMAND [OPTION]...
  or:  reduzfit INPUT --step S -o DIR [OPTION]...
Measure transiograms from borehole logs and categorical maps, and fit one
valid model of them, or reduzmodel's shapes to each pair alone.

Commands:
  measure        measure the transiograms of interval logs, a map or points
  merge          add the measurements of disjoint parts into the whole's
  fit            fit a model to measured transiograms
  simulate       draw maps from a fitted model

The second form measures INPUT (as measure does) and fits the result (as fit
does) in one go; DIR then receives measured.csv and classes.csv as well. It
takes the options of both but -o, which names DIR, and --folds N (default 5):
the holes (a map's rows or columns) are cut into N folds, and each family is
scored by how well, fitted on the other folds, it predicts each fold.

Options:
  -h, --help     display this help and exit
      --version  output version information and exit

'reduzfit COMMAND --help' describes a command; the manual is reduzfit(1).
)";

constexpr const char* measureHelp = R"(Usage: reduzfit measure INPUT --step S [OPTION]...
Measure the transiograms of INPUT exactly at the lags 0, S, 2S, ..., N*S and
write them to measured.csv, the classes' proportions and runs to classes.csv.

INPUT is a CSV file of intervals (a header row, then on each row a hole, the
top and bottom of an interval and its class), a map: an ESRI ASCII grid of
class codes, whose name ends in .asc, or a raster of one band of class codes
that GDAL reads, whose name ends in .tif, .tiff, .vrt or .img, or a CSV file
of scattered points (a header of x, y, optionally z, and class, with no from or
to column). Lag k of points counts the pairs from (k - 1/2)S to (k + 1/2)S
apart; so does lag k of lateral curves between holes, each pair of holes
adding the length of elevations where one is logged i and the other j.

Options:
      --step S           the lag spacing, above 0, in the data's units (needed)
      --lags N           the largest lag, 0 to 1000 (default 100)
      --direction D      down or up for logs (default down), or lateral:
                         between holes, by their collars; east, west, north
                         or south for a map (default east)
      --collars FILE     lateral: the holes' collars, a CSV file of hole, x, y
                         and optionally elevation (default: the logs' own x,
                         y and elevation columns); depths are below the collar
      --columns H,F,T,C  the hole, from, to and class columns' names
                         (default hole,from,to,class; case does not matter);
                         points' by key: x=NAME,y=NAME,z=NAME,class=NAME
      --azimuth A        points and lateral: pairs along A degrees clockwise
                         from north, 0 up to 360 (default: every direction)
      --tolerance T      the most degrees a pair may stand off the azimuth,
                         above 0, at most 90 (needed with --azimuth)
      --dip D            points with z: degrees below the horizontal, -90 to 90
                         (default 0)
  -o, --output FILE      the measured transiograms (default measured.csv);
                         classes.csv is written beside it
  -h, --help             display this help and exit

Exit status: 0 when both files are written; 1 when they cannot be; 2 for input
it cannot use or a usage error, and nothing is written then.
)";

constexpr const char* fitHelp = R"(Usage: reduzfit fit MEASURED -o DIR [OPTION]...
Fit one valid model of the transiograms in MEASURED (the columns lag, distance,
from, to, probability and, optionally, support, as measure writes them): every
row sums to 1 at any distance, as a simulator needs. The families are the
catalogue's shapes with each row's remaining curve inferred, a continuous-lag
Markov chain and a semi-Markov chain of gamma beds; the one with the least AIC
is kept (the one-go form scores them on held-out holes instead, and keeps the
simplest that predicts them as well as the best).

DIR receives a folder FROM_TO for each pair: PARAMETER.TXT (and, for models 7
to 12, keyboard.txt) where the curve is a shape reduzmodel runs, else
ReduzModel.txt, the curve tabulated in reduzmodel's report layout. DIR also
receives fits.csv (every candidate), curves.csv, check.csv (the sums of each
row's curves), model.csv (the chosen model, every number of it), rates.csv
(the Markov chain), panel.gp and, with gnuplot, panel.png.

Options:
  -o, --output DIR       the directory written (needed); an existing one is
                         replaced only when empty or an earlier fit
      --shapes LIST      best (the default) or model numbers, e.g. 3,9,12
      --family NAME      the model's family: shapes, markov or semi-markov
                         (valid models; default: the one that predicts best),
                         or independent: each pair fitted alone, as before
      --background CLASS the class whose column the shapes family infers in
                         every row (default: each row's own auto curve)
      --sill RULE        for --family independent: free (its default), or
                         proportion: the sill is the to-class's proportion
      --classes FILE     the classes' proportions (default: classes.csv
                         beside MEASURED)
      --max-lag N        fit the lags 1 to N, 1 to 1000 (default: the
                         largest lag measured)
  -h, --help             display this help and exit

Exit status: 0 when every pair is fitted; 3 when DIR is written but some pair
is not (--family independent: fits.csv and the summary say why); 1 when DIR cannot be written; 2 for
input it cannot use or a usage error, and nothing is written then.
)";

constexpr const char* mergeHelp = R"(Usage: reduzfit merge MEASURED... [-o FILE]
Add the measurements of disjoint parts of one data set (the holes of a basin
split over files, a map's row bands measured east or west, its column bands
measured north or south) and write what measuring the whole would write, byte
for byte: measured.csv and, beside it, classes.csv.

Each MEASURED is a measured.csv as measure writes it, with the classes.csv
beside it (so each part is measured into a folder of its own); all of them
measured at the same step, to the same lag, in the same direction.

Options:
  -o, --output FILE      the measured file written (default measured.csv);
                         classes.csv is written beside it
  -h, --help             display this help and exit

Exit status: 0 when both files are written; 1 when they cannot be; 2 for
input it cannot use (parts that disagree) or a usage error, and nothing is
written then.
)";

constexpr const char* simulateHelp = R"(Usage: reduzfit simulate --model [AXIS=]DIR (--grid RASTER | --size NX,NY[,NZ] --cell C) -o OUT [OPTION]...
Draw realizations of a categorical map, or of a block of layers, from the valid
model a fit wrote to DIR (its model.csv), by Markov chain random field
simulation on a random path: each cell takes its class from the nearest known
cell along each axis direction; each realization is then quenched towards the
model's curves. Data cells keep their class in every realization. OUT receives
realization-001.asc, ... (ESRI ASCII grids; for a block realization-001.vti,
... as VTK image data), classes.csv, probability-CLASS.asc (each class's share
of the realizations at each cell), most-probable.asc and check.csv: the
realizations measured again east, north (and down) against the model.

Options:
      --model [AXIS=]DIR  the model of every axis, or x=DIR, y=DIR and z=DIR:
                          the model along x (a partner east), y (north) and,
                          for a block, z (down); y is x's where only x is given
      --lateral-ratio R   for a block: x and y are z's model R times as long
      --grid RASTER       the grid of a raster (.tif, .asc, ...), its classed
                          cells data
      --size NX,NY[,NZ]   the grid's columns, rows (and layers, for a block),
                          instead of --grid
      --cell C[,CY[,CZ]]  the cells' size: one for all, or along x and y (a map)
                          or x, y and z (a block), with --size
      --origin X,Y[,Z]    the grid's lower-left corner, for a block its
                          bottom's (default 0,0,0)
      --condition FILE    data: points (CSV of x, y, for a block z, and class),
                          a raster of the grid's size, or for a block logs (CSV
                          of hole, x, y, elevation, from, to and class: each
                          cell whose centre an interval covers)
      --collars FILE      the collars of those logs (CSV of hole, x, y and
                          elevation), where the logs hold no x and y
      --realizations N    1 to 1000 (default 1)
      --seed S            the random numbers' seed, a whole number (default 1)
      --threads T         realizations drawn at once (default: one a core);
                          the output is the same whatever T
  -o, --output OUT        the directory written (needed); an existing one is
                          replaced only when empty or an earlier simulation
  -h, --help              display this help and exit

Exit status: 0 when OUT is written; 1 when it cannot be; 2 for input it cannot
use or a usage error, and nothing is written then.
)";

constexpr const char* simulateUsage =
    "Usage: reduzfit simulate --model [AXIS=]DIR (--grid RASTER | --size NX,NY[,NZ] --cell C) -o OUT [OPTION]...\n"
    "Try 'reduzfit simulate --help' for more information.\n";

constexpr const char* mergeUsage = "Usage: reduzfit merge MEASURED... [-o FILE]\n"
                                   "Try 'reduzfit merge --help' for more information.\n";

constexpr const char* programUsage = "Usage: reduzfit COMMAND [OPTION]...\n"
                                     "  or:  reduzfit INPUT --step S -o DIR [OPTION]...\n"
                                     "Try 'reduzfit --help' for more information.\n";
constexpr const char* measureUsage =
    "Usage: reduzfit measure INPUT --step S [--lags N] [--direction D] [--columns H,F,T,C] [-o FILE]\n"
    "Try 'reduzfit measure --help' for more information.\n";
constexpr const char* fitUsage =
    "Usage: reduzfit fit MEASURED -o DIR [--family NAME] [--shapes LIST] [--background CLASS] [--sill RULE] [--classes FILE] [--max-lag N]\n"
    "Try 'reduzfit fit --help' for more information.\n";
constexpr const char* oneGoUsage =
    "Usage: reduzfit INPUT --step S -o DIR [--lags N] [--direction D] [--columns H,F,T,C] [--family NAME] [--folds N] [--shapes LIST] [--background CLASS] [--sill RULE]\n"
    "Try 'reduzfit --help' for more information.\n";

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
    std::string azimuth;
    std::string tolerance;
    std::string dip;
    std::string collars;
};

// The options of a fit as typed.
struct FitWords {
    std::string input;
    std::string classes;
    std::string shapes;
    std::string sill;
    std::string maxLag;
    std::string family;
    std::string background;
    std::string folds;
    std::string output;
};

// An option given twice takes its last value, as with most tools. -o belongs to the caller: a
// file for measure, the directory for a fit.
void addMeasureOptions(CLI::App& command, MeasureWords& words) {
    command.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command.add_option("INPUT", words.input)->required();
    command.add_option("--step", words.step)->required();
    command.add_option("--lags", words.lags);
    command.add_option("--direction", words.direction);
    command.add_option("--columns", words.columns);
    command.add_option("--azimuth", words.azimuth);
    command.add_option("--tolerance", words.tolerance);
    command.add_option("--dip", words.dip);
    command.add_option("--collars", words.collars);
}

// The fit's options; those of a measured file (its name, --classes, --max-lag) with `ofFile`.
void addFitOptions(CLI::App& command, FitWords& words, bool ofFile) {
    command.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    if (ofFile) command.add_option("MEASURED", words.input)->required();
    command.add_option("-o,--output", words.output);
    command.add_option("--shapes", words.shapes);
    command.add_option("--sill", words.sill);
    command.add_option("--family", words.family);
    command.add_option("--background", words.background);
    if (!ofFile) command.add_option("--folds", words.folds);
    if (!ofFile) return;
    command.add_option("--classes", words.classes);
    command.add_option("--max-lag", words.maxLag);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

Direction directionOf(const MeasureWords& words) {
    const bool map = namesMap(words.input) || namesRaster(words.input);
    if (words.direction.empty()) return map ? Direction::east : Direction::down;
    const std::optional<Direction> d = directionNamed(words.direction);
    if (!d) {
        throw UsageError{"--direction must be down, up, lateral, east, west, north or south, not " + quoted(words.direction)};
    }
    if (*d == Direction::lateral && map) {
        throw UsageError{"--direction lateral is for logs, between holes; a map runs east, west, north or south"};
    }
    if (isMapDirection(*d) && !map) {
        throw UsageError{"--direction " + words.direction + " is for a map (.asc, .tif); logs run down or up"};
    }
    if (!isMapDirection(*d) && map) {
        throw UsageError{"--direction " + words.direction + " is for logs; a map runs east, west, north or south"};
    }
    return *d;
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

// Points' columns by key, "x=East,Y=North,class=Lith": the keys x, y, z and class in any case
// and order, each at most once; a key left out keeps its own name, and z named must be there.
PointColumns pointColumnsOf(const std::string& text) {
    const UsageError fault{"--columns for points takes x=NAME,y=NAME,class=NAME and optionally z=NAME, not " +
                           quoted(text)};
    PointColumns columns;
    std::vector<std::string> keys;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos || equals + 1 == item.size()) throw fault;
        const std::string key = item.substr(0, equals), name = item.substr(equals + 1);
        const bool repeated = std::any_of(keys.begin(), keys.end(),
                                          [&](const std::string& earlier) { return sameIgnoringCase(earlier, key); });
        if (repeated) throw fault;
        keys.push_back(key);
        if (sameIgnoringCase(key, "x")) {
            columns.x = name;
        } else if (sameIgnoringCase(key, "y")) {
            columns.y = name;
        } else if (sameIgnoringCase(key, "z")) {
            columns.z = name;
            columns.zNeeded = true;
        } else if (sameIgnoringCase(key, "class")) {
            columns.classes = name;
        } else {
            throw fault;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    const std::string names[] = {columns.x, columns.y, columns.z, columns.classes};
    for (std::size_t a = 0; a < 4; ++a) {
        for (std::size_t b = a + 1; b < 4; ++b) {
            if (sameIgnoringCase(names[a], names[b])) throw fault;
        }
    }
    return columns;
}

// An angle in degrees from `low` to `high`, each end within the range when its flag says so.
double angleOf(const std::string& option, const std::string& text, double low, bool lowClosed, double high,
               bool highClosed, const char* range) {
    const std::optional<double> angle = parseNumber(text);
    const bool within = angle && (lowClosed ? *angle >= low : *angle > low) && (highClosed ? *angle <= high : *angle < high);
    if (!within) throw UsageError{option + " must be a number " + range + ", not " + quoted(text)};
    return *angle;
}

std::optional<Cone> coneOf(const MeasureWords& words) {
    if (words.azimuth.empty()) {
        if (!words.tolerance.empty()) throw UsageError{"--tolerance needs --azimuth, the direction it stands off"};
        if (!words.dip.empty()) throw UsageError{"--dip needs --azimuth and --tolerance"};
        return std::nullopt;
    }
    if (!words.direction.empty() && words.direction != "lateral") {
        throw UsageError{"--direction " + words.direction +
                         " and --azimuth: --azimuth is for points and --direction lateral"};
    }
    if (words.tolerance.empty()) throw UsageError{"--azimuth needs --tolerance, the most degrees a pair may stand off it"};
    Cone cone;
    cone.azimuth = angleOf("--azimuth", words.azimuth, 0, true, 360, false,
                           "of degrees clockwise from north, from 0 up to 360");
    cone.tolerance = angleOf("--tolerance", words.tolerance, 0, false, 90, true, "of degrees above 0, up to 90");
    if (!words.dip.empty()) {
        cone.dip = angleOf("--dip", words.dip, -90, true, 90, true, "of degrees below the horizontal, from -90 to 90");
    }
    return cone;
}

// The largest lag an option names: a whole number from `lowest` to the table's capacity.
int maxLagOf(const std::string& option, const std::string& text, int lowest, const char* purpose = "") {
    const std::optional<long long> maxLag = parseWhole(text);
    if (!maxLag || *maxLag < lowest || *maxLag > maxTableLag) {
        throw UsageError{option + " must be a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(maxTableLag) + purpose + ", not " + quoted(text)};
    }
    return static_cast<int>(*maxLag);
}

MeasureRequest requestOf(const MeasureWords& words) {
    MeasureRequest request;
    request.input = words.input;
    const std::optional<double> step = parseNumber(words.step);
    if (!step || *step <= 0) throw UsageError{"--step must be a number above 0, not " + quoted(words.step)};
    request.step = *step;
    if (!words.lags.empty()) request.maxLag = maxLagOf("--lags", words.lags, 0);
    if (!std::isfinite(request.step * request.maxLag)) {
        throw UsageError{"--step " + words.step + " puts lag " + std::to_string(request.maxLag) +
                         " beyond the largest number"};
    }
    request.points.cone = coneOf(words);
    request.direction = directionOf(words);
    request.points.directionNamed = !words.direction.empty();
    if (!words.collars.empty() && request.direction != Direction::lateral) {
        throw UsageError{"--collars is for --direction lateral: the curves between holes"};
    }
    request.collars = words.collars;
    if (request.direction == Direction::lateral && request.points.cone && request.points.cone->dip) {
        throw UsageError{"--dip is for points in space: lateral curves run level"};
    }
    if (words.columns.find('=') != std::string::npos) {
        request.points.form = CsvForm::points;
        request.points.columns = pointColumnsOf(words.columns);
    } else if (!words.columns.empty()) {
        request.points.form = CsvForm::logs;
        request.columns = columnsOf(words.columns);
    }
    if (words.output.empty()) throw UsageError{"-o needs a file name"};
    const std::string classesPath = classesPathBeside(words.output);
    if (words.output == classesPath) {
        throw UsageError{"-o " + words.output + " is where classes.csv is written"};
    }
    request.output = words.output;
    return request;
}

std::vector<int> shapesOf(const std::string& text) {
    std::vector<int> models;
    if (text.empty() || text == "best") return models;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        const std::optional<long long> model = parseWhole(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (!model || *model < 1 || *model > highestModel()) {
            throw UsageError{"--shapes takes best or model numbers from 1 to " + std::to_string(highestModel()) +
                             " joined by commas, not " + quoted(text)};
        }
        if (std::find(models.begin(), models.end(), *model) == models.end()) models.push_back(static_cast<int>(*model));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::sort(models.begin(), models.end());
    return models;
}

FitRequest fitRequestOf(const FitWords& words) {
    FitRequest request;
    request.input = words.input;
    request.classes = words.classes;
    if (words.output.empty()) throw UsageError{"-o DIR is needed: the directory the fit is written to"};
    request.output = words.output;
    request.options.models = shapesOf(words.shapes);
    if (!words.sill.empty() && words.sill != "free" && words.sill != "proportion") {
        throw UsageError{"--sill must be free or proportion, not " + quoted(words.sill)};
    }
    request.options.sillProportion = words.sill == "proportion";
    if (!words.maxLag.empty()) request.maxLag = maxLagOf("--max-lag", words.maxLag, 1);
    if (words.family == "independent") {
        request.independent = true;
    } else if (!words.family.empty()) {
        request.family = familyNamed(words.family);
        if (!request.family) {
            throw UsageError{"--family must be shapes, markov, semi-markov or independent, not " + quoted(words.family)};
        }
    }
    // A valid model's sills are the proportions: a free sill is the independent pairs' alone.
    if (words.sill == "free" && !request.independent) {
        throw UsageError{"--sill free needs --family independent: a valid model's sills are the classes' proportions"};
    }
    request.background = words.background;
    if (!words.background.empty() && (request.independent || (request.family && *request.family != Family::shapes))) {
        throw UsageError{"--background names the class the shapes family infers; it needs the shapes family"};
    }
    if (!words.folds.empty()) {
        const std::optional<long long> folds = parseWhole(words.folds);
        if (!folds || *folds < 2 || *folds > 100) {
            throw UsageError{"--folds must be a whole number from 2 to 100, not " + quoted(words.folds)};
        }
        request.folds = static_cast<int>(*folds);
    }
    return request;
}

// CLI11's words for the faults a user meets most, in this program's words; the rest as CLI11
// says them ("--step is required").
std::string messageOf(const CLI::ParseError& e, int argc, const char* const* argv, const CLI::App& where) {
    const std::string text = e.what();
    if (where.get_parent() == nullptr && dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
        if (argc < 2) return "no command given (the commands are measure, merge, fit and simulate)";
        const std::string first = argv[1];
        return (first[0] == '-' ? "unknown option " : "unknown command ") + quoted(first) + " (the commands are measure, merge, fit and simulate)";
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

CommandLine usageError(const std::string& message, const char* usage) {
    return CommandLine{Action::usageError, "reduzfit: " + message + "\n" + usage, {}, {}, {}, {}};
}

// The one-go form starts with its input, a file's name rather than a command's.
bool startsWithInput(int argc, const char* const* argv) {
    if (argc < 2) return false;
    const std::string first = argv[1];
    if (first == "measure" || first == "merge" || first == "fit" || first == "simulate" || first.empty() || first[0] == '-') return false;
    struct stat status {};
    return first.find_first_of("./") != std::string::npos || ::stat(first.c_str(), &status) == 0;
}

CommandLine parseMeasureAndFit(int argc, const char* const* argv) {
    CLI::App app("", "reduzfit");
    app.set_help_flag("-h,--help");
    app.formatter_fn([](const CLI::App*, const std::string&, CLI::AppFormatMode) { return std::string(programHelp); });
    MeasureWords measureWords;
    FitWords fitWords;
    addMeasureOptions(app, measureWords);
    addFitOptions(app, fitWords, false);
    try {
        app.parse(argc, argv);
        CommandLine command{Action::measureAndFit, {}, requestOf(measureWords), fitRequestOf(fitWords), {}, {}};
        if (command.measure.maxLag < 1) maxLagOf("--lags", measureWords.lags, 1, " for a fit");
        return command;
    } catch (const CLI::CallForHelp&) {
        return CommandLine{Action::help, app.help(), {}, {}, {}, {}};
    } catch (const CLI::ParseError& e) {
        return usageError(messageOf(e, argc, argv, app), oneGoUsage);
    } catch (const UsageError& e) {
        return usageError(e.message, oneGoUsage);
    }
}

// The options of a simulation as typed.
struct SimulateWords {
    std::vector<std::string> models;
    std::string lateralRatio;
    std::string grid;
    std::string size;
    std::string cell;
    std::string origin;
    std::string condition;
    std::string collars;
    std::string realizations;
    std::string seed;
    std::string threads;
    std::string output;
};

// Numbers joined by commas, `least` to `most` of them, each above 0 unless `anySign`.
std::vector<double> numbersOf(const std::string& option, const std::string& text, std::size_t least, std::size_t most,
                              bool anySign) {
    std::vector<double> numbers;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        const std::optional<double> value = parseNumber(text.substr(start, comma == std::string::npos ? comma : comma - start));
        const bool fits = value && std::isfinite(*value) && (anySign || *value > 0);
        if (!fits) break;
        numbers.push_back(*value);
        if (comma == std::string::npos) {
            if (numbers.size() >= least && numbers.size() <= most) return numbers;
            break;
        }
        start = comma + 1;
    }
    const std::string count = least == most ? std::to_string(least) : std::to_string(least) + " or " + std::to_string(most);
    throw UsageError{option + " takes " + count + " numbers" + (anySign ? "" : " above 0") + " joined by a comma, not " + quoted(text)};
}

long long wholeOption(const std::string& option, const std::string& text, long long least, long long most) {
    const std::optional<long long> value = parseWhole(text);
    if (!value || *value < least || *value > most) {
        throw UsageError{option + " must be a whole number from " + std::to_string(least) + " to " + std::to_string(most) +
                         ", not " + quoted(text)};
    }
    return *value;
}

SimulateRequest simulateRequestOf(const SimulateWords& words) {
    SimulateRequest request;
    if (words.models.empty()) throw UsageError{"--model DIR is needed: the directory a fit wrote"};
    if (words.grid.empty() == words.size.empty()) throw UsageError{"give the grid by --grid RASTER or by --size NX,NY --cell C, one of them"};
    const std::vector<double> size = words.size.empty() ? std::vector<double>{} : numbersOf("--size", words.size, 2, 3, false);
    const bool block = size.size() == 3;
    std::string every;
    for (const std::string& model : words.models) {
        const char axis = model.size() >= 2 && model[1] == '=' && (model[0] == 'x' || model[0] == 'y' || model[0] == 'z') ? model[0] : '\0';
        const std::string directory = axis != '\0' ? model.substr(2) : model;
        if (directory.empty()) throw UsageError{"--model takes DIR, x=DIR, y=DIR or z=DIR, not " + quoted(model)};
        if (axis == 'z' && !block) throw UsageError{"--model z=DIR goes with a block: --size NX,NY,NZ"};
        (axis == 'x' ? request.modelX : axis == 'y' ? request.modelY : axis == 'z' ? request.modelZ : every) = directory;
    }
    if (!every.empty()) {
        for (std::string* axis : {&request.modelX, &request.modelY, &request.modelZ}) {
            if (axis->empty() && (block || axis != &request.modelZ)) *axis = every;
        }
    }
    if (!words.lateralRatio.empty()) {
        if (!block) throw UsageError{"--lateral-ratio goes with a block: --size NX,NY,NZ"};
        if (request.modelZ.empty() || !every.empty() || !request.modelX.empty() || !request.modelY.empty()) {
            throw UsageError{"--lateral-ratio R stretches the model of z=DIR alone: no other --model goes with it"};
        }
        request.lateralRatio = numbersOf("--lateral-ratio", words.lateralRatio, 1, 1, false)[0];
        request.modelX = request.modelY = request.modelZ;
    }
    if (block && request.modelZ.empty()) throw UsageError{"--model z=DIR is needed for a block (or one --model DIR for every axis)"};
    if (block && request.modelX.empty() && request.modelY.empty()) {
        throw UsageError{"a block needs its lateral model too: --model x=DIR or --lateral-ratio R"};
    }
    // y is x's where one is given alone in a block; a map's two are both asked for, as before blocks
    if (block && request.modelY.empty()) request.modelY = request.modelX;
    if (block && request.modelX.empty()) request.modelX = request.modelY;
    if (request.modelX.empty() || request.modelY.empty()) {
        throw UsageError{"--model " + std::string(request.modelX.empty() ? "x" : "y") + "=DIR is needed too (or one --model DIR for both)"};
    }
    request.grid = words.grid;
    if (!words.size.empty()) {
        for (const double count : size) {
            if (count != std::floor(count) || count > 1e9) {
                throw UsageError{"--size takes " + std::to_string(size.size()) + " whole numbers above 0, not " + quoted(words.size)};
            }
        }
        request.columns = static_cast<long long>(size[0]);
        request.rows = static_cast<long long>(size[1]);
        if (block) request.layers = static_cast<long long>(size[2]);
        if (words.cell.empty()) throw UsageError{"--size needs --cell C, the cells' size"};
        const std::vector<double> cell = numbersOf("--cell", words.cell, 1, block ? 3 : 2, false);
        if (block && cell.size() == 2) throw UsageError{"--cell takes 1 or 3 numbers for a block, not " + quoted(words.cell)};
        request.cellX = cell[0];
        request.cellY = cell.size() > 1 ? cell[1] : cell[0];
        request.cellZ = cell.back();
        if (!words.origin.empty()) {
            const std::vector<double> origin = numbersOf("--origin", words.origin, 2, block ? 3 : 2, true);
            request.west = origin[0];
            request.south = origin[1];
            if (origin.size() == 3) request.bottom = origin[2];
        }
    } else if (!words.cell.empty() || !words.origin.empty()) {
        throw UsageError{"--cell and --origin go with --size: --grid takes them from its raster"};
    }
    request.condition = words.condition;
    if (!words.collars.empty() && (!block || words.condition.empty())) {
        throw UsageError{"--collars goes with a block's logs: --size NX,NY,NZ --condition LOGS"};
    }
    request.collars = words.collars;
    if (!words.realizations.empty()) request.realizations = static_cast<int>(wholeOption("--realizations", words.realizations, 1, 1000));
    if (!words.seed.empty()) {
        request.seed = static_cast<std::uint64_t>(wholeOption("--seed", words.seed, 0, std::numeric_limits<long long>::max()));
    }
    if (!words.threads.empty()) request.threads = static_cast<unsigned>(wholeOption("--threads", words.threads, 1, 256));
    if (words.output.empty()) throw UsageError{"-o OUT is needed: the directory the realizations are written to"};
    request.output = words.output;
    return request;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    if (startsWithInput(argc, argv)) return parseMeasureAndFit(argc, argv);
    CLI::App app("", "reduzfit");
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", "reduzfit (reduzmodel) " REDUZ_VERSION);
    app.require_subcommand(1);
    app.formatter_fn([](const CLI::App* shown, const std::string&, CLI::AppFormatMode) {
        const std::string name = shown->get_name();
        return std::string(name == "measure"    ? measureHelp
                           : name == "merge"  ? mergeHelp
                           : name == "fit"    ? fitHelp
                           : name == "simulate" ? simulateHelp
                                              : programHelp);
    });
    MeasureWords measureWords;
    CLI::App* measure = app.add_subcommand("measure");
    addMeasureOptions(*measure, measureWords);
    measure->add_option("-o,--output", measureWords.output);
    MergeRequest mergeRequest;
    CLI::App* merge = app.add_subcommand("merge");
    merge->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    merge->add_option("MEASURED", mergeRequest.inputs)->required();
    merge->add_option("-o,--output", mergeRequest.output);
    FitWords fitWords;
    CLI::App* fit = app.add_subcommand("fit");
    addFitOptions(*fit, fitWords, true);
    SimulateWords simulateWords;
    CLI::App* simulate = app.add_subcommand("simulate");
    simulate->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    simulate->add_option("--model", simulateWords.models)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    simulate->add_option("--lateral-ratio", simulateWords.lateralRatio);
    simulate->add_option("--grid", simulateWords.grid);
    simulate->add_option("--size", simulateWords.size);
    simulate->add_option("--cell", simulateWords.cell);
    simulate->add_option("--origin", simulateWords.origin);
    simulate->add_option("--condition", simulateWords.condition);
    simulate->add_option("--collars", simulateWords.collars);
    simulate->add_option("--realizations", simulateWords.realizations);
    simulate->add_option("--seed", simulateWords.seed);
    simulate->add_option("--threads", simulateWords.threads);
    simulate->add_option("-o,--output", simulateWords.output);

    const auto usageOf = [&] {
        return measure->parsed()    ? measureUsage
               : merge->parsed()    ? mergeUsage
               : fit->parsed()      ? fitUsage
               : simulate->parsed() ? simulateUsage
                                    : programUsage;
    };
    try {
        app.parse(argc, argv);
        if (fit->parsed()) return CommandLine{Action::fit, {}, {}, fitRequestOf(fitWords), {}, {}};
        if (simulate->parsed()) return CommandLine{Action::simulate, {}, {}, {}, {}, simulateRequestOf(simulateWords)};
        if (merge->parsed()) {
            if (mergeRequest.output.empty()) throw UsageError{"-o needs a file name"};
            if (mergeRequest.output == classesPathBeside(mergeRequest.output)) {
                throw UsageError{"-o " + mergeRequest.output + " is where classes.csv is written"};
            }
            return CommandLine{Action::merge, {}, {}, {}, mergeRequest, {}};
        }
        return CommandLine{Action::measure, {}, requestOf(measureWords), {}, {}, {}};
    } catch (const CLI::CallForHelp&) {
        return CommandLine{Action::help, app.help(), {}, {}, {}, {}};
    } catch (const CLI::CallForVersion& e) {
        return CommandLine{Action::version, std::string(e.what()) + "\n", {}, {}, {}, {}};
    } catch (const CLI::ParseError& e) {
        const CLI::App& where = measure->parsed()    ? *measure
                                : merge->parsed()    ? *merge
                                : fit->parsed()      ? *fit
                                : simulate->parsed() ? *simulate
                                                     : app;
        return usageError(messageOf(e, argc, argv, where), usageOf());
    } catch (const UsageError& e) {
        return usageError(e.message, usageOf());
    }
}

CommandResult runCommand(const CommandLine& command) {
    if (command.action == Action::fit) return runFit(command.fit);
    if (command.action == Action::merge) return runMerge(command.merge);
    if (command.action == Action::simulate) return runSimulate(command.simulate);
    if (command.action == Action::measureAndFit) return runMeasureAndFit(command.measure, command.fit);
    return runMeasure(command.measure);
}

}  // namespace reduz::fit
