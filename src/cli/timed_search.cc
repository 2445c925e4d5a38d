#include "cli/timed_search.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "base/fatal.h"
#include "cli/live_progress.h"
#include "cli/stop_signals.h"

namespace kelm {

namespace {

// The search between two readings of the process clock; returns the seconds it took, counted
// as the calculation-time line counts them.
double timedSearch(SearchDriver& driver, const RunOptions& options,
                   const ExtensionOptions& extensions) {
  const StopSignals signals(driver.stopRequest(), extensions.timeLimit);
  const bool liveLine = LiveProgress::standardErrorIsTerminal();
  driver.setStepCounterShown(!liveLine);
  LiveProgress live(driver.progress(), liveLine);
  const std::clock_t start = std::clock();
  driver.run(options.skinPlyTotal, options.stiffenerPlyTotal);
  const std::clock_t end = std::clock();
  live.stop();
  const long long milliseconds =
      static_cast<long long>(end - start) * 1000 / static_cast<long long>(CLOCKS_PER_SEC);
  return milliseconds * 0.001;
}

}  // namespace

// A search that runs out of memory ends with how far it got, in a message built without
// allocating.
double searchWithinMemory(SearchDriver& driver, const RunOptions& options,
                          const ExtensionOptions& extensions) {
  try {
    return timedSearch(driver, options, extensions);
  } catch (const std::bad_alloc&) {
    char message[160];
    std::snprintf(message, sizeof message,
                  "error: memory ran out with %lld open designs held after %lld steps",
                  driver.progress().held.load(), driver.progress().steps.load());
    fatal(Stream::Err, message, true, FailureKind::Memory);
  }
}

}  // namespace kelm
