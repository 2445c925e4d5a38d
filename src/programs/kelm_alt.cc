// kelm_alt: the alternative method. Searches the stacking sequences of panel skin and
// stiffener together, in one tree.
#include <memory>

#include "alt/exhaustive_search.h"
#include "alt/simultaneous_search.h"
#include "cli/guarded_main.h"
#include "programs/search_program.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] {
    return kelm::runSearchProgram(
        kelm::Program::Alt, argc, argv,
        [](const kelm::PreparedRun& run, std::uint32_t seed) -> std::unique_ptr<kelm::SearchDriver> {
          // Both drivers are set up, as both prepare their models from the surface.
          auto simultaneous = std::make_unique<kelm::SimultaneousSearch>(
              run.model, run.skinRules, run.stiffenerRules, seed, run.options.tight);
          simultaneous->setParallelism(run.options.threads, run.options.memoryBudget);
          auto exhaustive = std::make_unique<kelm::ExhaustiveSearch>(run.model, run.skinRules,
                                                                      run.stiffenerRules);
          if (run.options.roundRobin) return exhaustive;
          return simultaneous;
        });
  });
}
