// One whole search, in process, with a fixed seed for the random start: prints the steps, the
// seconds, the steps per second and the peak resident memory of the run.
// usage: kelm_whole_run iter|alt|alt-tight OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "alt/simultaneous_search.h"
#include "cli/run_setup.h"
#include "iter/branch_and_bound_search.h"
#include "silenced.h"

namespace {

constexpr std::uint32_t kSeed = 20040101;


template <typename Driver>
void timeRun(Driver& driver, const kelm::RunOptions& options, const std::string& label) {
  const auto start = std::chrono::steady_clock::now();
  {
    Silenced quiet;
    driver.run(options.skinPlyTotal, options.stiffenerPlyTotal);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double seconds = elapsed.count();
  const long long held = driver.progress().peakHeld.load();
  std::printf("%-28s %12lld steps %9.3f s %12.0f steps/s %8.1f MB peak %11lld held %6.1f B/held\n",
              label.c_str(), driver.totalSteps(), seconds, driver.totalSteps() / seconds,
              usage.ru_maxrss / 1024.0, held, held > 0 ? usage.ru_maxrss * 1024.0 / held : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::cerr << "usage: kelm_whole_run iter|alt|alt-tight OPTIONS SKIN_TOTAL STIFFENER_TOTAL "
                 "RSFILE\n";
    return 2;
  }
  const std::string program = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);  // the 4-argument form
  kelm::PreparedRun run;
  std::istringstream noInput;
  const bool alt = program == "alt" || program == "alt-tight";
  kelm::prepareRun(run, alt ? kelm::Program::Alt : kelm::Program::Iter, args, noInput, std::cout);
  const std::string label = "kelm_" + program + " " + argv[2] + " " + argv[3] + "/" + argv[4];
  if (alt) {
    kelm::SimultaneousSearch search(run.model, run.skinRules, run.stiffenerRules, kSeed,
                                    program == "alt-tight");
    timeRun(search, run.options, label);
    if (program == "alt-tight")
      std::printf("%-28s first best value %.10f, optimum %.10f\n", "", search.firstBestValue(),
                  search.results().empty() ? 0.0 : search.results().front().value);
  } else {
    kelm::BranchAndBoundSearch search(run.model, run.skinRules, run.stiffenerRules);
    timeRun(search, run.options, label);
  }
  return 0;
}
