#pragma once
// The whole run: parameter file, prompts, lag table, report, stop.

#include "models/model_parameters.hpp"

namespace reduz {

// The run's one parameter record and lag table (zero-filled at the start of each run).
ModelParameters& runParameters();
LagTable& runLagTable();

// Runs the program once in the current directory over runStreams(); returns the exit status
// (0 after the stop message, 1 after a failure report). Every run starts from fresh state, so
// it may be called repeatedly in one process.
int runProgram();

}  // namespace reduz
