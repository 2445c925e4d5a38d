#pragma once

#include "cli/run_options.h"
#include "search/search_driver.h"

namespace kelm {

// Runs the selected driver between two readings of the process clock, reports, and prints the
// calculation time (the report's own printing is not timed).
void timeAndReport(SearchDriver& driver, const RunOptions& options);

}  // namespace kelm
