#pragma once

#include "cli/extension_options.h"
#include "cli/run_options.h"
#include "search/search_driver.h"

namespace kelm {

// Runs the search between two readings of the process clock, under the stop signals (Ctrl-C,
// SIGTERM, the time limit of `extensions`) and the live line on a terminal; returns the seconds
// it took as the calculation-time line counts them. A search that runs out of memory ends the
// run with how far it got.
double searchWithinMemory(SearchDriver& driver, const RunOptions& options,
                          const ExtensionOptions& extensions);

}  // namespace kelm
