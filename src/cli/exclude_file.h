#pragma once

#include <string>

#include "search/excluded_designs.h"

namespace kelm {

// The designs of --exclude=FILE for a run of these ply totals. The file is a designs file as
// kelm_eval --designs= reads it: a line with the skin and the stiffener in bracket form, or a
// search's report pasted as it is (its designs above each "optimal value = " or "value = "
// line), or a CSV table with columns "skin" and "stiffener" in bracket form, as kelm_sample
// writes its plans and the analysed designs come back. A design of other ply totals or with a
// malformed sequence ends the run with the line it stands on.
ExcludedDesigns readExcludeFile(const std::string& file, int skinPlyTotal, int stiffenerPlyTotal);

}  // namespace kelm
