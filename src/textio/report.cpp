#include "textio/report.hpp"

#include <array>
#include <string_view>

#include "models/lag_table.hpp"
#include "textio/layout.hpp"
#include "textio/record_writer.hpp"

namespace reduz {

namespace {

struct ModelDescription {
    std::string_view label;
    bool longLayout;  // parameter line "(X,F9.4,^F9.2)" rather than "(X,F9.4,F9.2)"
};

constexpr bool shortParameters = false;
constexpr bool longParameters = true;

// Labels of models 1 to 12; model 7's differs by kind and is chosen below.
constexpr std::array<ModelDescription, 12> descriptions = {{
    {"1-Linear: sill, range", shortParameters},
    {"2-Spherical: sill, range", shortParameters},
    {"3-Exponential: sill, range", shortParameters},
    {"4-Gaussian: sill, range", shortParameters},
    {"5-Nugget for proportion line: sill", shortParameters},
    {"6-Test hole effect: sill, range", shortParameters},
    {"7-Dampened hole effect (cos exp): sill, range,    \thalf wave length", longParameters},
    {"8-Power: sill, range, slope, power", longParameters},
    {"9-Gamma-exp: sill, range, alfa, beta, weight", longParameters},
    {"10-Gamma-Gauss: sill, range, alfa, beta, weight", longParameters},
    {"11-Gamma-spher: sill, range, alfa, beta, weight", longParameters},
    {"12-Test Gamma: range, alfa, beta", longParameters},
}};

constexpr std::string_view crossModel7Label =
    "7-Dampened hole effect (cos exp):                 \tsill, range, half wave length";

// Every value of the second layout after the first takes an F9.2 field, up to five of them.
constexpr int parameterRepeat = 5;

void writeParameterLine(RecordWriter& file, const ModelParameters& p, bool longLayout) {
    static const LayoutProgram shortLine = parseLayout("(X,F9.4,F9.2)");
    static const LayoutProgram longLine = parseLayout("(X,F9.4,^F9.2)");
    const LayoutProgram& program = longLayout ? longLine : shortLine;
    std::array<FieldValue, 5> values{};
    std::size_t count = 0;
    auto add = [&](double value) { values[count++] = value; };
    switch (p.model) {
        case 5: add(p.sill); break;
        case 7: add(p.sill); add(p.range); add(p.D); break;
        case 8: add(p.sill); add(p.range); add(p.C); add(p.W); break;
        case 9:
        case 10:
        case 11: add(p.sill); add(p.range); add(p.ALFA); add(p.BETA); add(p.W); break;
        case 12: add(p.range); add(p.ALFA); add(p.BETA); break;
        default: add(p.sill); add(p.range); break;
    }
    writeLaidLine(file, program, std::span<const FieldValue>(values.data(), count), parameterRepeat);
}

std::string_view header(std::int32_t kind) {
    if (kind == 1) return "Auto-Transiogram model (1-8). Need to tune.";
    if (kind == 2) return "Cross-Transiogram model (1-12). Need to tune.";
    return "WRONG INPUT";
}

}  // namespace

void writeReport(const ModelParameters& p, const LagTable& table) {
    static const LayoutProgram heading = parseLayout("(X,' h ','REDUZ-Model')");
    static const LayoutProgram row = parseLayout("(X,I3,F9.4)");

    openOutputFile("ReduzModel.txt");
    RecordWriter& file = reportWriter();
    // The first write cuts an older report; only after it does the console hear of the output.
    writeFreeLine(file, header(p.kind));
    if (inCatalogue(p)) {
        const ModelDescription& description = descriptions[static_cast<std::size_t>(p.model - 1)];
        writeFreeLine(file, p.kind == 2 && p.model == 7 ? crossModel7Label : description.label);
        writeParameterLine(file, p, description.longLayout);
    } else {
        writeFreeLine(file, "WRONG INPUT");
    }
    writeFreeLine(consoleWriter(), "Output transiogram model");
    writeLaidLine(file, heading, {});
    for (std::int32_t lag = 0; lag <= p.maxLag && lag <= maxTableLag; ++lag) {
        const FieldValue values[2] = {lag, table[static_cast<std::size_t>(lag)]};
        writeLaidLine(file, row, values);
    }
    closeOutputFile();
}

}  // namespace reduz
