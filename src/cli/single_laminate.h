#pragma once

#include <string>
#include <vector>

#include "cli/run_options.h"
#include "response/laminate_terms.h"  // refuseStiffenerTerms, for the single laminate's surfaces

namespace kelm {

// --skin-only: one laminate, given as SKIN FILE or LETTERS SKIN FILE (no prompts: a plate's
// run is scripted). The stiffener total is 0, which the searches read as no stiffener at all.
RunOptions singleLaminateInputs(const std::vector<std::string>& args);

}  // namespace kelm
