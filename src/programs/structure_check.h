#pragma once

#include <string>
#include <vector>

namespace kelm {

// kelm_eval --structure STRUCTURE.json DESIGN.json: checks a blended design against every rule
// and requirement; status 0 when it holds, 1 when something breaks.
int runStructureCheck(const std::vector<std::string>& args);

}  // namespace kelm
