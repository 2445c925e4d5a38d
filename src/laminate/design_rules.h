#pragma once

#include "laminate/stacking_sequence.h"
#include "laminate/laminate_rules.h"

namespace kelm {

// Rules a newly set position can break, checked right after setting it so that a branch that
// already breaks a rule is cut at once.
bool checkPartial(const StackingSequence& sequence, const LaminateRules& rules);

// All rules for a sequence whose positions are all set.
bool checkComplete(const StackingSequence& sequence, const LaminateRules& rules);

}  // namespace kelm
