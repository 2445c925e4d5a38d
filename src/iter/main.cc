// kelm_iter: the iterative method. Optimises one laminate with the other held fixed, swaps the
// roles, and repeats until every best design found has been seen before.
#include <iostream>

#include "run/console_input.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] {
    kelm::PreparedRun run;
    kelm::prepareRun(run, kelm::Program::Iter, argc, argv, std::cin, std::cout);
  });
}
