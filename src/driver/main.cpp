// reduzmodel: tabulates a transiogram model from PARAMETER.TXT into ReduzModel.txt.
// Command-line arguments are not read.

#include "driver/run.hpp"

int main() { return reduz::runProgram(); }
