// kelm_eval: checks panel designs by hand. Prints both laminates' printed form, the stack to
// lay up, ply counts, lamination parameters and rule verdicts, and the objective value of the
// pair as the simultaneous search computes it; one design from the command line or many from a
// designs file.
#include "cli/guarded_main.h"
#include "programs/eval_program.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] { return kelm::runEvalProgram(argc, argv); });
}
