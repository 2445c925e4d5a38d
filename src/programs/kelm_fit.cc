// kelm_fit: a response surface fitted to analysed designs, or the surface of a
// lamination-parameter target.
#include "cli/guarded_main.h"
#include "programs/fit_program.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] { return kelm::runFitProgram(argc, argv); });
}
