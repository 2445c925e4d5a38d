#pragma once

#include "laminate/stacking_sequence.h"
#include "laminate/laminate_rules.h"

namespace kelm {

// The first complete laminate, depth-first from an empty one, whose every ply passes the
// incremental rule check (and, with `completeCheck`, the complete-laminate check as well).
// Ends the run with "cannot get initial stiffener! " when the rules allow none.
StackingSequence firstAllowedSequence(const StackingSequence& empty, const LaminateRules& rules,
                                      bool completeCheck);

}  // namespace kelm
