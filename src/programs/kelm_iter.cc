// kelm_iter: the iterative method. Optimises one laminate with the other held fixed, swaps the
// roles, and repeats until every best design found has been seen before.
#include <memory>

#include "cli/guarded_main.h"
#include "iter/branch_and_bound_search.h"
#include "iter/round_robin_search.h"
#include "programs/search_program.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] {
    return kelm::runSearchProgram(
        kelm::Program::Iter, argc, argv,
        [](const kelm::PreparedRun& run, std::uint32_t seed) -> std::unique_ptr<kelm::SearchDriver> {
          // Both drivers are set up, as both prepare their models from the surface.
          auto branchAndBound = std::make_unique<kelm::BranchAndBoundSearch>(
              run.model, run.skinRules, run.stiffenerRules, run.options.tight);
          branchAndBound->setTurnThreads(run.options.threads);
          auto roundRobin = std::make_unique<kelm::RoundRobinSearch>(
              run.model, run.skinRules, run.stiffenerRules, seed);
          if (run.options.roundRobin) return roundRobin;
          return branchAndBound;
        });
  });
}
