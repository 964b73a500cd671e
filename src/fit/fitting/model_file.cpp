#include "fit/fitting/model_file.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

#include "fit/base/csv_table.hpp"
#include "fit/base/csv_text.hpp"
#include "fit/base/failures.hpp"
#include "fit/base/number_text.hpp"

namespace reduz::fit {

namespace {

// A shape's parameters as the parameter file names them, in its order.
struct ParameterField {
    const char* name;
    double ModelParameters::*field;
};

constexpr ParameterField parameterFields[] = {
    {"sill", &ModelParameters::sill}, {"range", &ModelParameters::range}, {"D", &ModelParameters::D},
    {"C", &ModelParameters::C},       {"W", &ModelParameters::W},         {"ALFA", &ModelParameters::ALFA},
    {"BETA", &ModelParameters::BETA},
};

void addFact(std::string& text, std::string_view key, std::string_view from, std::string_view to, const std::string& value) {
    appendCsvRow(text, {key, csvField(from), csvField(to), value});
}

std::string whole(long long value) { return std::to_string(value); }

}  // namespace

std::string modelCsv(const std::vector<std::string>& classes, const ValidModel& model) {
    std::string text = "key,from,to,value\n";
    addFact(text, "family", "", "", std::string(familyName(model.family)));
    addFact(text, "step", "", "", shortest(model.step));
    addFact(text, "max_lag", "", "", whole(model.maxLag));
    const std::vector<double> proportions = proportionsOf(model);
    const std::size_t n = classes.size();
    for (std::size_t c = 0; c < n; ++c) addFact(text, "class", classes[c], "", shortest(proportions[c]));
    const auto pairs = [&](std::string_view key, const std::vector<double>& values) {
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) addFact(text, key, classes[i], classes[j], shortest(values[i * n + j]));
        }
    };
    switch (model.family) {
        case Family::markov: pairs("rate", model.markov.rates); break;
        case Family::semiMarkov: {
            const SemiMarkov& chain = model.semiMarkov;
            pairs("embedded", chain.embedded);
            for (std::size_t c = 0; c < n; ++c) addFact(text, "shape", classes[c], "", shortest(chain.shapes[c]));
            for (std::size_t c = 0; c < n; ++c) addFact(text, "mean", classes[c], "", shortest(chain.means[c]));
            addFact(text, "spacing", "", "", shortest(chain.spacing));
            addFact(text, "cells", "", "", whole(chain.cells));
            break;
        }
        case Family::shapes:
            for (const RowFit& row : model.rows) {
                const std::string& from = classes[static_cast<std::size_t>(row.from)];
                addFact(text, "remainder", from, classes[static_cast<std::size_t>(row.remainder)], "");
                addFact(text, "tail", from, "", shortest(row.tailDistance));
                for (std::size_t to = 0; to < n; ++to) {
                    if (static_cast<int>(to) == row.remainder) continue;
                    const ModelParameters& p = row.curves[to].parameters;
                    addFact(text, "model", from, classes[to], whole(p.model));
                    addFact(text, "kind", from, classes[to], whole(p.kind));
                    for (const ParameterField& f : parameterFields) addFact(text, f.name, from, classes[to], shortest(p.*f.field));
                }
            }
            break;
    }
    return text;
}

namespace {

enum Column { keyColumn, fromColumn, toColumn, valueColumn };

struct Fact {
    std::string value;
    long line = 0;
};

// The facts by key and classes, each given once, and where each was given.
struct Reading {
    const CsvTable* table = nullptr;
    std::vector<std::string> classes;
    std::map<std::string, int> codeOf;
    std::map<std::tuple<std::string, int, int>, Fact> facts;  // (key, from, to): -1 for none
    long lastLine = 0;
};

const std::vector<std::string_view>& knownKeys() {
    static const std::vector<std::string_view> keys = {"family", "step",  "max_lag",   "class", "rate",  "embedded",
                                                       "shape",  "mean",  "spacing",   "cells", "remainder", "tail",
                                                       "model",  "kind",  "sill",      "range", "D",     "C",
                                                       "W",      "ALFA",  "BETA"};
    return keys;
}

int classOf(Reading& r, const CsvRecord& row, std::size_t column) {
    const std::string& name = valueAt(*r.table, row, column);
    if (name.empty()) return -1;
    const auto known = r.codeOf.find(name);
    if (known == r.codeOf.end()) {
        failAt(*r.table, row.line, column, nameOf(*r.table, column) + " \"" + visible(name) + "\" is not one of the classes");
    }
    return known->second;
}

void readFact(Reading& r, const CsvRecord& row) {
    const std::string& key = nonEmptyAt(*r.table, row, keyColumn);
    if (std::find(knownKeys().begin(), knownKeys().end(), key) == knownKeys().end()) {
        failAt(*r.table, row.line, keyColumn, "no fact of a model is called \"" + visible(key) + "\"");
    }
    r.lastLine = row.line;
    if (key == "class") {
        const std::string& name = nonEmptyAt(*r.table, row, fromColumn);
        if (!r.codeOf.emplace(name, static_cast<int>(r.classes.size())).second) {
            failAt(*r.table, row.line, fromColumn, "class \"" + visible(name) + "\" is given twice");
        }
        r.classes.push_back(name);
    }
    const int from = classOf(r, row, fromColumn), to = classOf(r, row, toColumn);
    const auto [fact, added] = r.facts.try_emplace({key, from, to}, Fact{valueAt(*r.table, row, valueColumn), row.line});
    if (!added) {
        failAt(*r.table, row.line, keyColumn, key + " is given on line " + std::to_string(fact->second.line) + " already");
    }
}

// The fact's value; absent: "model.csv: no sill of sand to clay".
const Fact& factOf(const Reading& r, const std::string& key, int from = -1, int to = -1) {
    const auto fact = r.facts.find({key, from, to});
    if (fact == r.facts.end()) {
        std::string what = "no " + key;
        if (from >= 0) what += " of " + visible(r.classes[static_cast<std::size_t>(from)]);
        if (to >= 0) what += " to " + visible(r.classes[static_cast<std::size_t>(to)]);
        failInput(r.table->file, 0, 0, what);
    }
    return fact->second;
}

double numberOf(const Reading& r, const std::string& key, int from = -1, int to = -1) {
    const Fact& fact = factOf(r, key, from, to);
    const std::optional<double> value = parseNumber(fact.value);
    if (!value || !std::isfinite(*value)) {
        failAt(*r.table, fact.line, valueColumn, key + " \"" + visible(fact.value) + "\" is not a number");
    }
    return *value;
}

long long wholeOf(const Reading& r, const std::string& key, long long least, long long most, int from = -1, int to = -1) {
    const Fact& fact = factOf(r, key, from, to);
    const std::optional<long long> value = parseWhole(fact.value);
    if (!value || *value < least || *value > most) {
        failAt(*r.table, fact.line, valueColumn,
               key + " \"" + visible(fact.value) + "\" is not a whole number from " + std::to_string(least) + " to " +
                   std::to_string(most));
    }
    return *value;
}

std::vector<double> pairsOf(const Reading& r, const std::string& key) {
    const int n = static_cast<int>(r.classes.size());
    std::vector<double> values;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) values.push_back(numberOf(r, key, i, j));
    }
    return values;
}

std::vector<double> perClass(const Reading& r, const std::string& key) {
    std::vector<double> values;
    for (int c = 0; c < static_cast<int>(r.classes.size()); ++c) values.push_back(numberOf(r, key, c));
    return values;
}

std::vector<RowFit> rowsOf(const Reading& r, const std::vector<double>& proportions) {
    const int n = static_cast<int>(r.classes.size());
    std::vector<RowFit> rows;
    for (int from = 0; from < n; ++from) {
        RowFit row;
        row.from = from;
        row.remainder = -1;
        for (int to = 0; to < n; ++to) {
            if (r.facts.count({"remainder", from, to}) != 0) row.remainder = to;
        }
        if (row.remainder < 0) factOf(r, "remainder", from);
        row.tailDistance = numberOf(r, "tail", from);
        row.proportions = proportions;
        row.curves.resize(static_cast<std::size_t>(n));
        for (int to = 0; to < n; ++to) {
            if (to == row.remainder) continue;
            ShapeFit& curve = row.curves[static_cast<std::size_t>(to)];
            ModelParameters& p = curve.parameters;
            p.kind = static_cast<std::int32_t>(wholeOf(r, "kind", 1, 2, from, to));
            p.model = static_cast<std::int32_t>(wholeOf(r, "model", 1, 1000, from, to));
            p.maxLag = static_cast<std::int32_t>(wholeOf(r, "max_lag", 0, maxTableLag));
            for (const ParameterField& f : parameterFields) p.*f.field = numberOf(r, f.name, from, to);
            curve.shape = findShape(p.kind, p.model);
            if (curve.shape == nullptr) {
                const Fact& fact = factOf(r, "model", from, to);
                failAt(*r.table, fact.line, valueColumn, "no shape of kind " + std::to_string(p.kind) + " is model " + fact.value);
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// A chain's rates leave each class at a rate that the rates into the others add up to.
void checkRates(const Reading& r, const std::vector<double>& rates) {
    const std::size_t n = r.classes.size();
    for (std::size_t i = 0; i < n; ++i) {
        double sum = 0, scale = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const double v = rates[i * n + j];
            if ((i == j) != (v <= 0) && v != 0) {
                failAt(*r.table, factOf(r, "rate", static_cast<int>(i), static_cast<int>(j)).line, valueColumn,
                       i == j ? "a class's own rate must not be above 0" : "a rate between two classes must not be below 0");
            }
            sum += v;
            scale = std::max(scale, std::fabs(v));
        }
        if (!(std::fabs(sum) <= 1e-9 * scale)) {
            failInput(r.table->file, 0, 0, "the rates of " + visible(r.classes[i]) + " sum to " + shortest(sum) + ", not 0");
        }
    }
}

// The beds' chain: a class passes to the others only, with probabilities summing to 1, and its
// beds' gamma has a shape and a mean above 0.
void checkBeds(const Reading& r, const std::vector<double>& embedded, const std::vector<double>& shapes,
               const std::vector<double>& means) {
    const std::size_t n = r.classes.size();
    for (std::size_t i = 0; i < n; ++i) {
        double sum = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const double v = embedded[i * n + j];
            if (i == j ? v != 0 : !(v >= 0 && v <= 1)) {
                failAt(*r.table, factOf(r, "embedded", static_cast<int>(i), static_cast<int>(j)).line, valueColumn,
                       i == j ? "a class passes to others only: its own must be 0" : "must lie in [0, 1]");
            }
            sum += v;
        }
        if (!(std::fabs(sum - 1) <= 1e-9)) {
            failInput(r.table->file, 0, 0, "the embedded row of " + visible(r.classes[i]) + " sums to " + shortest(sum) + ", not 1");
        }
        for (const auto& [key, values] : {std::pair{"shape", &shapes}, std::pair{"mean", &means}}) {
            if (!((*values)[i] > 0)) failAt(*r.table, factOf(r, key, static_cast<int>(i)).line, valueColumn, std::string(key) + " must be above 0");
        }
    }
}

// Every row sums to 1 within [0, 1] at the lags and halfway between them, and far beyond.
void checkValid(const Reading& r, const ValidModel& model) {
    const int n = model.classes;
    for (int k = 0; k <= 2 * model.maxLag + 2; ++k) {
        const double h = k * model.step / 2 * (k == 2 * model.maxLag + 2 ? 100 : 1);
        std::vector<double> t;
        try {
            t = matrixAt(model, h);
        } catch (const ProgramError&) {
            failInput(r.table->file, 0, 0, "is no valid model: its curves cannot be evaluated at " + shortest(h));
        }
        for (int i = 0; i < n; ++i) {
            double sum = 0;
            bool within = true;
            for (int j = 0; j < n; ++j) {
                const double v = t[static_cast<std::size_t>(i * n + j)];
                within = within && v >= 0 && v <= 1;
                sum += v;
            }
            if (!within || !(std::fabs(sum - 1) <= 1e-9)) {
                failInput(r.table->file, 0, 0,
                          "is no valid model: the row of " + visible(r.classes[static_cast<std::size_t>(i)]) + " at " +
                              shortest(h) + " sums to " + shortest(sum) + (within ? "" : ", or leaves [0, 1]"));
            }
        }
    }
}

}  // namespace

StoredModel readModelCsv(std::string_view text, std::string_view file) {
    const WantedColumn wanted[] = {{"key"}, {"from"}, {"to"}, {"value"}};
    Reading r;
    const CsvTable table = readCsvTable(text, file, wanted, [&](const CsvTable& t, const CsvRecord& row) {
        r.table = &t;
        readFact(r, row);
    });
    r.table = &table;
    const Fact& familyFact = factOf(r, "family");
    const std::optional<Family> family = familyNamed(familyFact.value);
    if (!family) {
        failAt(table, familyFact.line, valueColumn, "family \"" + visible(familyFact.value) + "\" is not shapes, markov or semi-markov");
    }
    if (r.classes.size() < 2 || r.classes.size() > 256) failInput(file, 0, 0, "a model holds 2 to 256 classes, not " + std::to_string(r.classes.size()));
    StoredModel stored;
    ValidModel& model = stored.model;
    model.family = *family;
    model.classes = static_cast<int>(r.classes.size());
    model.step = numberOf(r, "step");
    if (!(model.step > 0)) failAt(table, factOf(r, "step").line, valueColumn, "step must be above 0");
    model.maxLag = static_cast<int>(wholeOf(r, "max_lag", 0, maxTableLag));
    const std::vector<double> proportions = perClass(r, "class");
    switch (model.family) {
        case Family::markov: {
            std::vector<double> rates = pairsOf(r, "rate");
            checkRates(r, rates);
            model.markov = markovChainOf(model.classes, std::move(rates));
            break;
        }
        case Family::semiMarkov: {
            // Its table holds (cells + 1) K^2 values: a million cells at most, and a GiB.
            const long long cells = wholeOf(r, "cells", 1, 1000000);
            if (static_cast<double>(cells + 1) * model.classes * model.classes > static_cast<double>(1 << 27)) {
                failAt(table, factOf(r, "cells").line, valueColumn, "cells make a table of more than 2^27 values");
            }
            const double spacing = numberOf(r, "spacing");
            if (!(spacing > 0)) failAt(table, factOf(r, "spacing").line, valueColumn, "spacing must be above 0");
            std::vector<double> embedded = pairsOf(r, "embedded"), shapes = perClass(r, "shape"), means = perClass(r, "mean");
            checkBeds(r, embedded, shapes, means);
            model.semiMarkov = semiMarkovOnGrid(model.classes, std::move(embedded), std::move(shapes), std::move(means), spacing,
                                                static_cast<int>(cells));
            break;
        }
        case Family::shapes: model.rows = rowsOf(r, proportions); break;
    }
    checkValid(r, model);
    stored.classes = std::move(r.classes);
    return stored;
}

}  // namespace reduz::fit
