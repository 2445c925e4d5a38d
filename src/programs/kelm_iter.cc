// kelm_iter: the iterative method. Optimises one laminate with the other held fixed, swaps the
// roles, and repeats until every best design found has been seen before.
#include <ctime>
#include <iostream>

#include "cli/guarded_main.h"
#include "cli/run_setup.h"
#include "cli/timed_run.h"
#include "iter/branch_and_bound_search.h"
#include "iter/round_robin_search.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] {
    kelm::PreparedRun run;
    kelm::prepareRun(run, kelm::Program::Iter, argc, argv, std::cin, std::cout);
    kelm::BranchAndBoundSearch branchAndBound(run.model, run.skinRules, run.stiffenerRules);
    // The random initial stiffener differs from run to run: seeded by the calendar time.
    const auto seed = static_cast<std::uint32_t>(std::time(nullptr));
    kelm::RoundRobinSearch roundRobin(run.model, run.skinRules, run.stiffenerRules, seed);
    kelm::SearchDriver& driver =
        run.options.roundRobin ? static_cast<kelm::SearchDriver&>(roundRobin) : branchAndBound;
    kelm::timeAndReport(driver, run.options);
  });
}
