#include "textio/report.hpp"

#include <array>
#include <cassert>
#include <string_view>

#include "models/catalogue.hpp"
#include "textio/layout.hpp"
#include "textio/record_writer.hpp"

namespace reduz {

namespace {

// The ^ of a parameter line's layout: every value after the first takes an F9.2 field, up to
// five of them.
constexpr int parameterRepeat = 5;

void writeParameterLine(RecordWriter& file, const Shape& shape, const ModelParameters& p) {
    const LayoutProgram layout = parseLayout(shape.parameterLayout);
    std::array<FieldValue, 5> values{};
    for (std::size_t i = 0; i < shape.parameterLine.count; ++i) values[i] = p.*shape.parameterLine.values[i];
    writeLaidLine(file, layout, std::span<const FieldValue>(values.data(), shape.parameterLine.count), parameterRepeat);
}

std::string_view header(std::int32_t kind) {
    if (kind == 1) return "Auto-Transiogram model (1-8). Need to tune.";
    if (kind == 2) return "Cross-Transiogram model (1-12). Need to tune.";
    return "WRONG INPUT";
}

// The column heading and a row for each lag from 0.
void writeLagRows(RecordWriter& file, std::span<const double> values) {
    static const LayoutProgram heading = parseLayout("(X,' h ','REDUZ-Model')");
    static const LayoutProgram rowLayout = parseLayout("(X,I3,F9.4)");
    static const FieldValue rowTypes[2] = {std::int32_t{0}, 0.0};
    static const CompiledRecord row = compileRecord(rowLayout, rowTypes);
    writeLaidLine(file, heading, {});
    for (std::size_t lag = 0; lag < values.size(); ++lag) {
        const FieldValue fields[2] = {static_cast<std::int32_t>(lag), values[lag]};
        writeRecord(file, row, fields);
    }
}

}  // namespace

void writeReport(const ModelParameters& p, const LagTable& table) {
    assert(p.maxLag <= maxTableLag);

    openOutputFile("ReduzModel.txt");
    RecordWriter& file = reportWriter();
    // The first write cuts an older report; only after it does the console hear of the output.
    writeFreeLine(file, header(p.kind));
    if (const Shape* shape = findShape(p.kind, p.model)) {
        writeFreeLine(file, shape->label);
        writeParameterLine(file, *shape, p);
    } else {
        writeFreeLine(file, "WRONG INPUT");
    }
    writeFreeLine(consoleWriter(), "Output transiogram model");
    // A negative maxLag tabulates no lag.
    const std::size_t lags = p.maxLag < 0 ? 0 : static_cast<std::size_t>(p.maxLag) + 1;
    writeLagRows(file, std::span<const double>(table.data(), lags));
    closeOutputFile();
}

std::string reportText(std::span<const std::string_view> headerLines, std::span<const double> values) {
    assert(values.size() <= static_cast<std::size_t>(maxTableLag) + 1);
    std::string text;
    RecordWriter file;
    file.destination = Destination::ReportFile;
    file.text = &text;
    for (const std::string_view line : headerLines) writeFreeLine(file, line);
    writeLagRows(file, values);
    flushRecords(file);
    return text;
}

}  // namespace reduz
