// kelm_sample: a sampling plan of buildable designs to analyse, for fitting a response surface.
#include "cli/guarded_main.h"
#include "programs/sample_program.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] { return kelm::runSampleProgram(argc, argv); });
}
