// kelm_fit: a response surface fitted to analysed designs, or the surface of a
// lamination-parameter target.
#include "cli/fit_program.h"
#include "cli/guarded_main.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] { return kelm::runFitProgram(argc, argv); });
}
