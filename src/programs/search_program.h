#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "cli/command_line.h"
#include "cli/run_setup.h"
#include "search/search_driver.h"

namespace kelm {

// Makes the driver the options select, with the seed of its random start.
using DriverFactory =
    std::function<std::unique_ptr<SearchDriver>(const PreparedRun& run, std::uint32_t seed)>;

// The whole life of kelm_iter or kelm_alt: extension options, inputs, the timed search under
// the stop signals and the live line, the report (marked when the search was stopped), the
// calculation time, the JSON document. Returns the exit status.
int runSearchProgram(Program program, int argc, char** argv, const DriverFactory& makeDriver);

}  // namespace kelm
