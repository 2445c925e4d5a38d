#pragma once

#include "laminate/stacking_sequence.h"
#include "laminate/laminate_rules.h"

namespace kelm {

// Rules a newly set position can break, checked right after setting it so that a branch that
// already breaks a rule is cut at once.
bool checkPartial(const StackingSequence& sequence, const LaminateRules& rules);

// All rules for a sequence whose positions are all set.
bool checkComplete(const StackingSequence& sequence, const LaminateRules& rules);

// Whether some half laminate of exactly these numbers of 0, +-45 and 90 deg positions (none
// negative) keeps the 4-ply rule. Halves of one or two positions are not subject to it.
bool fourPlyRuleAllows(int ply0, int ply45, int ply90);

}  // namespace kelm
