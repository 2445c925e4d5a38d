#pragma once

#include <string>

#include "laminate/stacking_sequence.h"
#include "laminate/laminate_rules.h"

namespace kelm {

// One laminate as an engineer checks it: printed form, ply counts, lamination parameters and
// the verdict of each rule switched on.
void writeLaminateReport(const char* title, const StackingSequence& sequence,
                         const LaminateRules& rules);

}  // namespace kelm
