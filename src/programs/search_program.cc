#include "programs/search_program.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/fatal.h"
#include "base/platform_memory.h"
#include "cli/exclude_file.h"
#include "cli/extension_options.h"
#include "cli/failure_modes.h"
#include "cli/guarded_main.h"
#include "cli/json_report.h"
#include "cli/live_progress.h"
#include "cli/stop_signals.h"
#include "cli/timed_search.h"
#include "cli/usage.h"
#include "programs/lightest_laminate.h"
#include "search/design_report.h"

namespace kelm {

namespace {

const char* stoppedLine(StopReason reason) {
  switch (reason) {
    case StopReason::TimeLimit:
      return "time limit reached: the designs below are the best found so far, not proven "
             "optimal";
    case StopReason::MemoryLimit:
      return "memory limit reached: the tied designs filled half the memory budget (--memory=); "
             "the designs below are those found so far, not proven optimal";
    default:
      return "run interrupted: the designs below are the best found so far, not proven optimal";
  }
}

// The designs the text report lists: a stopped run's first ones only.
std::vector<PanelDesign> listedDesigns(const std::vector<PanelDesign>& designs, StopReason reason) {
  const std::size_t listed = reason == StopReason::None
                                 ? designs.size()
                                 : std::min(designs.size(), kDesignsListedWhenStopped);
  return {designs.begin(), designs.begin() + static_cast<std::ptrdiff_t>(listed)};
}

// "caluclation" is the program's own spelling and stays so: scripts look for this line. With
// further failure modes, every surface's value at the reported designs follows the designs.
void report(SearchDriver& driver, StopReason reason, double seconds, const PreparedRun& run,
            const FailureModes& modes, const ExtensionOptions& extensions,
            std::size_t excludedDesigns) {
  if (reason != StopReason::None) std::cout << stoppedLine(reason) << '\n';
  driver.report();
  if (!modes.empty() && !driver.results().empty())
    writeSurfaceValues(std::cout, run.options.rsFileName, run.model, modes,
                       listedDesigns(driver.results(), reason));
  if (!extensions.excludeFile.empty())
    std::cout << "designs excluded: " << excludedDesigns << " (" << extensions.excludeFile << ")\n";
  std::cout << "caluclation time = " << seconds << " [s]" << '\n' << '\n';
  std::cout.flush();
}

constexpr const char* kInfeasible = "error: no design meets the requirements";

bool noDesignMeetsTheRequirements(const ExtensionOptions& extensions, const SearchDriver& driver,
                                  StopReason reason) {
  return !extensions.requirements.empty() && driver.results().empty() && reason == StopReason::None;
}

// The tight search uses every core and half the machine's memory unless told otherwise.
void setParallelism(RunOptions& options, const ExtensionOptions& extensions) {
  const unsigned cores = std::thread::hardware_concurrency();
  options.threads = extensions.threads > 0 ? extensions.threads : static_cast<int>(std::max(1u, cores));
  options.memoryBudget = extensions.memoryBudget > 0
                             ? extensions.memoryBudget
                             : static_cast<long long>(physicalMemoryBytes() / 2);
}

// Everything after the options: set-up, search, report and the JSON outcome.
int prepareSearchAndReport(Program program, std::vector<std::string>& args,
                           const ExtensionOptions& extensions, std::optional<JsonReport>& json,
                           const DriverFactory& makeDriver) {
  PreparedRun run;
  RunOptions guidelines;
  extensions.applyGuidelines(guidelines);
  prepareRun(run, program, args, std::cin, std::cout, guidelines);
  run.options.tight = extensions.tight;
  setParallelism(run.options, extensions);
  if (run.options.tight && run.options.roundRobin)
    fatal(Stream::Err,
          "error: --tight sharpens the tree search; it cannot be combined with option r "
          "(the exhaustive search)",
          true);
  // Without --seed= the random start differs from run to run: seeded by the calendar time.
  const std::uint32_t seed =
      extensions.seed.value_or(static_cast<std::uint32_t>(std::time(nullptr)));
  if (json) json->setInputs(run, seed);
  const FailureModes modes = readFailureModes(extensions);
  if (json) json->setFailureModes(modes);
  const ExcludedDesigns excluded =
      extensions.excludeFile.empty()
          ? ExcludedDesigns()
          : readExcludeFile(extensions.excludeFile, run.options.skinPlyTotal,
                            run.options.stiffenerPlyTotal);
  if (json && !extensions.excludeFile.empty())
    json->setExclusion(extensions.excludeFile, excluded.size());
  const std::unique_ptr<SearchDriver> driver = makeDriver(run, seed);
  driver->setExtraSurfaces(modes.extras());
  if (!extensions.excludeFile.empty()) driver->setExcludedDesigns(excluded);
  driver->setTop(extensions.top);
  if (json) json->setTop(extensions.top);

  const double seconds = searchWithinMemory(*driver, run.options, extensions);
  const StopReason reason = driver->stopReason();
  report(*driver, reason, seconds, run, modes, extensions, excluded.size());
  if (noDesignMeetsTheRequirements(extensions, *driver, reason)) {
    std::cerr << kInfeasible << '\n' << std::flush;
    if (json) json->writeInfeasible(kInfeasible, driver->totalSteps(), seconds);
    return 1;
  }
  if (json && !json->writeResult(reason, driver->results(), driver->totalSteps(), seconds))
    return 1;
  return stopExitStatus(reason);
}

}  // namespace

int runSearchProgram(Program program, int argc, char** argv, const DriverFactory& makeDriver) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const ExtensionOptions extensions = takeExtensionOptions(args, program);
  if (extensions.help || extensions.version) {
    std::cout << (extensions.help ? usageText(program) : versionLine(program)) << std::flush;
    return 0;
  }
  if (extensions.plies) {
    try {
      return sizeTheLaminate(args, extensions, makeDriver);
    } catch (const Failure& failure) {
      return reportFailure(failure);
    }
  }
  std::optional<JsonReport> json;
  if (!extensions.jsonFile.empty()) json.emplace(extensions.jsonFile, program, args);
  // Reported while the JSON report can still record the message.
  try {
    return prepareSearchAndReport(program, args, extensions, json, makeDriver);
  } catch (const Failure& failure) {
    return reportFailure(failure);
  }
}

}  // namespace kelm
