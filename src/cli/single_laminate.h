#pragma once

#include <string>
#include <vector>

#include "cli/run_options.h"
#include "response/response_surface.h"

namespace kelm {

// --skin-only: one laminate, given as SKIN FILE or LETTERS SKIN FILE (no prompts: a plate's
// run is scripted). The stiffener total is 0, which the searches read as no stiffener at all.
RunOptions singleLaminateInputs(const std::vector<std::string>& args);

// A single laminate's surface reads only the skin's parameters: a term with a stiffener
// parameter ends the run with a message naming it and the file.
void refuseStiffenerTerms(const ResponseSurface& surface, const std::string& fileName);

}  // namespace kelm
