// kelm_alt: the alternative method. Searches the stacking sequences of panel skin and
// stiffener together, in one tree.
#include <ctime>
#include <iostream>

#include "alt/exhaustive_search.h"
#include "alt/simultaneous_search.h"
#include "cli/guarded_main.h"
#include "cli/run_setup.h"
#include "cli/timed_run.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] {
    kelm::PreparedRun run;
    kelm::prepareRun(run, kelm::Program::Alt, argc, argv, std::cin, std::cout);
    // The random start differs from run to run: seeded by the calendar time.
    const auto seed = static_cast<std::uint32_t>(std::time(nullptr));
    kelm::SimultaneousSearch simultaneous(run.model, run.skinRules, run.stiffenerRules, seed);
    kelm::ExhaustiveSearch exhaustive(run.model, run.skinRules, run.stiffenerRules);
    kelm::SearchDriver& driver =
        run.options.roundRobin ? static_cast<kelm::SearchDriver&>(exhaustive) : simultaneous;
    kelm::timeAndReport(driver, run.options);
  });
}
