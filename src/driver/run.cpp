#include "driver/run.hpp"

#include <array>
#include <new>
#include <string>

#include "failure/float_settings.hpp"
#include "failure/run_failure.hpp"
#include "models/catalogue.hpp"
#include "models/lag_table.hpp"
#include "textio/console.hpp"
#include "textio/free_form.hpp"
#include "textio/record_writer.hpp"
#include "textio/report.hpp"
#include "textio/text_source.hpp"

namespace reduz {

namespace {

ModelParameters parameters;
LagTable lagTable;

void readParameterFile(ModelParameters& p) {
    TextSource& file = openTextFile("PARAMETER.TXT");
    readFreeForm(file, {{&p.model, "model"}, {&p.kind, "kind"}});
    p.sill = defaultSill;
    p.range = defaultRange;
    p.maxLag = defaultMaxLag;
    readFreeForm(file, {{&p.sill, "sill"}, {&p.range, "range"}});
    readFreeForm(file, {{&p.maxLag, "maxLag"}});
    // The table holds lags 0 to 1000; a larger maxLag is refused before anything is asked.
    if (p.maxLag > maxTableLag) {
        const std::string detail = ": " + std::to_string(p.maxLag) + " " + placeOf(file, file.valueRecord);
        failRun(ioFailure(IoFailure::MaxLagBeyondTable, StatementKind::Read, file.name, detail));
    }
    closeTextFile(file);
}

// The extra parameters of models 7 to 12, asked whatever the kind: their defaults, the prompt,
// then one read of the answer.
void askModelParameters(ModelParameters& p) {
    const Question* question = questionOf(p.model);
    if (question == nullptr) return;
    std::array<ReadTarget, 3> targets{};
    for (std::size_t i = 0; i < question->count; ++i) {
        const Asked& asked = question->asked[i];
        p.*asked.parameter = defaultOf(asked, p);
        targets[i] = ReadTarget(&(p.*asked.parameter), asked.name);
    }
    writeFreeLine(consoleWriter(), question->prompt);
    readFreeForm(keyboardSource(), std::span<const ReadTarget>(targets.data(), question->count));
}

void runSequence() {
    readParameterFile(parameters);
    askModelParameters(parameters);
    computeLagTable(parameters, lagTable);
    writeReport(parameters, lagTable);
    writeFreeLine(consoleWriter(), "Finish");
    stopRun();
}

// Whatever is still open is let go: the parameter file, the report file with its buffered
// records, and the console's owed line end.
int endRun(int status) {
    closeTextFileQuietly();
    closeOutputFileQuietly();
    writeOwedLineEnd();
    return status;
}

}  // namespace

ModelParameters& runParameters() { return parameters; }
LagTable& runLagTable() { return lagTable; }

int runProgram() {
    resetRecordWriters();
    resetKeyboardSource();
    parameters = ModelParameters{};
    lagTable = LagTable{};
    try {
        setUpFloatSettings();
        runSequence();
    } catch (const RunFailure& failure) {
        writeErrorReport(failureReport(failure));
        return endRun(1);
    } catch (const std::bad_alloc&) {
        writeErrorReport(outOfMemoryReport());
        return endRun(1);
    }
    return endRun(0);
}

}  // namespace reduz
