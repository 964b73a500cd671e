#include "driver/run.hpp"

#include "failure/end_run.hpp"
#include "failure/float_settings.hpp"
#include "failure/run_failure.hpp"
#include "models/lag_table.hpp"
#include "models/real.hpp"
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
    readFreeForm(file, {&p.model, &p.kind});
    p.sill = 0.25;
    p.range = 25.0;
    p.maxLag = 100;
    readFreeForm(file, {&p.sill, &p.range});
    readFreeForm(file, {&p.maxLag});
    // The table holds lags 0 to 1000; a larger maxLag is refused before anything is asked.
    if (p.maxLag > maxTableLag) {
        RunFailure failure = ioFailure(6100, StatementKind::Read, file.name);
        failure.message = "maxLag above 1000, the largest lag the table holds";
        failRun(failure);
    }
    closeTextFile(file);
}

// The extra parameters of models 7 to 12, asked whatever the kind.
void askModelParameters(ModelParameters& p) {
    RecordWriter& console = consoleWriter();
    TextSource& keyboard = keyboardSource();
    if (p.model == 7) {
        // 0.95 as a single-precision value, widened.
        p.D = assign(Real(p.sill) * 0.949999988079071);
        writeFreeLine(console, "Input D (half wave length):");
        readFreeForm(keyboard, {&p.D});
    }
    if (p.model == 8) {
        p.C = 1.0;
        p.W = 1.0;
        writeFreeLine(console, "Input C (SLOPE) AND W (POWER):");
        readFreeForm(keyboard, {&p.C, &p.W});
    }
    if (p.model == 9 || p.model == 10 || p.model == 11) {
        p.ALFA = 2.0;
        p.BETA = 1.0;
        p.W = 1.0;
        writeFreeLine(console, "INPUT ALFA, BETA & WEIGHT FOR GAMMA-BASED MODELS:");
        readFreeForm(keyboard, {&p.ALFA, &p.BETA, &p.W});
    }
    if (p.model == 12) {
        p.ALFA = 2.0;
        p.BETA = 1.0;
        writeFreeLine(console, "INPUT ALFA & BETA FOR TESTING GAMMA DISTRIBUTION:");
        readFreeForm(keyboard, {&p.ALFA, &p.BETA});
    }
}

[[noreturn]] void runSequence() {
    readParameterFile(parameters);
    askModelParameters(parameters);
    computeLagTable(parameters, lagTable);
    writeReport(parameters, lagTable);
    writeFreeLine(consoleWriter(), "Finish");
    stopRun();
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
        try {
            setUpFloatSettings();
            runSequence();
        } catch (const RunFailure& failure) {
            writeErrorReport(failureReport(failure));
            endRun(1);
        }
    } catch (const RunEnded& ended) {
        return ended.status;
    }
}

}  // namespace reduz
