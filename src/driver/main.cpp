// reduzmodel: tabulates a transiogram model from PARAMETER.TXT into ReduzModel.txt.
// Command-line arguments are not read.

#include "driver/process_setup.hpp"
#include "driver/run.hpp"

int main() {
    reduz::prepareProcess();
    return reduz::runProgram();
}
